#include "app/global_data_module.h"

#include <QStringList>
#include <stdexcept>

namespace korvel {

namespace {

QString Key(const std::string& section, const std::string& item) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(item);
}

}  // namespace

void TQtRegistryKey::Open(TRegistryRoot root, const std::string& keyName) {
    const QStringList parts = QString::fromStdString(keyName).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.size() < 2) throw std::runtime_error("Invalid settings key " + keyName);
    FSettings = std::make_unique<QSettings>(QSettings::NativeFormat,
                                            root == rrLocalMachine ? QSettings::SystemScope : QSettings::UserScope,
                                            parts[parts.size() - 2], parts.back());
    // A damaged file is no reason to stop: what can be read is checked value by value. One that
    // cannot be read at all fails the reads, and may still be written.
    FReadFailed = FSettings->status() == QSettings::AccessError;
}

void TQtRegistryKey::Close() {
    if (!FSettings) return;
    FSettings->sync();
    const bool failed = FSettings->status() == QSettings::AccessError;
    const std::string file = FSettings->fileName().toStdString();
    FSettings.reset();
    if (failed) throw std::runtime_error("Cannot save the window placements in " + file);
}

QSettings& TQtRegistryKey::Settings() {
    if (!FSettings) throw std::logic_error("the settings key is not open");
    return *FSettings;
}

std::optional<std::string> TQtRegistryKey::Read(const std::string& section, const std::string& item) {
    if (FReadFailed) throw std::runtime_error("Cannot read the window placements from " + Settings().fileName().toStdString());
    const QVariant value = Settings().value(Key(section, item));
    if (!value.isValid()) return std::nullopt;
    // A hand-edited file may leave "NormalPos" unquoted, which reads as a list.
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(QLatin1Char(',')).toStdString();
    return value.toString().toStdString();
}

void TQtRegistryKey::Write(const std::string& section, const std::string& item, const std::string& value) {
    Settings().setValue(Key(section, item), QString::fromStdString(value));
}

void TQtRegistryKey::EraseSection(const std::string& section) { Settings().remove(QString::fromStdString(section)); }

TGlobalDataModule::TGlobalDataModule()
    : OvcRegistryStore(std::make_unique<TQtRegistryKey>()), OvcRegistryStore2(std::make_unique<TQtRegistryKey>()) {
    OvcRegistryStore.SetKeyName(SETTINGS_KEY);
    OvcRegistryStore2.SetKeyName(SETTINGS_KEY);
    OvcRegistryStore2.SetRegistryRoot(rrLocalMachine);
    // The machine-wide store is not opened: nothing reads or writes it, and opening would only
    // create an empty machine-wide key (on Linux a file under /etc/xdg when run as root).
}

}  // namespace korvel
