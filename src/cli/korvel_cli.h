// korvel-cli: the service tool's scripted side. Every codec and procedure is the window's own.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace korvel::cli {

struct TCliOptions {
    std::string Command;  // ports, info, watch, backup, compare, restore, defaults, flash, help, version
    std::string Port;
    std::string File;
    std::string Log;
    std::string Capture;  // --capture FILE: what crosses the line, as a pcapng capture
    bool Json = false;
    bool Defaults = false;        // compare --defaults
    bool NoSnapshot = false;      // restore, defaults, flash: no snapshot of the board first
    std::string Installation;     // --installation NAME: what backups and snapshots are made for
    bool Force = false;           // restore --force: also a file made for another installation
    std::optional<double> Seconds;  // watch --seconds N
};

// args without the program name; nullopt with the reason in error for wrong usage.
std::optional<TCliOptions> ParseCliArgs(const std::vector<std::string>& args, std::string& error);

std::string CliUsage();

// Runs a command: results on out, progress (when progress is true: a terminal) and errors on err.
// Returns the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress);

}  // namespace korvel::cli
