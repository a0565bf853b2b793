#include "settings/snapshot_store.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "host/text_format.h"
#include "host/whole_file.h"

namespace korvel {

namespace fs = std::filesystem;

namespace {

// "YYYY-MM-DD HH:MM:SS" -> "YYYY-MM-DD_HH-MM-SS": sorts as time does and is a valid name everywhere.
constexpr std::string_view kTimePattern = "dddd-dd-dd dd:dd:dd";
constexpr std::string_view kExtension = ".csv";

bool Fits(std::string_view text, std::string_view pattern) {
    if (text.size() != pattern.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (pattern[i] == 'd' ? !digit : text[i] != pattern[i]) return false;
    }
    return true;
}

std::string StemOf(std::string_view time) {
    std::string stem(time);
    stem[10] = '_';
    stem[13] = stem[16] = '-';
    return stem;
}

// The time a store's file name stands for; nothing for a name the store does not give. A second
// snapshot in the same second gets "_02" .. "_99", which sorts after the first.
std::optional<std::string> TimeOf(const std::string& name) {
    if (!name.ends_with(kExtension)) return std::nullopt;
    std::string_view stem(name.data(), name.size() - kExtension.size());
    if (stem.size() == kTimePattern.size() + 3) {
        if (!Fits(stem.substr(kTimePattern.size()), "_dd")) return std::nullopt;
        stem.remove_suffix(3);
    }
    std::string time(stem);
    if (time.size() != kTimePattern.size()) return std::nullopt;
    time[10] = ' ';
    time[13] = time[16] = ':';
    if (!Fits(time, kTimePattern)) return std::nullopt;
    return time;
}

}  // namespace

std::string PathText(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

namespace {

std::string Failed(const fs::path& folder, const std::string& why) {
    return FormatText("De momentopname kan niet worden opgeslagen in %s: %s", {PathText(folder), why});
}

}  // namespace

fs::path DefaultSnapshotFolder() {
    fs::path base;
#ifdef _WIN32
    if (const wchar_t* appData = _wgetenv(L"APPDATA"); appData != nullptr && *appData != L'\0') base = appData;
#else
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/')
        base = data;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
        base = fs::path(home) / ".local" / "share";
#endif
    if (base.empty()) return {};
    return base / "Ventrabo" / "KorvelSim" / "snapshots";
}

namespace {

// Beside the snapshot, so the snapshot's own write time, by which the list goes, stays.
fs::path OutcomePath(const fs::path& snapshot) {
    fs::path p = snapshot;
    p += ".uitkomst";
    return p;
}

}  // namespace

void TSnapshotStore::RecordOutcome(const fs::path& snapshot, std::string_view outcome) {
    std::string why;
    std::string line(InstallationName(outcome));
    line += '\n';
    (void)WriteWholeFile(OutcomePath(snapshot), line, true, why);
}

std::optional<fs::path> TSnapshotStore::Save(const TNvmWords& words, std::string_view toolVersion,
                                             std::string_view time, char decimalSeparator, std::string& error,
                                             const TVisitStamp& stamp) const {
    if (FFolder.empty()) {
        error = "De momentopname kan niet worden opgeslagen: er is geen map voor gegevens van de gebruiker "
                "(HOME of APPDATA is niet gezet).";
        return std::nullopt;
    }
    if (!Fits(time, kTimePattern)) {
        error = Failed(FFolder, "ongeldige tijd \"" + std::string(time) + "\".");
        return std::nullopt;
    }
    std::error_code ec;
    fs::create_directories(FFolder, ec);
    if (ec) {
        error = Failed(FFolder, ec.message());
        return std::nullopt;
    }
    // Each name is taken only if free, in one step: another program saving in the same second
    // gets the next one, and nothing is ever written over.
    const std::string text = WriteSettingsFile(words, toolVersion, time, decimalSeparator, stamp);
    const std::string stem = StemOf(time);
    std::optional<fs::path> saved;
    for (int n = 1; n <= 99 && !saved; ++n) {
        const fs::path target = FFolder / (stem + (n == 1 ? "" : n < 10 ? "_0" : "_") +
                                           (n == 1 ? "" : std::to_string(n)) + std::string(kExtension));
        std::string why;
        switch (WriteWholeFile(target, text, false, why)) {
            case TWholeWrite::Written: saved = target; break;
            case TWholeWrite::Exists: break;
            case TWholeWrite::Failed: error = Failed(FFolder, why + "."); return std::nullopt;
        }
    }
    if (!saved) {
        error = Failed(FFolder, "er zijn al 99 momentopnamen van " + std::string(time) + ".");
        return std::nullopt;
    }
    // The oldest by when they were written go: names follow the local clock, which may have gone
    // back since (daylight saving, a corrected clock, another time zone). The one just written
    // stays whatever its time.
    size_t kept = 1;
    for (const TSnapshot& s : List())
        if (s.Path != *saved && ++kept > SNAPSHOTS_KEPT) {
            fs::remove(s.Path, ec);  // a left one does no harm
            fs::remove(OutcomePath(s.Path), ec);
        }
    return saved;
}

std::vector<TSnapshot> TSnapshotStore::List() const {
    std::vector<TSnapshot> snapshots;
    std::error_code ec;
    if (FFolder.empty()) return snapshots;
    for (fs::directory_iterator it(FFolder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        if (auto time = TimeOf(PathText(it->path().filename()))) {
            std::string outcome;
            std::ifstream kept(OutcomePath(it->path()), std::ios::binary);
            if (kept && std::getline(kept, outcome)) outcome = InstallationName(outcome.substr(0, 400));
            snapshots.push_back({it->path(), *time, it->last_write_time(ec), outcome});
        }
    }
    std::sort(snapshots.begin(), snapshots.end(), [](const TSnapshot& a, const TSnapshot& b) {
        if (a.Written != b.Written) return a.Written > b.Written;
        return a.Path.filename() > b.Path.filename();
    });
    return snapshots;
}

TSettingsFileRead ReadSnapshot(const fs::path& path) { return ReadSettingsFileAt(path, true); }

}  // namespace korvel
