// korvel-cli's entry: Ctrl+C asks the running command to stop between two exchanges.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define KORVEL_ISATTY _isatty
#else
#include <unistd.h>
#define KORVEL_ISATTY isatty
#endif

#include "cli/korvel_cli.h"
#include "host/console_host.h"

namespace {
extern "C" void OnInterrupt(int) { korvel::TConsoleHost::Interrupt(); }
}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    std::ios::sync_with_stdio(true);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return korvel::cli::RunCli(args, std::cout, std::cerr, KORVEL_ISATTY(2) != 0);
}
