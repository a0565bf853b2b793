// The tool's command line. Parsed before the window system is touched, so --help and --version
// work without a display.
#pragma once

#include <string>
#include <vector>

namespace korvel {

struct TCommandLine {
    enum class TAction { Run, Help, Version, Error };
    TAction Action = TAction::Run;
    std::string Port;   // --port NAME
    bool Demo = false;  // --demo
    std::string OpenLog;  // --open-log FILE
    std::string Replay;   // --replay FILE: the stand-in plays a capture, as --demo starts it
    std::string Error;  // for Error: what was wrong, naming the argument
};

// args without the program name. With leaveWindowSystemArgs, all but "--" options are passed over:
// they may be the window system's own (-platform xcb, -style ...), which it takes out later.
TCommandLine ParseCommandLine(const std::vector<std::string>& args, bool leaveWindowSystemArgs);

std::string UsageText();    // the full text of --help
std::string UsageLine();    // the short form under an error
std::string VersionText();  // "korvel-service 16.6.0.0"

}  // namespace korvel
