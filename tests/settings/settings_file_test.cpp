#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "datalog/data_log.h"

namespace korvel {
namespace {

std::vector<double> Defaults() {
    std::vector<double> v;
    for (const TNvmParameter& p : NvmParameters()) v.push_back(p.Default);
    v[226 / 2] = 600;
    v[228 / 2] = 40.0;
    return v;
}

std::vector<uint16_t> Words(const std::vector<double>& values) {
    std::vector<uint16_t> w;
    for (size_t i = 0; i < values.size(); ++i) w.push_back(NvmWordOf(ScaleNvmValue(NvmParameters()[i], values[i])));
    return w;
}

// Each row at the ends of what its field takes, and the single-precision fields as floats.
std::vector<double> Extremes(bool high) {
    std::vector<double> v;
    for (const TNvmParameter& p : NvmParameters()) {
        double x = high ? p.Max : p.Min;
        // Where the mask is narrower than the limits, the mask's.
        if (x > 1e38 || x < -1e38) x = high ? 99.9 : -9.9;
        if (p.Mask == "iii") x = high ? 999 : -99;
        if (p.Kind == TNvmFieldKind::RealSingle) x = static_cast<float>(x);
        v.push_back(x);
    }
    // The 1/256 word of a tenth the engineer typed, as a report brings it back.
    v[46 / 2] = std::trunc((high ? 99.3 : -19.7) * 256) / 256;
    v[204 / 2] = static_cast<float>(-1.3);
    return v;
}

TEST(SettingsFile, WrittenFileReadsBackToTheSameWords) {
    for (const auto& values : {Defaults(), Extremes(false), Extremes(true)})
        for (const char separator : {'.', ','}) {
            const auto read = ReadSettingsFile(WriteSettingsFile(values, NvmWordsOf(values), "16.6.0.0", "2026-12-09 15:30:00", separator));
            ASSERT_TRUE(read.Ok()) << read.Error;
            EXPECT_EQ(Words(read.Values), Words(values)) << separator;
        }
}

TEST(SettingsFile, Layout) {
    const std::string text = WriteSettingsFile(Defaults(), NvmWordsOf(Defaults()), "16.6.0.0", "2026-12-09 15:30:00", ',');
    const std::string start =
              "\xEF\xBB\xBFKORVEL instellingen;16.6.0.0;2026-12-09 15:30:00\r\n"
              "Adres;Naam;Omschrijving;Waarde;Woord\r\n"
              "0;StooklijnRL.XMin;Radiatoren stooklijn Laag XMin;-10,0;65436\r\n"
              "2;StooklijnRL.XMax;";
    EXPECT_EQ(text.substr(0, start.size()), start);
    EXPECT_NE(text.find("\r\n46;onfNightOff;Temperatuur voor nachtstand;19,0;4864\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n224;rgTestmode;Test standen;0;0\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\n228;onfFixedTempValue;Vaste regeltemperatuur bij aanzetten (°C);40,0;400\r\n"));
}

TEST(SettingsFile, TheFirstLineSaysWhatTheFileWasMadeForAndOlderFilesStillRead) {
    const std::string name = "Zo\xC3\xAB; \"De Eik\"";
    const std::string text = WriteSettingsFile(NvmWordsOf(Defaults()), "16.6.0.0", "2026-12-09 15:30:00", ',',
                                               {name, "rfc2217://10.0.0.7:7000", "131"});
    EXPECT_TRUE(text.starts_with("\xEF\xBB\xBFKORVEL instellingen;16.6.0.0;2026-12-09 15:30:00;"
                                 "\"Zo\xC3\xAB; \"\"De Eik\"\"\";rfc2217://10.0.0.7:7000;131\r\n"));
    const TSettingsFileRead read = ReadSettingsFile(text);
    ASSERT_TRUE(read.Ok()) << read.Error;
    EXPECT_EQ(read.Stamp.Installation, name);
    EXPECT_EQ(read.Stamp.Port, "rfc2217://10.0.0.7:7000");
    EXPECT_EQ(read.Stamp.Firmware, "131");

    const TSettingsFileRead old = ReadSettingsFile(WriteSettingsFile(NvmWordsOf(Defaults()), "16.6.0.0", "x", ','));
    ASSERT_TRUE(old.Ok()) << old.Error;
    EXPECT_EQ(old.Stamp.Installation + old.Stamp.Port + old.Stamp.Firmware, "");
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::string LfOnly(std::string text) {
    std::erase(text, '\r');
    return text;
}

// What a spreadsheet or a hand edit makes of a file is still read, to the same words.
TEST(SettingsFile, AcceptsWhatSpreadsheetsMakeOfIt) {
    const std::string file = WriteSettingsFile(Defaults(), NvmWordsOf(Defaults()), "16.6.0.0", "2026-12-09 15:30:00", '.');
    const std::string withoutBom = file.substr(3);
    // As the tool wrote it before the word column.
    std::string fourColumns;
    for (size_t at = 0, end; at < file.size(); at = end + 2) {
        end = file.find("\r\n", at);
        const std::string line = file.substr(at, end - at);
        fourColumns += (at == 0 ? line : line.substr(0, line.rfind(';'))) + "\r\n";
    }
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"LF, no BOM", LfOnly(withoutBom)},
        {"without the word column", fourColumns},
        {"padded and quoted", Replaced(Replaced(file, "30:00\r\n", "30:00;\r\n"), "46;onfNightOff;Temperatuur voor nachtstand;19.0;4864",
                                       "\"46\";\"onfNightOff\";\"Temp; \"\"nacht\"\"\";\"19,0\";\"4864\"")},
        {"trailing zeros dropped, blank rows", Replaced(file, ";19.0;4864\r\n", ";19;4864\r\n;;;\r\n\r\n")},
        {"rows moved", Replaced(file, "0;StooklijnRL.XMin;Radiatoren stooklijn Laag XMin;-10.0;65436\r\n", "") +
                           "0;StooklijnRL.XMin;x;-10\r\n"},
        {"caption re-coded by a spreadsheet", Replaced(file, "(°C);40.0", "(\xB0" "C);40.0")},
    };
    for (const auto& c : cases) {
        const auto read = ReadSettingsFile(c.text);
        ASSERT_TRUE(read.Ok()) << c.name << ": " << read.Error;
        EXPECT_EQ(Words(read.Values), Words(Defaults())) << c.name;
    }
}

TEST(SettingsFile, RefusesWithTheLineAndWhatIsWrong) {
    const std::string file = WriteSettingsFile(Defaults(), NvmWordsOf(Defaults()), "16.6.0.0", "2026-12-09 15:30:00", '.');
    const std::string nightOff = "46;onfNightOff;Temperatuur voor nachtstand;19.0;4864\r\n";  // line 26
    const struct {
        const char* name;
        std::string text;
        std::string error;
    } cases[] = {
        {"empty file", "\xEF\xBB\xBF\r\n", "Het bestand is leeg."},
        {"data log", std::string(LOGFILEHEADER) + "\r\n09-12-2026 15:30:00;1;F;F\r\n",
         "Dit is geen KORVEL-instellingenbestand: regel 1 begint niet met \"KORVEL instellingen\"."},
        {"garbage bytes", std::string("\x89PNG\r\n\x1A\n\0\0\x01\"\xFF", 13),
         "Dit is geen KORVEL-instellingenbestand: regel 1 begint niet met \"KORVEL instellingen\"."},
        {"no header", Replaced(file, "Adres;Naam;Omschrijving;Waarde", "Adres;Naam;Waarde"),
         "Regel 2: de kolomkoppen \"Adres;Naam;Omschrijving;Waarde;Woord\" ontbreken."},
        {"cut inside the last value", file.substr(0, file.size() - 4),
         "Het bestand is afgebroken: regel 117 eindigt zonder regeleinde."},
        {"cut after a row", file.substr(0, file.find(nightOff)),
         "Het bestand is onvolledig: 92 van de 115 parameters ontbreken, de eerste is adres 46 (Temperatuur voor "
         "nachtstand)."},
        {"missing row", Replaced(file, nightOff, ""),
         "Het bestand is onvolledig: adres 46 (Temperatuur voor nachtstand) ontbreekt."},
        {"duplicate row", file + "46;onfNightOff;;20.0\r\n",
         "Regel 118: adres 46 (Temperatuur voor nachtstand) stond al op regel 26."},
        {"name under another address", Replaced(file, "46;onfNightOff", "48;onfNightOff"),
         "Regel 26: onfNightOff hoort bij adres 46, niet bij adres 48."},
        {"unknown name", Replaced(file, "46;onfNightOff", "46;onfNightOf"), "Regel 26: onbekende naam \"onfNightOf\"."},
        {"odd address", Replaced(file, "46;onfNightOff", "47;onfNightOff"), "Regel 26: onbekend adres \"47\"."},
        {"address past the table", file + "230;onfNightOff;;20.0\r\n", "Regel 118: onbekend adres \"230\"."},
        {"too many decimals", Replaced(file, ";19.0;4864\r\n", ";19.25;4864\r\n"),
         "Regel 26: waarde \"19.25\" voor Temperatuur voor nachtstand past niet in het veld (masker ###.#)."},
        {"no value", Replaced(file, ";19.0;4864\r\n", ";;4864\r\n"), "Regel 26: geen waarde voor Temperatuur voor nachtstand."},
        {"garbage in a value", Replaced(file, ";19.0;4864\r\n", ";19\x01;4864\r\n"),
         "Regel 26: waarde \"19\x01\" voor Temperatuur voor nachtstand past niet in het veld (masker ###.#)."},
        {"above the limit", Replaced(file, "Graadminuten grens waarop ketel bij komt;20;20", "x;121;20"),
         "Regel 28: waarde 121 voor Graadminuten grens waarop ketel bij komt ligt buiten 10 ... 120."},
        {"below the limit", Replaced(file, "(s) (Koelen);120;120", "(s) (Koelen);-1;120"),
         "Regel 23: waarde -1 voor Pomp nalooptijd (s) (Koelen) ligt buiten 0 ... 32767."},
        {"test mode beyond its items", Replaced(file, "Test standen;0;0", "Test standen;5;0"),
         "Regel 115: waarde 5 voor Test standen ligt buiten -1 ... 4."},
        {"test mode as text", Replaced(file, "Test standen;0;0", "Test standen;Normaal gebruik;0"),
         "Regel 115: waarde \"Normaal gebruik\" voor Test standen past niet in het veld (-1 ... 4)."},
        {"sixth column", Replaced(file, ";19.0;4864\r\n", ";19.0;4864;x\r\n"), "Regel 26: meer dan 5 kolommen."},
        {"open quote", Replaced(file, ";19.0;4864\r\n", ";\"19.0;4864\r\n"),
         "Regel 26: een aanhalingsteken wordt niet gesloten."},
        {"word not a word", Replaced(file, ";19.0;4864\r\n", ";19.0;65536\r\n"),
         "Regel 26: woord \"65536\" voor Temperatuur voor nachtstand is geen getal van 0 tot 65535."},
        {"1 MiB with its BOM and a byte", file + std::string(SETTINGSFILEMAXSIZE + 1 - file.size(), '\n'),
         "Dit is geen KORVEL-instellingenbestand: het is veel te groot."},
    };
    for (const auto& c : cases) {
        const auto read = ReadSettingsFile(c.text);
        EXPECT_EQ(read.Error, c.error) << c.name;
        EXPECT_TRUE(read.Values.empty()) << c.name;
    }
}

// The word keeps what the value's text cannot: the 1/256 field's 4865 shows as 19.0 like 4864.
TEST(SettingsFile, TheWordColumnKeepsTheBoardsWordsExactly) {
    TNvmWords board = NvmWordsOf(Defaults());
    board[46 / 2] = 4865;
    const std::string file = WriteSettingsFile(board, "16.6.0.0", "2026-12-09 15:30:00", ',');
    EXPECT_NE(file.find(";19,0;4865\r\n"), std::string::npos);
    const auto read = ReadSettingsFile(file);
    ASSERT_TRUE(read.Ok()) << read.Error;
    EXPECT_EQ(read.Words, board);
    EXPECT_TRUE(CompareSettings(board, read.Words, false, ',').empty());

    // Compared with a typed 19.0 (4864) the row is listed, each side with its word.
    TNvmWords typed = board;
    typed[46 / 2] = 4864;
    const auto differences = CompareSettings(typed, read.Words, false, ',');
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(differences[0].A, "19,0 (woord 4864)");
    EXPECT_EQ(differences[0].B, "19,0 (woord 4865)");
}

// A row's word counts only where its field could hold it and it shows as the row's text; else the
// text counts. Either way a restore sends what the window sends for the file (the words of the
// values the fields take), and what compare showed.
TEST(SettingsFile, AWordCountsOnlyWhereTheFieldHoldsItAsTheTextShows) {
    const std::string file = WriteSettingsFile(NvmWordsOf(Defaults()), "16.6.0.0", "2026-12-09 15:30:00", ',');
    const struct {
        const char* row;  // as found in the file, and as edited
        const char* edited;
        uint16_t word;
    } rows[] = {
        {"46;onfNightOff;Temperatuur voor nachtstand;19,0;4864", "19,0;4865", 4865},
        {"46;onfNightOff;Temperatuur voor nachtstand;19,0;4864", "20,5;4865", 5248},  // edited: the text
        {"224;rgTestmode;Test standen;0;0", "4;100", 4},  // the group holds 4 at most
        {"54;onfPumpStartupTime;Pomp voorlooptijd (s);30;30", "30;7710", 30},  // a low byte field
    };
    for (const auto& r : rows) {
        std::string row = r.row;
        const std::string edited = Replaced(file, row, row.substr(0, row.rfind(';', row.rfind(';') - 1) + 1) + r.edited);
        const auto read = ReadSettingsFile(edited);
        ASSERT_TRUE(read.Ok()) << r.edited << ": " << read.Error;
        const size_t index = static_cast<size_t>(std::stoi(row)) / 2;
        EXPECT_EQ(read.Words[index], r.word) << r.edited;
        EXPECT_EQ(read.Words, NvmWordsOf(read.Values)) << r.edited;
    }
}

// A hidden or read-only row goes back as the board had it: its limits guard typing only.
TEST(SettingsFile, LimitsHoldForFieldsTheEngineerEdits) {
    TNvmWords board = NvmWordsOf(Defaults());
    board[0] = static_cast<uint16_t>(-250);  // StooklijnRL.XMin -25.0, read-only in the window
    const auto read = ReadSettingsFile(WriteSettingsFile(board, "16.6.0.0", "2026-12-09 15:30:00", '.'));
    ASSERT_TRUE(read.Ok()) << read.Error;
    EXPECT_EQ(read.Words, board);
}

TEST(SettingsFile, ComparesTheWordsAWriteWouldSend) {
    const auto a = Defaults();
    auto b = a;
    b[46 / 2] = 19.0 + 1.0 / 512;  // still word 4864
    b[204 / 2] = static_cast<float>(-1.0);
    b[42 / 2] = 61;
    b[224 / 2] = -1;
    b[226 / 2] = 900;  // no default: left out when comparing with the defaults
    const auto all = CompareSettings(NvmWordsOf(a), NvmWordsOf(b), false, ',');
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[2].Parameter->Control, "onfFixedTempTime");
    const auto withDefault = CompareSettings(NvmWordsOf(a), NvmWordsOf(b), true, ',');
    EXPECT_EQ(SettingsDifferencesText(withDefault),
              "Adres 42, Pomp nalooptijd (s) (Verwarmen): 60 / 61\n"
              "Adres 224, Test standen: 0 (Normaal gebruik) / -1 (geen)\n");
    b[46 / 2] = 19.5;
    EXPECT_EQ(CompareSettings(NvmWordsOf(a), NvmWordsOf(b), true, ',')[1].B, "19,5");
}

}  // namespace
}  // namespace korvel
