// The message decoder: handles every block the board sends, with its protocol side effects
// (keep-alive, the answer that keeps the board in service mode) and hands what it decoded to its
// owner: the main window, or the command line.
#pragma once

#include <cstdint>

namespace korvel {

class TServiceSession;
class UiHost;

// What the decoder needs of its owner.
class TBoardMessages {
public:
    virtual ~TBoardMessages() = default;
    virtual UiHost& Host() = 0;
    virtual TServiceSession& Service() = 0;
    // Data and Size as the decoder got them (Size counts the two check bytes).
    virtual void RealtimeReport(const uint8_t* Data, int32_t Size) = 0;  // 16
    virtual void NvmContents(const uint8_t* Data, int32_t Size) = 0;     // 38, 39
    // The board's 32; first: the first since service mode was chosen.
    virtual void ServiceConfirmed(bool first) = 0;
    // The board's "Are you there ?" was answered: the keep-alive runs from now on.
    virtual void KeepAliveStarted() = 0;
};

// Data: the module's 515-byte receive buffer, block first; Size: block plus its two check bytes.
void Handle485Message(TBoardMessages& Form, const uint8_t* Data, int32_t Size);

}  // namespace korvel
