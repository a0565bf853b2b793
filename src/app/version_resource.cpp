#include "app/version_resource.h"

namespace korvel {

TVersionResource::TVersionResource() : FFileName(RunningExecutablePath()) { ReadVersionInfo(); }

void TVersionResource::SetFileName(const std::string& fileName) {
    FFileName = fileName;
    StoreFileName = fileName != RunningExecutablePath();
    Changed();
}

void TVersionResource::SetLanguage(TLanguage language) {
    FLanguage = language;
    Changed();
}

void TVersionResource::SetCharacterSet(TCharacterSet characterSet) {
    FCharacterSet = characterSet;
    Changed();
}

void TVersionResource::Changed() {
    ReadVersionInfo();
    if (OnChange) OnChange(this);
}

void TVersionResource::ReadVersionInfo() {
    FVersionInfo = {};
    const std::vector<uint8_t> block = ReadFileVersionBlock(FFileName);
    if (block.empty()) return;
    FVersionInfo = DecodeVersionInfo(block, DecodeLanguage(FLanguage), DecodeCharacterSet(FCharacterSet));
}

}  // namespace korvel
