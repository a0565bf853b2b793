// Snapshots: what the board reported just before the tool changed it (a write, a firmware
// download), kept as settings files in the user's data folder, so an engineer can always go back
// to the settings a board had before his visit. Named by local date and time; the SNAPSHOTS_KEPT
// written last stay.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/nvm_parameters.h"
#include "settings/settings_file.h"

namespace korvel {

inline constexpr size_t SNAPSHOTS_KEPT = 50;

// <data folder>/Ventrabo/KorvelSim/snapshots: $XDG_DATA_HOME or ~/.local/share on Linux,
// %APPDATA% on Windows. Empty when the environment names no such folder.
std::filesystem::path DefaultSnapshotFolder();

struct TSnapshot {
    std::filesystem::path Path;
    std::string Time;  // "2026-12-09 15:30:00", from the name
    std::filesystem::file_time_type Written;
    // What the write or download that followed it came to, "Opgeslagen"; empty when not known
    // (an older snapshot, or the tool ended first).
    std::string Outcome;
};

class TSnapshotStore {
public:
    explicit TSnapshotStore(std::filesystem::path folder = DefaultSnapshotFolder()) : FFolder(std::move(folder)) {}

    const std::filesystem::path& Folder() const { return FFolder; }
    void SetFolder(std::filesystem::path folder) { FFolder = std::move(folder); }

    // Writes the words as a new settings file named by time ("YYYY-MM-DD HH:MM:SS", local), then
    // lets the earliest written go beyond SNAPSHOTS_KEPT, never the new one. The file, or nothing
    // with the reason in error (Dutch, with the system's own text).
    std::optional<std::filesystem::path> Save(const TNvmWords& words, std::string_view toolVersion,
                                              std::string_view time, char decimalSeparator, std::string& error,
                                              const TVisitStamp& stamp = {}) const;
    // Keeps beside the snapshot what the change that followed it came to (one line); a failure
    // to keep it costs only the line in the list.
    static void RecordOutcome(const std::filesystem::path& snapshot, std::string_view outcome);

    // The snapshots there are, the last written first. Other files in the folder are not the store's.
    std::vector<TSnapshot> List() const;

private:
    std::filesystem::path FFolder;
};

// A path as UTF-8, for messages and lists.
std::string PathText(const std::filesystem::path& path);

// A snapshot's contents; a value outside its field's limits is taken, as a fetch takes it.
TSettingsFileRead ReadSnapshot(const std::filesystem::path& path);

}  // namespace korvel
