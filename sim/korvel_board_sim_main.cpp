// korvel-board-sim: the board stand-in as a program. Prints the port to open, then plays the
// board until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "board_sim.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: korvel-board-sim [--program] [--report-ms N] [--pace] [--seed N]\n"
                 "                        [--drop-answer N] [--corrupt-answer N] [--silent]\n"
                 "                        [--short-report N] [--hang-up-after-ms N]\n"
                 "                        [--store-wrong ADDR] [--drop-write N] [--drop-store]\n");
}

bool ParseCount(const char* text, uint32_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v > 0xFFFFFFFFul || text[0] == '-') return false;
    value = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    korvel::sim::BoardSimOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto number = [&](uint32_t& v) {
            if (i + 1 >= argc || !ParseCount(argv[i + 1], v)) {
                std::fprintf(stderr, "korvel-board-sim: %s needs a number\n", a.c_str());
                std::exit(2);
            }
            ++i;
        };
        if (a == "--program") o.program = true;
        else if (a == "--pace") o.pace = true;
        else if (a == "--silent") o.silent = true;
        else if (a == "--report-ms") number(o.reportMs);
        else if (a == "--seed") number(o.seed);
        else if (a == "--drop-answer") number(o.dropAnswer);
        else if (a == "--corrupt-answer") number(o.corruptAnswer);
        else if (a == "--short-report") number(o.shortReportLen);
        else if (a == "--hang-up-after-ms") number(o.hangUpAfterMs);
        else if (a == "--drop-write") number(o.dropWrite);
        else if (a == "--drop-store") o.dropStore = true;
        else if (a == "--store-wrong") {
            uint32_t address = 0;
            number(address);
            if (address > 228 || address % 2 != 0) {
                std::fprintf(stderr, "korvel-board-sim: --store-wrong needs an even NVM address 0..228\n");
                return 2;
            }
            o.storeWrong = static_cast<uint16_t>(address);
        }
        else if (a == "--help" || a == "-h") {
            Usage();
            return 0;
        } else {
            Usage();
            return 2;
        }
    }

    // Blocked before the board's thread starts, so only sigwait below ever takes them.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    try {
        korvel::sim::BoardSim board(o);
        const std::string path = board.Start();
        std::printf("%s\n", path.c_str());
        std::fflush(stdout);
        int sig = 0;
        sigwait(&set, &sig);
        board.Stop();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "korvel-board-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
