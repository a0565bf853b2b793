// The board stand-in: plays the KORVEL board on the master side of a pseudo-terminal, on its own
// thread. Used by the korvel-board-sim program, by the tool's --demo, and in-process by tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board_replay.h"

namespace korvel::sim {

struct BoardSimOptions {
    bool program = false;      // RUN/PROGRAM switch at PROGRAM
    uint32_t reportMs = 1000;  // real-time report period; 0 = none
    bool pace = false;         // model 9600 baud 8N2 wire time in both directions
    uint32_t seed = 1;         // for the plausible movement of values
    uint32_t askMs = 1000;            // at PROGRAM and out of service mode: "Are you there ?" this often
    uint32_t serviceHoldMs = 10000;   // service mode ends this long after the tool's last request

    // Fault injection for tests.
    uint32_t dropAnswer = 0;        // leave out the Nth answer (1-based; 0 = none)
    uint32_t corruptAnswer = 0;     // corrupt the check value of the Nth answer
    bool silent = false;            // never send anything
    uint32_t shortReportLen = 0;    // when > 0, reports carry only this many bytes
    uint32_t hangUpAfterMs = 0;     // close the line this long after start (0 = never)
    std::optional<uint16_t> storeWrong;  // keep the word written at this address plus 1
    uint32_t dropWrite = 0;         // neither keep nor answer the Nth write request 165 (1-based; 0 = none)
    bool dropStore = false;         // leave every store request 167 unanswered
    // "Flow probleem" on in reports faultFrom .. faultUntil - 1 (1-based), off in every other; the
    // report's other fault flags then stay off. 0: the flags come and go at random.
    uint32_t faultFrom = 0, faultUntil = 0;

    // A capture file of the line as the board sees it, written while the stand-in runs.
    std::string capture;
    // Plays a recording instead of being a board, once a program has opened the line (set it to
    // 9600 baud): its own blocks at their times divided by speed, answers as their requests come.
    std::shared_ptr<const TReplayScript> replay;
    double speed = 1;
    // What the replay has to say (a request the recording does not hold next, its end); stderr
    // when not set. Runs on the stand-in's thread.
    std::function<void(const std::string&)> note;
};

// Wire time of one byte at 9600 baud, 8N2: 11 bits.
constexpr uint32_t kByteWireTimeNs = 1145834;
constexpr uint32_t kLoaderBase = 0x8800;
constexpr uint32_t kLoaderChunkSize = 64;
constexpr uint32_t kLoaderChunks = 480;
// ReceivedBlocks keeps this many of the latest blocks; older ones are let go.
constexpr size_t kReceivedBlocksKept = 4096;

class BoardSim {
public:
    explicit BoardSim(BoardSimOptions options);
    ~BoardSim();  // stops and joins
    BoardSim(const BoardSim&) = delete;
    BoardSim& operator=(const BoardSim&) = delete;

    std::string Start();  // creates the pty, starts the thread; returns the slave path; throws
                          // std::runtime_error when no pty can be had
    void Stop();
    void HangUp();        // closes the master side now, as a pulled adapter would

    void SetProgramSwitch(bool program);
    void SetSilent(bool silent);

    // Observations (thread-safe copies).
    bool InServiceMode() const;
    std::vector<std::vector<uint8_t>> ReceivedBlocks() const;  // the latest blocks decoded from the PC, in order
    std::vector<uint8_t> LoaderImage() const;                  // 0x8800..0xFFFF as received (0xFF where nothing came)
    uint32_t LoaderChunksReceived() const;
    bool LoaderDone() const;
    std::vector<uint8_t> Nvm() const;                          // the 230-byte parameter image
    // The image a stand-in starts with: the tool's defaults, and for the two rows without one
    // what a commissioned board holds (600 s at 40.0 °C).
    static std::vector<uint8_t> StartNvm();
    uint32_t ReportsSent() const;
    bool InLoader() const;
    // The baud rate the port's user (the tool, or a network server in front) set on the line;
    // 0 when there is no line or the rate is not a standard one.
    uint32_t LineSpeed() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace korvel::sim
