#include "app/registry_store.h"

#include <charconv>
#include <stdexcept>

namespace korvel {

TOvcRegistryStore::TOvcRegistryStore(std::unique_ptr<TRegistryKey> key) : FKey(std::move(key)) {}

void TOvcRegistryStore::SetKeyName(std::string_view keyName) {
    while (!keyName.empty() && keyName.front() == '\\') keyName.remove_prefix(1);
    while (!keyName.empty() && keyName.back() == '\\') keyName.remove_suffix(1);
    FKeyName = keyName;
}

void TOvcRegistryStore::Open() {
    if (FOpenCount == 0) FKey->Open(FRegistryRoot, FKeyName);
    ++FOpenCount;
}

void TOvcRegistryStore::Close() {
    if (FOpenCount == 0) return;
    if (--FOpenCount == 0) FKey->Close();
}

TRegistryKey& TOvcRegistryStore::OpenKey() {
    if (FOpenCount == 0) throw std::logic_error("the settings store is not open");
    return *FKey;
}

std::string TOvcRegistryStore::ReadString(const std::string& section, const std::string& item,
                                          const std::string& defaultValue) {
    return OpenKey().Read(section, item).value_or(defaultValue);
}

void TOvcRegistryStore::WriteString(const std::string& section, const std::string& item, const std::string& value) {
    OpenKey().Write(section, item, value);
}

int32_t TOvcRegistryStore::ReadInteger(const std::string& section, const std::string& item, int32_t defaultValue) {
    const auto text = OpenKey().Read(section, item);
    if (!text) return defaultValue;
    return ParseDecimal(*text).value_or(defaultValue);
}

void TOvcRegistryStore::WriteInteger(const std::string& section, const std::string& item, int64_t value) {
    WriteString(section, item, std::to_string(value));
}

void TOvcRegistryStore::EraseSection(const std::string& section) { OpenKey().EraseSection(section); }

std::optional<int32_t> ParseDecimal(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace korvel
