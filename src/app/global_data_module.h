// The main window's shared data module: the settings stores for the window placements, on Qt's
// settings store (QSettings: the registry key on Windows, an INI file elsewhere).
#pragma once

#include <QSettings>
#include <memory>

#include "app/registry_store.h"

namespace korvel {

inline constexpr const char* SETTINGS_KEY = "Software\\Ventrabo\\KorvelSim";

// One key as QSettings sees it: "Software\<organisation>\<application>" is
// QSettings(organisation, application), which on Windows is that very key.
class TQtRegistryKey : public TRegistryKey {
public:
    void Open(TRegistryRoot root, const std::string& keyName) override;
    void Close() override;
    std::optional<std::string> Read(const std::string& section, const std::string& item) override;
    void Write(const std::string& section, const std::string& item, const std::string& value) override;
    void EraseSection(const std::string& section) override;

private:
    QSettings& Settings();
    std::unique_ptr<QSettings> FSettings;
    bool FReadFailed = false;
};

class TGlobalDataModule {
public:
    TGlobalDataModule();

    TOvcRegistryStore OvcRegistryStore;   // current user: the window states
    TOvcRegistryStore OvcRegistryStore2;  // local machine: kept, never opened
};

}  // namespace korvel
