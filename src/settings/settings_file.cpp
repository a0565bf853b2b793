#include "settings/settings_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "host/local_time.h"
#include "host/text_format.h"
#include "widgets/picture_mask.h"

namespace korvel {

namespace {

// Excel takes a file without it for the ANSI code page and shows "°C" as "Â°C".
constexpr std::string_view kBom = "\xEF\xBB\xBF";
// CR LF: what Windows tools, Notepad and the data log beside it use.
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeader[] = {"Adres", "Naam", "Omschrijving", "Waarde", "Woord"};
constexpr size_t kColumns = std::size(kHeader);
// Files written before the word column: the first four columns.
constexpr size_t kOldColumns = kColumns - 1;
constexpr char kNoHeader[] = "Regel 2: de kolomkoppen \"Adres;Naam;Omschrijving;Waarde;Woord\" ontbreken.";
// The test mode's item index, -1 .. 4, read and written as a picture like every other value.
constexpr std::string_view kTestModeMask = "ii";

std::string_view MaskOf(const TNvmParameter& p) { return p.Kind == TNvmFieldKind::RadioGroup ? kTestModeMask : p.Mask; }

std::string Trimmed(std::string s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The cells of one line, each trimmed; a cell may be quoted as spreadsheets quote ("a;b",
// "say ""x"""). Nothing when a quote is left open.
std::optional<std::vector<std::string>> SplitCells(std::string_view line) {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') {
                cells.back() += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                cells.back() += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ';') {
            cells.emplace_back();
        } else {
            cells.back() += c;
        }
    }
    if (quoted) return std::nullopt;
    for (std::string& cell : cells) cell = Trimmed(std::move(cell));
    // Spreadsheets pad every row to the widest one.
    if (cells.size() < kColumns) cells.resize(kColumns);
    return cells;
}

bool OnlyEmpty(const std::vector<std::string>& cells, size_t from) {
    for (size_t i = from; i < cells.size(); ++i)
        if (!cells[i].empty()) return false;
    return true;
}

std::optional<double> ParseValue(const TNvmParameter& p, const std::string& text) {
    if (auto v = ParsePicture(text, MaskOf(p), ".")) return v;
    return ParsePicture(text, MaskOf(p), ",");
}

const TNvmParameter* ParameterAt(std::string_view address) {
    int a = -1;
    const auto [end, ec] = std::from_chars(address.data(), address.data() + address.size(), a);
    if (ec != std::errc() || end != address.data() + address.size()) return nullptr;
    const auto table = NvmParameters();
    if (a < 0 || a % 2 != 0 || static_cast<size_t>(a / 2) >= table.size()) return nullptr;
    return &table[static_cast<size_t>(a / 2)];
}

std::string Number(size_t n) { return std::to_string(n); }

TSettingsFileRead Refuse(std::string message) {
    TSettingsFileRead read;
    read.Error = std::move(message);
    return read;
}

std::string ShownValue(const TNvmParameter& p, double value, char decimalSeparator) {
    std::string text = SettingsValueText(p, value, decimalSeparator);
    if (p.Kind != TNvmFieldKind::RadioGroup) return text;
    const auto items = TestModeItems();
    const auto index = static_cast<int>(value);
    if (index >= 0 && static_cast<size_t>(index) < items.size()) return text + " (" + std::string(items[index]) + ')';
    return text + " (geen)";
}

uint16_t WordOf(const TNvmParameter& p, double value) { return NvmWordOf(ScaleNvmValue(p, value)); }

std::optional<uint16_t> ParseWord(const std::string& text) {
    unsigned word = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), word);
    if (ec != std::errc() || end != text.data() + text.size() || word > 0xFFFF) return std::nullopt;
    return static_cast<uint16_t>(word);
}

bool Editable(const TNvmParameter& p) { return !p.Hidden && !p.ReadOnly; }

}  // namespace

std::string SettingsValueText(const TNvmParameter& p, double value, char decimalSeparator) {
    return Trimmed(FormatPicture(value, MaskOf(p), decimalSeparator == ',' ? ',' : '.'));
}

std::string SettingsFileTime(std::time_t moment) {
    const std::tm local = LocalTime(moment);
    char text[32];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return std::string(text, n);
}

namespace {

// Quoted as a spreadsheet quotes, where the cell's own text would part it or end it.
void AppendCell(std::string& out, std::string_view cell) {
    if (cell.find_first_of(";\"") == std::string_view::npos) {
        out.append(cell);
        return;
    }
    out += '"';
    for (const char c : cell) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

std::string WriteSettingsFile(std::span<const double> values, const TNvmWords& words, std::string_view toolVersion,
                              std::string_view timestamp, char decimalSeparator, const TVisitStamp& stamp) {
    if (values.size() != NvmParameters().size())
        throw std::invalid_argument("settings: " + std::to_string(values.size()) + " values for " +
                                    std::to_string(NvmParameters().size()) + " parameters");
    std::string out(kBom);
    out.append(SETTINGSFILEMARK).append(";").append(toolVersion).append(";").append(timestamp);
    // Nothing known, nothing added: such a file is byte for byte what earlier versions wrote.
    if (!stamp.Installation.empty() || !stamp.Port.empty() || !stamp.Firmware.empty())
        for (const std::string* cell : {&stamp.Installation, &stamp.Port, &stamp.Firmware}) {
            out += ';';
            AppendCell(out, InstallationName(*cell));  // a line break would end the line
        }
    out.append(kLineEnd);
    for (size_t i = 0; i < kColumns; ++i) out.append(i ? ";" : "").append(kHeader[i]);
    out.append(kLineEnd);
    const auto table = NvmParameters();
    for (size_t i = 0; i < table.size(); ++i) {
        const TNvmParameter& p = table[i];
        out.append(std::to_string(p.Address)).append(";").append(p.Control).append(";");
        out.append(NvmDisplayName(p)).append(";").append(SettingsValueText(p, values[i], decimalSeparator));
        out.append(";").append(std::to_string(words[i])).append(kLineEnd);
    }
    return out;
}

TSettingsFileRead ReadSettingsFile(std::string_view text, bool boardsOwn) {
    // Before the BOM goes: a file cut to the limit must not pass for a whole one.
    if (text.size() > SETTINGSFILEMAXSIZE)
        return Refuse("Dit is geen KORVEL-instellingenbestand: het is veel te groot.");
    if (text.starts_with(kBom)) text.remove_prefix(kBom.size());
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) return Refuse("Het bestand is leeg.");

    const auto table = NvmParameters();
    TNvmWords words{};
    std::vector<double> values(table.size());
    size_t columns = kColumns;
    std::vector<size_t> lineOf(table.size(), 0);  // where each row was found; 0 = not yet
    TVisitStamp stamp;
    size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        const bool ended = end != std::string_view::npos;
        text.remove_prefix(ended ? end + 1 : text.size());
        if (line.ends_with('\r')) line.remove_suffix(1);
        const std::string n = Number(lineNo);

        const auto cells = SplitCells(line);
        if (lineNo == 1 && (!cells || (*cells)[0] != SETTINGSFILEMARK))
            return Refuse("Dit is geen KORVEL-instellingenbestand: regel 1 begint niet met \"" +
                          std::string(SETTINGSFILEMARK) + "\".");
        // A file cut off inside its last row could still leave a value that fits, e.g. "4" of "40.0".
        if (!ended && !(cells && OnlyEmpty(*cells, 0)))
            return Refuse(FormatText("Het bestand is afgebroken: regel %s eindigt zonder regeleinde.", {n}));
        if (!cells) return Refuse(FormatText("Regel %s: een aanhalingsteken wordt niet gesloten.", {n}));
        if (lineNo == 1) {
            // Older files end after the time; a cell the writer did not fill stays empty.
            std::string* parts[] = {&stamp.Installation, &stamp.Port, &stamp.Firmware};
            for (size_t i = 0; i < std::size(parts) && 3 + i < cells->size(); ++i)
                *parts[i] = InstallationName((*cells)[3 + i]);
            continue;
        }
        if (lineNo == 2) {
            if (!std::equal(std::begin(kHeader), std::begin(kHeader) + kOldColumns, cells->begin()))
                return Refuse(kNoHeader);
            columns = (*cells)[kOldColumns] == kHeader[kOldColumns] ? kColumns : kOldColumns;
            if (!OnlyEmpty(*cells, columns)) return Refuse(kNoHeader);
            continue;
        }
        if (OnlyEmpty(*cells, 0)) continue;
        if (!OnlyEmpty(*cells, columns))
            return Refuse(FormatText("Regel %s: meer dan %s kolommen.", {n, Number(columns)}));

        const std::string& address = (*cells)[0];
        const std::string& name = (*cells)[1];
        const std::string& valueText = (*cells)[3];
        const TNvmParameter* p = ParameterAt(address);
        if (!p) return Refuse(FormatText("Regel %s: onbekend adres \"%s\".", {n, address}));
        if (name != p->Control) {
            const TNvmParameter* owner = FindNvmParameter(name);
            if (!owner) return Refuse(FormatText("Regel %s: onbekende naam \"%s\".", {n, name}));
            return Refuse(FormatText("Regel %s: %s hoort bij adres %s, niet bij adres %s.",
                                     {n, name, Number(owner->Address), address}));
        }
        const size_t row = p->Address / 2u;
        const std::string display = NvmDisplayName(*p);
        if (lineOf[row] != 0)
            return Refuse(FormatText("Regel %s: adres %s (%s) stond al op regel %s.",
                                     {n, address, display, Number(lineOf[row])}));
        if (valueText.empty()) return Refuse(FormatText("Regel %s: geen waarde voor %s.", {n, display}));
        const auto value = ParseValue(*p, valueText);
        if (!value) {
            const std::string field = p->Kind == TNvmFieldKind::RadioGroup
                                          ? SettingsValueText(*p, p->Min, '.') + " ... " + SettingsValueText(*p, p->Max, '.')
                                          : "masker " + std::string(p->Mask);
            return Refuse(FormatText("Regel %s: waarde \"%s\" voor %s past niet in het veld (%s).",
                                     {n, valueText, display, field}));
        }
        double held = *value;
        uint16_t word = WordOf(*p, held);
        if (columns == kColumns && !(*cells)[kOldColumns].empty()) {
            const auto stored = ParseWord((*cells)[kOldColumns]);
            if (!stored)
                return Refuse(FormatText("Regel %s: woord \"%s\" voor %s is geen getal van 0 tot 65535.",
                                         {n, (*cells)[kOldColumns], display}));
            // The word keeps what the value's text may not show (the 1/256 field's 19,0 is 4864 or
            // 4865). It counts only where the field itself could hold it (read and written back it
            // is the same word) and it shows as the text does; otherwise the text counts, so a
            // restore sends what the window sends for the same file, and what compare showed.
            const double boards = DecodeNvmWord(*p, *stored);
            if (WordOf(*p, boards) == *stored &&
                SettingsValueText(*p, boards, '.') == SettingsValueText(*p, held, '.')) {
                word = *stored;
                held = boards;
            }
        }
        // Limits guard what the engineer types; a hidden or read-only row goes back as the board had it.
        if (!boardsOwn && Editable(*p) && (held < p->Min || held > p->Max))
            return Refuse(FormatText("Regel %s: waarde %s voor %s ligt buiten %s ... %s.",
                                     {n, valueText, display, SettingsValueText(*p, p->Min, '.'),
                                      SettingsValueText(*p, p->Max, '.')}));
        values[row] = held;
        words[row] = word;
        lineOf[row] = lineNo;
    }

    if (lineNo < 2) return Refuse(kNoHeader);
    const auto missing = static_cast<size_t>(std::count(lineOf.begin(), lineOf.end(), size_t{0}));
    if (missing > 0) {
        const TNvmParameter& first = table[static_cast<size_t>(std::find(lineOf.begin(), lineOf.end(), size_t{0}) - lineOf.begin())];
        if (missing == 1)
            return Refuse(FormatText("Het bestand is onvolledig: adres %s (%s) ontbreekt.",
                                     {Number(first.Address), NvmDisplayName(first)}));
        return Refuse(FormatText("Het bestand is onvolledig: %s van de %s parameters ontbreken, de eerste is adres %s (%s).",
                                 {Number(missing), Number(table.size()), Number(first.Address), NvmDisplayName(first)}));
    }
    TSettingsFileRead read;
    read.Words = words;
    read.Values = std::move(values);
    read.Stamp = std::move(stamp);
    return read;
}

TSettingsFileRead ReadSettingsFileAt(const std::filesystem::path& path, bool boardsOwn) {
    auto notRead = [](std::string why) {
        TSettingsFileRead read = Refuse(std::move(why));
        read.NotRead = true;
        return read;
    };
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return notRead("het is een map, geen bestand");
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) return notRead(errno != 0 ? std::error_code(errno, std::generic_category()).message() : "onbekende fout");
    // One byte more than a file may hold, so a larger one is seen as larger.
    std::string text(SETTINGSFILEMAXSIZE + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return ReadSettingsFile(text, boardsOwn);
}

std::vector<TSettingsDifference> CompareSettings(const TNvmWords& a, const TNvmWords& b, bool skipRowsWithoutDefault,
                                                 char decimalSeparator) {
    std::vector<TSettingsDifference> differences;
    const auto table = NvmParameters();
    for (size_t i = 0; i < table.size(); ++i) {
        const TNvmParameter& p = table[i];
        if ((skipRowsWithoutDefault && !p.HasDefault) || a[i] == b[i]) continue;
        TSettingsDifference d{&p, ShownValue(p, DecodeNvmWord(p, a[i]), decimalSeparator),
                              ShownValue(p, DecodeNvmWord(p, b[i]), decimalSeparator)};
        if (d.A == d.B) {
            d.A += " (woord " + std::to_string(a[i]) + ')';
            d.B += " (woord " + std::to_string(b[i]) + ')';
        }
        differences.push_back(std::move(d));
    }
    return differences;
}

std::string SettingsDifferencesText(std::span<const TSettingsDifference> differences) {
    std::string text;
    for (const TSettingsDifference& d : differences)
        text += FormatText("Adres %s, %s: %s / %s\n",
                           {Number(d.Parameter->Address), NvmDisplayName(*d.Parameter), d.A, d.B});
    return text;
}

}  // namespace korvel
