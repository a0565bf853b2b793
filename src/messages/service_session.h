// Service mode as the tool and the board keep it: the board asks "Are you there ?" (48) while its
// RUN/PROGRAM switch is at PROGRAM; a tool that wants service mode answers 160 and then repeats
// 160 whenever 5 s pass without traffic; the board's 32 confirms. The window and the command line
// both keep it through this class, and both take from CommandNeeds() which commands need it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace korvel {

class TCommsDataModule;

// The keep-alive: a tick every 500 ms, the request after 10 ticks without traffic.
inline constexpr uint32_t KEEPALIVE_TICK_MS = 500;
inline constexpr int32_t KEEPALIVE_TICKS = 10;

enum class TBoardNeed : uint8_t {
    Reports,      // the board's own reports; the switch may stand at RUN
    ServiceMode,  // the switch at PROGRAM and the board confirming service mode (32)
};

struct TCommandNeed {
    std::string_view Command;
    TBoardNeed Need;
};
// The commands of the command line and the window's service commands, with what each needs.
std::span<const TCommandNeed> CommandNeeds();
TBoardNeed NeedOf(std::string_view command);

class TServiceSession {
public:
    explicit TServiceSession(TCommsDataModule& comms);

    // Service mode chosen or left. Nothing is sent: the board asks first.
    void SetWanted(bool wanted);
    bool Wanted() const { return FWanted; }

    // The board asked "Are you there ?": answered with 160 when service mode is wanted. True when
    // answered, so the caller runs its keep-alive from now on.
    bool AnswerAreYouThere();
    // The board's 32: true the first time since service mode was chosen.
    bool Confirm();
    bool Confirmed() const { return FConfirmed; }
    // A request sent or a response of the board: the keep-alive counts from here.
    void Traffic() { KeepInServiceModeTicker = 0; }
    // One keep-alive tick: sends 160 after KEEPALIVE_TICKS ticks without traffic; true when sent.
    bool KeepAliveTick();

    int32_t KeepInServiceModeTicker = 0;

private:
    void RequestServiceMode();

    TCommsDataModule& FComms;
    bool FWanted = false;
    bool FConfirmed = false;
};

}  // namespace korvel
