// The version reader of the About box: reads a file's version block and decodes it for one
// language and character set. Reading again happens on every change of file, language or
// character set, each followed by OnChange.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/version_info.h"

namespace korvel {

class TVersionResource {
public:
    TVersionResource();  // the running executable, US English, code page 1252

    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& fileName);
    TLanguage Language() const { return FLanguage; }
    void SetLanguage(TLanguage language);
    TCharacterSet CharacterSet() const { return FCharacterSet; }
    void SetCharacterSet(TCharacterSet characterSet);
    const TVersionInfo& VersionInfo() const { return FVersionInfo; }

    bool StoreFileName = false;  // the file is not the running executable
    std::function<void(TVersionResource*)> OnChange;

private:
    void ReadVersionInfo();
    void Changed();

    std::string FFileName;
    TLanguage FLanguage = lnUSEnglish;
    TCharacterSet FCharacterSet = csMultilingual;
    TVersionInfo FVersionInfo;
};

// Platform part (one file per platform).
std::string RunningExecutablePath();
// The file's version block; empty when it has none or cannot be read.
std::vector<uint8_t> ReadFileVersionBlock(const std::string& fileName);

}  // namespace korvel
