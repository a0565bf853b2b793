// The message decoder: handles every block the board sends, with its protocol side effects on
// the main window (keep-alive, the answer that keeps the board in service mode, the service
// functions).
#pragma once

#include <cstdint>

namespace korvel {

class TMainForm;

// Data: the module's 515-byte receive buffer, block first; Size: block plus its two check bytes.
void Handle485Message(TMainForm& Form, const uint8_t* Data, int32_t Size);

}  // namespace korvel
