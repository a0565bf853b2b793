// The store of the window placements: string values in sections under one key of the platform's
// settings store (the registry on Windows). Reference-counted opening, so nested users share one
// open key; integers are kept as decimal text.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace korvel {

enum TRegistryRoot { rrCurrentUser, rrLocalMachine };

// The platform's side: one key, opened (and created when missing) and closed as a whole. Failures
// are thrown as std::runtime_error with a text for the engineer.
class TRegistryKey {
public:
    virtual ~TRegistryKey() = default;
    virtual void Open(TRegistryRoot root, const std::string& keyName) = 0;
    virtual void Close() = 0;  // writes what changed
    virtual std::optional<std::string> Read(const std::string& section, const std::string& item) = 0;
    virtual void Write(const std::string& section, const std::string& item, const std::string& value) = 0;
    virtual void EraseSection(const std::string& section) = 0;
};

class TOvcRegistryStore {
public:
    explicit TOvcRegistryStore(std::unique_ptr<TRegistryKey> key);

    const std::string& KeyName() const { return FKeyName; }
    void SetKeyName(std::string_view keyName);  // without leading and trailing backslashes
    TRegistryRoot RegistryRoot() const { return FRegistryRoot; }
    void SetRegistryRoot(TRegistryRoot root) { FRegistryRoot = root; }

    // The first Open opens the key, the last Close closes it. Reading and writing need it open.
    void Open();
    void Close();
    int OpenCount() const { return FOpenCount; }

    std::string ReadString(const std::string& section, const std::string& item, const std::string& defaultValue);
    void WriteString(const std::string& section, const std::string& item, const std::string& value);
    // Decimal text; the default when the value is missing or no number that fits.
    int32_t ReadInteger(const std::string& section, const std::string& item, int32_t defaultValue);
    void WriteInteger(const std::string& section, const std::string& item, int64_t value);
    void EraseSection(const std::string& section);

private:
    TRegistryKey& OpenKey();

    std::unique_ptr<TRegistryKey> FKey;
    std::string FKeyName;
    TRegistryRoot FRegistryRoot = rrCurrentUser;
    int FOpenCount = 0;
};

// A decimal integer, blanks around it allowed; nullopt for anything else.
std::optional<int32_t> ParseDecimal(std::string_view text);

}  // namespace korvel
