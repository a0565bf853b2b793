// korvel-board-sim: the board stand-in as a program. Prints the port to open, then plays the
// board until SIGINT or SIGTERM.
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "board_sim.h"
#include "capture/pcapng.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: korvel-board-sim [--program] [--report-ms N] [--pace] [--seed N]\n"
                 "                        [--drop-answer N] [--corrupt-answer N] [--silent]\n"
                 "                        [--short-report N] [--hang-up-after-ms N]\n"
                 "                        [--store-wrong ADDR] [--drop-write N] [--drop-store]\n"
                 "                        [--fault-reports FROM:UNTIL] [--capture FILE]\n"
                 "       korvel-board-sim --replay FILE [--speed N] [--pace] [--capture FILE]\n"
                 "\n"
                 "--fault-reports FROM:UNTIL raises \"Flow probleem\" in reports FROM to UNTIL-1\n"
                 "(counted from 1) and clears it after; the other fault flags stay off.\n"
                 "--capture FILE writes what crosses the line to a pcapng capture file.\n"
                 "--replay FILE plays the board's side of a capture once a program opens the port:\n"
                 "its own blocks at their recorded times (divided by N), each answer when the\n"
                 "request that preceded it in the recording comes.\n");
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
    std::string replay;
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
        else if (a == "--capture" || a == "--replay") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fprintf(stderr, "korvel-board-sim: %s needs a file\n", a.c_str());
                return 2;
            }
            (a == "--capture" ? o.capture : replay) = argv[++i];
        } else if (a == "--speed") {
            char* end = nullptr;
            o.speed = i + 1 < argc ? std::strtod(argv[i + 1], &end) : 0;
            if (i + 1 >= argc || end == argv[i + 1] || *end != '\0' || !std::isfinite(o.speed) || o.speed <= 0) {
                std::fprintf(stderr, "korvel-board-sim: --speed needs a positive number\n");
                return 2;
            }
            ++i;
        }
        else if (a == "--fault-reports") {
            unsigned from = 0, until = 0;
            char tail = 0;
            if (i + 1 >= argc || std::sscanf(argv[i + 1], "%u:%u%c", &from, &until, &tail) != 2 || from == 0 ||
                until <= from) {
                std::fprintf(stderr, "korvel-board-sim: --fault-reports needs FROM:UNTIL, 0 < FROM < UNTIL\n");
                return 2;
            }
            o.faultFrom = from;
            o.faultUntil = until;
            ++i;
        }
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

    if (o.speed != 1 && replay.empty()) {
        std::fprintf(stderr, "korvel-board-sim: --speed goes with --replay only\n");
        return 2;
    }
    if (!replay.empty()) {
        const korvel::TCaptureReadResult read = korvel::ReadCaptureFile(replay);
        if (!read.Ok()) {
            std::fprintf(stderr, "korvel-board-sim: de opname %s is geweigerd: %s\n", replay.c_str(), read.Error.c_str());
            return 1;
        }
        o.replay = std::make_shared<const korvel::sim::TReplayScript>(korvel::sim::BuildReplayScript(read.Packets));
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
