#include "app/command_line.h"

#include "korvel_version.h"
#include "link/net_address.h"

namespace korvel {

namespace {

TCommandLine Fail(std::string error) {
    TCommandLine line;
    line.Action = TCommandLine::TAction::Error;
    line.Error = std::move(error);
    return line;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args, bool leaveWindowSystemArgs) {
    TCommandLine line;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            line.Action = TCommandLine::TAction::Help;
            return line;
        }
        if (arg == "--version") {
            line.Action = TCommandLine::TAction::Version;
            return line;
        }
        // "--name VALUE" or "--name=VALUE": the value goes to target; a missing one is named.
        std::string missing;
        const auto valued = [&](const std::string& name, std::string& target, const char* what) {
            if (arg == name) {
                if (i + 1 >= args.size() || args[i + 1].empty()) missing = "option '" + name + "' needs " + what;
                else target = args[++i];
                return true;
            }
            if (arg.rfind(name + "=", 0) != 0) return false;
            if (arg.size() == name.size() + 1) missing = "option '" + name + "' needs " + what;
            else target = arg.substr(name.size() + 1);
            return true;
        };
        if (arg == "--demo") {
            line.Demo = true;
        } else if (valued("--port", line.Port, "a port name") || valued("--open-log", line.OpenLog, "a file") ||
                   valued("--replay", line.Replay, "a capture file")) {
            if (!missing.empty()) return Fail(missing);
        } else if (leaveWindowSystemArgs && arg.rfind("--", 0) != 0) {
            continue;  // maybe the window system's option or its value
        } else if (!arg.empty() && arg[0] == '-') {
            return Fail("unknown option '" + arg + "'");
        } else {
            return Fail("unexpected argument '" + arg + "'");
        }
    }
    if (line.Demo && !line.Replay.empty()) return Fail("options '--demo' and '--replay' do not go together");
    if (IsNetAddress(line.Port) && !ParseNetAddress(line.Port))
        return Fail("option '--port': '" + line.Port +
                    "' is no network address; write rfc2217://HOST:PORT or tcp://HOST:PORT, an IPv6 host in brackets");
    return line;
}

std::string UsageLine() {
    return "usage: korvel-service [--port NAME] [--demo] [--replay FILE] [--open-log FILE] | --help | --version\n";
}

std::string UsageText() {
    return UsageLine() +
           "\n"
           "Service tool for the KORVEL controller board: watch it live, log its values, read and\n"
           "write its settings, load its firmware.\n"
           "\n"
           "  --port NAME  preselect a serial port: COM1 ... COM254, or a device path such as\n"
           "               /dev/ttyUSB0 (/dev/ttyS<k> is COM<k+1>, /dev/ttyUSB<k> is COM<33+k>,\n"
           "               /dev/ttyACM<k> is COM<97+k>); or a board behind a network serial\n"
           "               server: rfc2217://HOST:PORT (the tool sets the line) or tcp://HOST:PORT\n"
           "               (raw bytes, the server sets it), e.g. rfc2217://[::1]:7000\n"
#ifdef _WIN32
           "  --demo       not in the Windows build: the board stand-in needs pseudo-terminals\n"
#else
           "  --demo       start the built-in board stand-in on a pseudo-terminal and preselect it\n"
#endif
#ifdef _WIN32
           "  --replay FILE\n"
           "               not in the Windows build, as --demo\n"
#else
           "  --replay FILE\n"
           "               start the built-in board stand-in playing a capture (pcapng) and\n"
           "               preselect it: what the board sent, as it was recorded\n"
#endif
           "  --open-log FILE\n"
           "               show a log this tool wrote as a chart, in a window of its own\n"
           "  --help       show this text and exit\n"
           "  --version    show the version and exit\n";
}

std::string VersionText() { return std::string("korvel-service ") + KORVEL_FILE_VERSION_TEXT + "\n"; }

}  // namespace korvel
