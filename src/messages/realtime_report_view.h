// Shows a real-time report in the monitor tab and the advanced view.
#pragma once

#include <cstdint>

#include "host/ui_host.h"

namespace korvel {

class TMonitorPage;
class TAdvancedViewForm;

// Data: the received block (identifier first); Size: its length plus the two check bytes.
// A block too short for the report is ignored with a trace line, so no field shows stale bytes.
void ShowRealtimeReport(const uint8_t* Data, int32_t Size, TMonitorPage& page, TAdvancedViewForm& view,
                        UiHost& host);

}  // namespace korvel
