#include <algorithm>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <ostream>
#include <sstream>

#include "cli/cli_board.h"
#include "cli/cli_output.h"
#include "cli/korvel_cli.h"
#include "comms/flash_image.h"
#include "korvel_version.h"
#include "host/whole_file.h"
#include "link/serial_ports.h"
#include "settings/settings_file.h"
#include "settings/snapshot_store.h"
#include "visit/visit_stamp.h"

namespace korvel::cli {

namespace {

struct TContext {
    const TCliOptions& Options;
    std::ostream& Out;
    std::ostream& Err;
    bool Progress;
};

std::string Hex4(const std::string& id) { return id.empty() ? std::string() : id; }

// ---- ports ----

int Ports(const TContext& c) {
    const std::vector<TSerialPortInfo> ports = ScanSerialPorts();
    const auto adapters = FindUsbAdapters(ports, "0403", "6001");
    auto isAdapter = [&](const TSerialPortInfo& p) {
        for (const TSerialPortInfo& a : adapters)
            if (a.Number == p.Number) return true;
        return false;
    };
    if (c.Options.Json) {
        c.Out << "[";
        for (size_t i = 0; i < ports.size(); ++i) {
            const TSerialPortInfo& p = ports[i];
            c.Out << (i ? ",\n " : "") << "{\"name\":" << JsonString(p.Name) << ",\"device\":" << JsonString(p.DevicePath)
                  << ",\"vendor_id\":" << JsonString(p.VendorId) << ",\"product_id\":" << JsonString(p.ProductId)
                  << ",\"product\":" << JsonString(p.Product) << ",\"serial\":" << JsonString(p.Serial)
                  << ",\"board_adapter\":" << (isAdapter(p) ? "true" : "false") << "}";
        }
        c.Out << "]\n";
        return EXIT_DONE;
    }
    for (const TSerialPortInfo& p : ports) {
        c.Out << (isAdapter(p) ? "* " : "  ") << p.Name << '\t' << p.DevicePath;
        if (!p.VendorId.empty()) c.Out << '\t' << Hex4(p.VendorId) << ':' << Hex4(p.ProductId) << '\t' << DescribeUsbDevice(p);
        c.Out << '\n';
    }
    return EXIT_DONE;
}

// ---- info and watch ----

const TReportValue* Find(const std::vector<TReportValue>& report, std::string_view field) {
    for (const TReportValue& v : report)
        if (v.Target == field) return &v;
    return nullptr;
}

// A report's value as JSON: numbers as the field rounds them, lists as their item, flags as booleans.
std::string JsonValue(const TReportValue* v, TLogColumnKind kind) {
    if (v == nullptr) return "null";
    switch (kind) {
        case TLogColumnKind::Flag:
        case TLogColumnKind::OnOff: return v->Checked ? "true" : "false";
        case TLogColumnKind::List: return JsonString(ReportValueText(*v, '.'));
        case TLogColumnKind::Number: {
            std::string text = ReportValueText(*v, '.');
            text.erase(0, text.find_first_not_of(' '));
            return text.empty() ? "null" : text;
        }
        case TLogColumnKind::Time: break;
    }
    return "null";
}

// Every value of a report under its key, in the log's column order.
std::string JsonRow(const std::string& time, const std::vector<TReportValue>& report) {
    // Appended piece by piece: "," + a temporary trips GCC 12's -Wrestrict at -O3.
    std::string row = "{\"time\":";
    row += JsonString(time);
    for (const TLogColumn& column : LogLayout().subspan(1)) {
        row += ",\"";
        row += ReportJsonKey(column.Field);
        row += "\":";
        row += JsonValue(Find(report, column.Field), column.Kind);
    }
    row += '}';
    return row;
}

int Info(const TContext& c, TCliBoard& board) {
    board.WaitForReport();
    // At PROGRAM the board asks "Are you there ?" every second.
    board.PumpUntil([&] { return board.AskedForService(); }, 2500);
    const auto& r = board.LastReport();
    auto text = [&](std::string_view field) {
        const TReportValue* v = Find(r, field);
        std::string t = v != nullptr ? ReportValueText(*v, '.') : std::string();
        t.erase(0, t.find_first_not_of(' '));
        return t;
    };
    const std::string switchPosition = board.AskedForService() ? "PROGRAM" : "RUN";
    struct Item {
        const char* label;
        const char* field;
    };
    static constexpr Item kItems[] = {
        {"Bedrijfsstand", "ocbKorvelState"},      {"Firmware versie", "onfFirmLo"},
        {"Retour T", "onfNTC1"},                  {"Aanvoer T", "onfNTC2"},
        {"Water in", "onfWaterIn"},               {"Water uit", "onfWaterOut"},
        {"Buitentemperatuur", "onfOutsideAir"},   {"Kamertemperatuur", "onfTRoomTemperature"},
        {"Kamer gewenst", "onfRoomSetpoint"},     {"Gevraagd setpoint", "onfSetpoint"},
        {"Compressor stroom", "onfCompCurrent"},  {"Toshiba mode", "ocbOpMode"},
        {"Toshiba foutcode", "onfDiagCodes1"},    {"Sticky foutcode", "onfStickyDiagCodes1"},
    };
    if (c.Options.Json) {
        c.Out << "{\"port\":" << JsonString(board.PortName()) << ",\"switch\":" << JsonString(switchPosition);
        for (const Item& i : kItems) {
            const TReportValue* v = Find(r, i.field);
            const bool list = v != nullptr && v->ValueKind == TReportValue::Kind::ListIndex;
            c.Out << ",\"" << ReportJsonKey(i.field)
                  << "\":" << JsonValue(v, list ? TLogColumnKind::List : TLogColumnKind::Number);
        }
        c.Out << "}\n";
        return EXIT_DONE;
    }
    c.Out << "Poort: " << board.PortName() << "\nRUN/PROGRAM schakelaar: " << switchPosition << '\n';
    for (const Item& i : kItems) c.Out << i.label << ": " << text(i.field) << '\n';
    return EXIT_DONE;
}

int Watch(const TContext& c, TCliBoard& board) {
    const char separator = UserDecimalSeparator();
    std::unique_ptr<TDataLog> log;
    // The handlers below hold this call's locals.
    struct Unhook {
        TCliBoard& board;
        ~Unhook() {
            board.OnBlock = nullptr;
            board.OnReport = nullptr;
        }
    } unhook{board};
    if (!c.Options.Log.empty()) {
        log = std::make_unique<TDataLog>(board.Host());
        try {
            log->Start(c.Options.Log, std::chrono::system_clock::now());
        } catch (const std::exception& e) {
            throw TCliFailure{EXIT_FILE, std::string(e.what()) + ". Kies een map waarin geschreven mag worden."};
        }
        // As the window: a row at most every 5 s, when a block arrives, with what it shows.
        board.OnBlock = [&] {
            const auto now = std::chrono::system_clock::now();
            log->HandleLogfile(now, LogTimeText(now, PlatformLogTimeFormat()),
                               [&] { return LogColumnsOf(board.LastReport(), separator); });
        };
    }
    if (!c.Options.Json) c.Out << LOGFILEHEADER << '\n' << std::flush;
    board.OnReport = [&] {
        const auto now = std::chrono::system_clock::now();
        if (c.Options.Json) {
            // The same time text in every locale, for scripts.
            c.Out << JsonRow(SettingsFileTime(std::chrono::system_clock::to_time_t(now)), board.LastReport()) << '\n'
                  << std::flush;
            return;
        }
        std::string row = LogTimeText(now) + ';';
        for (const std::string& column : LogColumnsOf(board.LastReport(), separator)) row += column + ';';
        c.Out << row << '\n' << std::flush;
    };
    // Without --seconds, Ctrl+C ends it: every row printed is whole, and the status says it was stopped.
    board.Pump(c.Options.Seconds ? static_cast<uint64_t>(*c.Options.Seconds * 1000.0) : UINT64_MAX);
    return EXIT_DONE;
}

// ---- settings ----

TSettingsFileRead ReadFileOrFail(const std::string& path) {
    TSettingsFileRead read = ReadSettingsFileAt(path);
    if (read.NotRead) throw TCliFailure{EXIT_FILE, "Het bestand " + path + " kan niet worden gelezen: " + read.Error + "."};
    if (!read.Ok()) throw TCliFailure{EXIT_FILE, "Het bestand " + path + " is geweigerd. " + read.Error};
    return read;
}

TNvmWords FetchOrFail(TCliBoard& board) {
    const auto words = board.Job().FetchAndWait();
    board.CheckGoingOn();
    if (!words)
        throw TCliFailure{EXIT_NO_ANSWER, "Het KORVEL bord stuurt zijn instellingen niet. Controleer de kabel en de "
                                          "RUN/PROGRAM schakelaar, en probeer het opnieuw."};
    return *words;
}

// What this command works for: the installation given, the port, the firmware of the last report.
// A fetch can end before the board's first report: one is waited for briefly (it reports every
// second), and without one the firmware stays unknown rather than the empty report's 0.
TVisitStamp StampOf(const TContext& c, TCliBoard& board) {
    TVisitStamp stamp{c.Options.Installation, board.PortName(), {}};
    if (board.Reports() == 0 && !board.PumpUntil([&board] { return board.Reports() > 0; }, 2500)) return stamp;
    for (const TReportValue& v : board.LastReport())
        if (v.Target == "onfFirmLo") stamp.Firmware = std::to_string(static_cast<int>(v.Number));
    return stamp;
}

// What the board held before this command changed it, in the window's snapshot folder.
std::optional<std::string> TakeSnapshot(const TContext& c, TCliBoard& board, const TNvmWords& words) {
    if (c.Options.NoSnapshot) return std::nullopt;
    std::string error;
    const auto path = TSnapshotStore().Save(words, KORVEL_FILE_VERSION_TEXT, SettingsFileTime(std::time(nullptr)),
                                            UserDecimalSeparator(), error, StampOf(c, board));
    if (!path)
        throw TCliFailure{EXIT_FILE, error + " Er is niets naar het bord gestuurd; kies met --no-snapshot om zonder "
                                             "momentopname door te gaan."};
    if (!c.Options.Json) c.Out << "Momentopname van het bord: " << PathText(*path) << '\n';
    return PathText(*path);
}

int Backup(const TContext& c, TCliBoard& board) {
    board.EnterServiceMode();
    const TNvmWords words = FetchOrFail(board);
    const std::string text =
        WriteSettingsFile(words, KORVEL_FILE_VERSION_TEXT, SettingsFileTime(std::time(nullptr)), UserDecimalSeparator(),
                          StampOf(c, board));
    std::string why;
    if (WriteWholeFile(c.Options.File, text, true, why) != TWholeWrite::Written)
        throw TCliFailure{EXIT_FILE, "Het bestand " + c.Options.File + " kan niet worden geschreven: " + why + "."};
    c.Out << "Opgeslagen: " << NVM_PARAMETER_COUNT << " parameters in " << c.Options.File << '\n';
    // Saved whole, also a board value outside its field's limits; but then the file will not load
    // back, and the engineer should know that now, not at the restore.
    const TSettingsFileRead check = ReadSettingsFile(text);
    if (!check.Ok())
        c.Err << "korvel-cli: waarschuwing: " << c.Options.File << " kan niet worden teruggezet: " << check.Error
              << " Een waarde van het KORVEL bord valt buiten de grenzen van zijn veld.\n";
    return EXIT_DONE;
}

// A parameter and one or two of its words as JSON members: the value as its field shows it, as a
// number, and the word beside it (two words can show as the same value).
std::string JsonParameter(const TNvmParameter& p) {
    return "\"address\":" + std::to_string(p.Address) + ",\"name\":" + JsonString(p.Control) +
           ",\"caption\":" + JsonString(NvmDisplayName(p));
}
std::string JsonWord(const TNvmParameter& p, std::string_view key, uint16_t word) {
    const std::string k(key);
    return ",\"" + k + "\":" + SettingsValueText(p, DecodeNvmWord(p, word), '.') + ",\"" + k +
           "_word\":" + std::to_string(word);
}

int Compare(const TContext& c, TCliBoard& board, const std::optional<TSettingsFileRead>& file) {
    board.EnterServiceMode();
    const TNvmWords boardWords = FetchOrFail(board);
    const TNvmWords other = file ? file->Words : NvmDefaultWords(boardWords);
    const auto differences = CompareSettings(boardWords, other, c.Options.Defaults, UserDecimalSeparator());
    if (c.Options.Json) {
        c.Out << "[";
        for (size_t i = 0; i < differences.size(); ++i) {
            const TNvmParameter& p = *differences[i].Parameter;
            const size_t row = p.Address / 2u;
            c.Out << (i ? ",\n " : "") << '{' << JsonParameter(p) << JsonWord(p, "board", boardWords[row])
                  << JsonWord(p, file ? "file" : "default", other[row]) << '}';
        }
        c.Out << "]\n";
    } else {
        for (const TSettingsDifference& d : differences)
            c.Out << d.Parameter->Address << '\t' << d.Parameter->Control << '\t' << d.A << '\t' << d.B << '\n';
    }
    return differences.empty() ? EXIT_DONE : EXIT_DIFFERENT;
}

constexpr const char* ResultName(TWriteResult r) {
    switch (r) {
        case TWriteResult::Stored: return "stored";
        case TWriteResult::StoreDiffers: return "store_differs";
        case TWriteResult::StoreUnverified: return "store_unverified";
        case TWriteResult::WriteUnanswered: return "write_unanswered";
        case TWriteResult::StoreUnanswered: return "store_unanswered";
        case TWriteResult::LineLostInWrite: return "line_lost_in_write";
        case TWriteResult::LineLostInStore: return "line_lost_in_store";
        case TWriteResult::Stopped: return "stopped";
        case TWriteResult::StoppedInStore: return "stopped_in_store";
    }
    return "";
}

// The run as one JSON object: what it changes on the board, how far it came, and each parameter
// the board stored otherwise.
void WriteJsonOutcome(const TContext& c, const TCliBoard& board, const TNvmWords& before, const TNvmWords& words,
                      const std::optional<std::string>& snapshot, const TWriteOutcome& outcome) {
    const auto table = NvmParameters();
    std::string changes, differs;
    for (size_t i = 0; i < table.size(); ++i)
        if (before[i] != words[i])
            changes += (changes.empty() ? "\n  {" : ",\n  {") + JsonParameter(table[i]) +
                       JsonWord(table[i], "board", before[i]) + JsonWord(table[i], "written", words[i]) + '}';
    for (const TStoreMismatch& m : outcome.Mismatches)
        differs += (differs.empty() ? "\n  {" : ",\n  {") + JsonParameter(table[m.Row]) +
                   JsonWord(table[m.Row], "written", m.Written) + JsonWord(table[m.Row], "stored", m.Stored) + '}';
    c.Out << "{\"port\":" << JsonString(board.PortName()) << ",\"result\":\"" << ResultName(outcome.Result)
          << "\",\"answered\":" << outcome.Answered << ",\"snapshot\":" << (snapshot ? JsonString(*snapshot) : "null")
          << ",\n \"changes\":[" << changes << "],\n \"store_differs\":[" << differs << "]}\n";
}

int WriteWords(const TContext& c, TCliBoard& board, const TNvmWords& before, const TNvmWords& words) {
    const std::optional<std::string> snapshot = TakeSnapshot(c, board, before);
    TWriteOutcome outcome;
    {
        TProgressBar bar(c.Err, c.Progress, "Instellingen wegschrijven");
        board.Job().OnProgress = [&](size_t handled, size_t total) { bar.Show(handled, total); };
        outcome = board.Job().Write(words);
        board.Job().OnProgress = nullptr;
    }
    if (c.Options.Json) WriteJsonOutcome(c, board, before, words, snapshot, outcome);
    const char sep = UserDecimalSeparator();
    const std::string port = board.PortName();
    switch (outcome.Result) {
        case TWriteResult::Stored:
            if (!c.Options.Json)
                c.Out << "Geprogrammeerd: " << NVM_PARAMETER_COUNT << " parameters weggeschreven en opgeslagen.\n";
            return EXIT_DONE;
        case TWriteResult::StoreDiffers:
            // Address, name, written and stored value, and their words (two words may show alike).
            for (const TStoreMismatch& m : outcome.Mismatches) {
                const TNvmParameter& p = NvmParameters()[m.Row];
                if (!c.Options.Json)
                    c.Out << p.Address << '\t' << p.Control << '\t' << SettingsValueText(p, DecodeNvmWord(p, m.Written), sep)
                      << '\t' << SettingsValueText(p, DecodeNvmWord(p, m.Stored), sep) << '\t' << m.Written << '\t'
                      << m.Stored << '\n';
            }
            throw TCliFailure{EXIT_STORE, "Het KORVEL bord heeft " + std::to_string(outcome.Mismatches.size()) +
                                              " parameter(s) anders opgeslagen dan weggeschreven (zie stdout). "
                                              "Schrijf opnieuw weg of haal de instellingen op."};
        case TWriteResult::StoreUnverified:
            throw TCliFailure{EXIT_STORE, "Het KORVEL bord heeft niet teruggemeld wat het heeft opgeslagen. "
                                          "Maak een backup om te controleren wat het bord nu heeft."};
        case TWriteResult::WriteUnanswered:
            throw TCliFailure{EXIT_NO_ANSWER,
                              "Het KORVEL bord gaf geen antwoord op parameter " + std::to_string(outcome.Answered + 1) +
                                  " van " + std::to_string(NVM_PARAMETER_COUNT) + "; " + std::to_string(outcome.Answered) +
                                  " zijn weggeschreven, niets is opgeslagen. Controleer de kabel en de RUN/PROGRAM "
                                  "schakelaar en schrijf opnieuw weg."};
        case TWriteResult::StoreUnanswered:
            throw TCliFailure{EXIT_NO_ANSWER, "Het KORVEL bord gaf geen antwoord op het opslaan; of het heeft "
                                              "opgeslagen is niet bekend. Maak een backup om te controleren."};
        case TWriteResult::LineLostInWrite:
            throw TCliFailure{EXIT_LINE, board.LostText("De verbinding met " + port + " is verbroken tijdens het wegschrijven; " +
                                                        std::to_string(outcome.Answered) +
                                                        " parameters weggeschreven, niets opgeslagen.")};
        case TWriteResult::LineLostInStore:
            throw TCliFailure{EXIT_LINE, board.LostText("De verbinding met " + port + " is verbroken tijdens het opslaan; "
                                                        "of het bord heeft opgeslagen is niet bekend. Maak opnieuw "
                                                        "verbinding en maak een backup.")};
        case TWriteResult::Stopped:
            throw TCliFailure{EXIT_INTERRUPTED, "Onderbroken: " + std::to_string(outcome.Answered) +
                                                    " parameters weggeschreven, niets opgeslagen."};
        case TWriteResult::StoppedInStore:
            throw TCliFailure{EXIT_INTERRUPTED, "Onderbroken na de vraag om op te slaan: alle " +
                                                    std::to_string(NVM_PARAMETER_COUNT) +
                                                    " parameters zijn weggeschreven, maar of het KORVEL bord ze heeft "
                                                    "opgeslagen is niet bekend. Kijk het na met korvel-cli compare of "
                                                    "korvel-cli backup."};
    }
    return EXIT_DONE;
}

// ---- firmware ----

void CheckFirmwareFile(const std::string& path) {
    TFlashImage image;
    try {
        image.ReadHexFile(path);
    } catch (const std::exception& e) {
        throw TCliFailure{EXIT_FILE, "Het firmware bestand " + path + " is geweigerd: " + e.what()};
    }
    if (image.MapError())
        throw TCliFailure{EXIT_FILE, "Het firmware bestand " + path + " is geweigerd: Geen geldig firmware bestand."};
}

int Flash(const TContext& c, TCliBoard& board) {
    board.EnterServiceMode();
    if (!c.Options.NoSnapshot) TakeSnapshot(c, board, FetchOrFail(board));
    // As the window: the download leaves service mode.
    board.Service().SetWanted(false);
    TProgressBar bar(c.Err, c.Progress, "Firmware flashen");
    board.Comms().OnProgress = [&](TCommsDataModule*, uint32_t progress, uint32_t max, bool, const std::string&, bool&) {
        if (max > 0) bar.Show(progress - std::min(progress, 0x8800u), max - 0x8800u);
    };
    board.Console().ConfirmQuestions = true;  // the command line itself was the engineer's yes
    board.Console().ShowBoxes = false;        // the outcome below says it once
    constexpr const char* kReload = " Het bord moet opnieuw geflasht worden voor het weer draait.";
    TCommsDataModule::TFlashResult result{};
    try {
        result = board.Comms().FlashFirmware(c.Options.File);
    } catch (const EZylSerialPortException&) {
        // The start block did not go out: the line was gone before the download began.
        throw TCliFailure{EXIT_LINE, board.LostText("De verbinding met het KORVEL bord op " + board.PortName() +
                                                    " is verbroken voor het flashen begon.")};
    } catch (const std::exception& e) {
        throw TCliFailure{EXIT_LINE, e.what() + std::string(kReload)};
    }
    switch (result) {
        case TCommsDataModule::TFlashResult::Done:
            bar.Show(1, 1);
            // The last chunk may still be on its way out of the adapter: 64 bytes take 73 ms at
            // 9600 baud. Closing the line at once could cut it off.
            board.Pump(250);
            c.Out << "Nieuwe firmware staat er in.\n";
            return EXIT_DONE;
        case TCommsDataModule::TFlashResult::Stopped:
            throw TCliFailure{EXIT_FLASH_CUT, "Onderbroken: het laden van de firmware is afgebroken." + std::string(kReload)};
        case TCommsDataModule::TFlashResult::InvalidFile:
        case TCommsDataModule::TFlashResult::Declined:
            throw TCliFailure{EXIT_FILE, "Het firmware bestand " + c.Options.File + " is geweigerd."};
        case TCommsDataModule::TFlashResult::NoAnswer: break;
    }
    throw TCliFailure{EXIT_NO_ANSWER, "KORVEL bord geeft geen antwoord. Het bord moet opnieuw geflasht worden: "
                                      "controleer de kabel en de voeding en probeer het opnieuw."};
}

// Errors are one line each, so a script's log can be read line by line.
std::string OneLine(std::string text) {
    for (char& ch : text)
        if (ch == '\n' || ch == '\r') ch = ' ';
    return text;
}

int RunOnBoard(const TContext& c, TCliBoard& board, const std::optional<TSettingsFileRead>& file) {
    const std::string& command = c.Options.Command;
    if (command == "info") return Info(c, board);
    if (command == "watch") return Watch(c, board);
    if (command == "backup") return Backup(c, board);
    if (command == "compare") return Compare(c, board, file);
    if (command == "flash") return Flash(c, board);
    board.EnterServiceMode();
    const TNvmWords before = FetchOrFail(board);
    if (file) {
        const std::string firmware = OtherFirmwareText(file->Stamp, StampOf(c, board));
        if (!firmware.empty()) c.Err << "korvel-cli: " << firmware << '\n';
    }
    // defaults: the two rows without a default keep what the board holds.
    return WriteWords(c, board, before, command == "restore" ? file->Words : NvmDefaultWords(before));
}

int Run(const TContext& c) {
    const std::string& command = c.Options.Command;
    if (command == "ports") return Ports(c);
    // Files are checked before the board is touched: nothing is sent for a file that is refused.
    std::optional<TSettingsFileRead> file;
    if ((command == "restore" || command == "compare") && !c.Options.File.empty()) file = ReadFileOrFail(c.Options.File);
    if (command == "restore" && !c.Options.Force) {
        const std::string other = OtherInstallationText(file->Stamp, {c.Options.Installation, {}, {}});
        if (!other.empty())
            throw TCliFailure{EXIT_FILE, "Het bestand " + c.Options.File + " is niet teruggezet. " + other +
                                             " Geef --force om het toch terug te zetten."};
    }
    if (command == "flash") CheckFirmwareFile(c.Options.File);
    std::error_code ec;
    if (command == "backup" && std::filesystem::is_directory(c.Options.File, ec))
        throw TCliFailure{EXIT_FILE, "Het bestand " + c.Options.File + " is een map: geef de naam van een bestand."};

    // The messages the shared code shows go to stderr, as errors do.
    TCliBoard board(c.Err);
    board.Open(c.Options.Port, c.Options.Capture);
    try {
        return RunOnBoard(c, board, file);
    } catch (const TCliFailure&) {
        throw;
    } catch (const std::exception& e) {
        // A send that found the line gone (often before the port's own report): the port's bare
        // "not open" says less than the line can.
        board.StopIfInterrupted();
        if (board.LineGone() || !board.Comms().ZylSerialPort.IsConnected())
            throw TCliFailure{EXIT_LINE, board.LostText("De verbinding met het KORVEL bord op " + board.PortName() +
                                                        " is verbroken.")};
        throw TCliFailure{EXIT_LINE, e.what()};
    }
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress) {
    std::string error;
    const auto options = ParseCliArgs(args, error);
    if (!options) {
        err << "korvel-cli: " << error << "\n" << CliUsage().substr(0, CliUsage().find("\n\n") + 1);
        return EXIT_USAGE;
    }
    if (options->Command == "help") {
        out << CliUsage();
        return EXIT_DONE;
    }
    if (options->Command == "version") {
        out << "korvel-cli " << KORVEL_FILE_VERSION_TEXT << '\n';
        return EXIT_DONE;
    }
    try {
        return Run({*options, out, err, progress});
    } catch (const TCliFailure& f) {
        out << std::flush;
        err << "korvel-cli: " << OneLine(f.Message) << '\n';
        return f.Status;
    } catch (const std::exception& e) {
        out << std::flush;
        if (TConsoleHost::Interrupted()) {
            err << "korvel-cli: Onderbroken.\n";
            return EXIT_INTERRUPTED;
        }
        err << "korvel-cli: " << OneLine(e.what()) << '\n';
        return EXIT_LINE;
    }
}

}  // namespace korvel::cli
