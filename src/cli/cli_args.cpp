#include <charconv>
#include <cmath>

#include "cli/korvel_cli.h"
#include "link/net_address.h"

namespace korvel::cli {

namespace {

struct TCommandShape {
    std::string_view Name;
    bool Port;      // needs --port
    bool File;      // takes a FILE
    bool Json;      // takes --json
};

constexpr TCommandShape kCommands[] = {
    {"ports", false, false, true},   {"info", true, false, true},    {"watch", true, false, true},
    {"backup", true, true, false},   {"compare", true, true, true},  {"restore", true, true, false},
    {"defaults", true, false, false}, {"flash", true, true, false},
};

const TCommandShape* Shape(std::string_view name) {
    for (const TCommandShape& c : kCommands)
        if (c.Name == name) return &c;
    return nullptr;
}

}  // namespace

std::string CliUsage() {
    return "usage: korvel-cli ports    [--json]\n"
           "       korvel-cli info     --port P [--json]\n"
           "       korvel-cli watch    --port P [--seconds N] [--log FILE] [--json]\n"
           "       korvel-cli backup   --port P FILE\n"
           "       korvel-cli compare  --port P (FILE | --defaults) [--json]\n"
           "       korvel-cli restore  --port P FILE\n"
           "       korvel-cli defaults --port P\n"
           "       korvel-cli flash    --port P FILE.a43\n"
           "       korvel-cli --help | --version\n"
           "\n"
           "Scripted service of the KORVEL controller board. P is a port as the window takes it: COM5,\n"
           "a device path such as /dev/ttyUSB0, or a network address.\n"
           "\n"
           "  ports     every serial port; the board's USB adapter (0403:6001) marked with *\n"
           "  info      the board's operating state, switch position, firmware and main values\n"
           "  watch     each report as a line in the data log's format (or JSON), for N seconds or\n"
           "            until Ctrl+C; --log FILE writes the file the window's data log writes\n"
           "  backup    service mode, fetch, and the settings file the window saves\n"
           "  compare   each parameter whose value differs: address, name, board, file\n"
           "  restore   write a settings file word by word, store, check the store word by word\n"
           "  defaults  write the tool's defaults the same way\n"
           "  flash     check the firmware file, then download it\n"
           "\n"
           "backup, compare, restore, defaults and flash need the RUN/PROGRAM switch at PROGRAM.\n"
           "Every command but ports also takes --capture FILE: what crosses the line, both ways,\n"
           "as a pcapng capture for Wireshark (with korvel.lua) or korvel-board-sim --replay.\n"
           "Results go to stdout, errors to stderr as one line, progress to stderr on a terminal.\n"
           "\n"
           "Exit status:\n"
           "  0    done\n"
           "  1    differences found (compare only)\n"
           "  2    wrong usage\n"
           "  3    a file refused (named, with the line)\n"
           "  4    the board did not answer in time, or is not at PROGRAM where the command needs it\n"
           "  5    the line could not be opened or was lost\n"
           "  6    the store's answer differs from what was written\n"
           "  130  interrupted (Ctrl+C): nothing more sent, no store requested\n";
}

std::optional<TCliOptions> ParseCliArgs(const std::vector<std::string>& args, std::string& error) {
    TCliOptions o;
    std::vector<std::string> positional;
    bool seconds = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* option) -> std::optional<std::string> {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = std::string("option '") + option + "' needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            o.Command = "help";
            return o;
        }
        if (a == "--version") {
            o.Command = "version";
            return o;
        }
        if (a == "--json") {
            o.Json = true;
        } else if (a == "--defaults") {
            o.Defaults = true;
        } else if (a == "--port") {
            const auto v = value("--port");
            if (!v) return std::nullopt;
            o.Port = *v;
        } else if (a == "--log") {
            const auto v = value("--log");
            if (!v) return std::nullopt;
            o.Log = *v;
        } else if (a == "--capture") {
            const auto v = value("--capture");
            if (!v) return std::nullopt;
            o.Capture = *v;
        } else if (a == "--seconds") {
            const auto v = value("--seconds");
            if (!v) return std::nullopt;
            double n = 0;
            const auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), n);
            if (ec != std::errc() || end != v->data() + v->size() || !std::isfinite(n) || n <= 0) {
                error = "option '--seconds' needs a positive number, not '" + *v + "'";
                return std::nullopt;
            }
            o.Seconds = n;
            seconds = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            error = "unknown option '" + a + "'";
            return std::nullopt;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    o.Command = positional[0];
    const TCommandShape* shape = Shape(o.Command);
    if (shape == nullptr) {
        error = "unknown command '" + o.Command + "'";
        return std::nullopt;
    }
    const size_t files = positional.size() - 1;
    const bool fileWanted = shape->File && !(o.Command == "compare" && o.Defaults);
    if (files > (fileWanted ? 1u : 0u)) {
        error = "unexpected argument '" + positional[fileWanted ? 2 : 1] + "'";
        return std::nullopt;
    }
    if (fileWanted && files == 0) {
        error = o.Command == "compare" ? "compare needs a FILE or --defaults" : o.Command + " needs a FILE";
        return std::nullopt;
    }
    if (fileWanted) o.File = positional[1];
    if (shape->Port && o.Port.empty()) {
        error = o.Command + " needs --port P";
        return std::nullopt;
    }
    std::string problem;
    if (IsNetAddress(o.Port) && !ParseNetAddress(o.Port, &problem)) {
        error = "'" + o.Port + "' is no network address: " + problem;
        return std::nullopt;
    }
    if (!shape->Port && !o.Port.empty()) {
        error = "option '--port' does not go with " + o.Command;
        return std::nullopt;
    }
    if (!shape->Port && !o.Capture.empty()) {
        error = "option '--capture' does not go with " + o.Command;
        return std::nullopt;
    }
    if (o.Json && !shape->Json) {
        error = "option '--json' does not go with " + o.Command;
        return std::nullopt;
    }
    if (o.Defaults && o.Command != "compare") {
        error = "option '--defaults' goes with compare only";
        return std::nullopt;
    }
    if ((seconds || !o.Log.empty()) && o.Command != "watch") {
        error = std::string("option '") + (seconds ? "--seconds" : "--log") + "' goes with watch only";
        return std::nullopt;
    }
    return o;
}

}  // namespace korvel::cli
