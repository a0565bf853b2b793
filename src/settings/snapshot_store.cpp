#include "settings/snapshot_store.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "host/text_format.h"

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

std::optional<fs::path> TSnapshotStore::Save(const TNvmWords& words, std::string_view toolVersion,
                                             std::string_view time, char decimalSeparator, std::string& error) const {
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
    const std::string stem = StemOf(time);
    fs::path target = FFolder / (stem + std::string(kExtension));
    for (int n = 2; fs::exists(target, ec) && n <= 99; ++n)
        target = FFolder / (stem + (n < 10 ? "_0" : "_") + std::to_string(n) + std::string(kExtension));
    if (fs::exists(target, ec)) {
        error = Failed(FFolder, "er zijn al 99 momentopnamen van " + std::string(time) + ".");
        return std::nullopt;
    }

    // Written aside and put in place whole: a full disk leaves no half snapshot to restore from.
    const std::string text = WriteSettingsFile(words, toolVersion, time, decimalSeparator);
    fs::path aside = target;
    aside += ".part";
    {
        std::ofstream out(aside, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            fs::remove(aside, ec);
            error = Failed(FFolder, "het bestand " + PathText(aside.filename()) + " kan niet worden geschreven.");
            return std::nullopt;
        }
    }
    fs::rename(aside, target, ec);
    if (ec) {
        const std::string why = ec.message();
        fs::remove(aside, ec);
        error = Failed(FFolder, why);
        return std::nullopt;
    }

    const std::vector<TSnapshot> all = List();
    for (size_t i = SNAPSHOTS_KEPT; i < all.size(); ++i) fs::remove(all[i].Path, ec);  // a left one does no harm
    return target;
}

std::vector<TSnapshot> TSnapshotStore::List() const {
    std::vector<TSnapshot> snapshots;
    std::error_code ec;
    if (FFolder.empty()) return snapshots;
    for (fs::directory_iterator it(FFolder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        if (auto time = TimeOf(PathText(it->path().filename()))) snapshots.push_back({it->path(), *time});
    }
    std::sort(snapshots.begin(), snapshots.end(),
              [](const TSnapshot& a, const TSnapshot& b) { return a.Path.filename() > b.Path.filename(); });
    return snapshots;
}

TSettingsFileRead ReadSnapshot(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {{}, {}, "Het bestand " + PathText(path.filename()) + " kan niet worden gelezen."};
    std::string text(SETTINGSFILEMAXSIZE + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return ReadSettingsFile(text, true);
}

}  // namespace korvel
