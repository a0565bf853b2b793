#include "messages/realtime_report_view.h"

#include "messages/advanced_view_form.h"
#include "messages/monitor_page.h"
#include "messages/realtime_report.h"

namespace korvel {

void ShowRealtimeReport(const uint8_t* Data, int32_t Size, TMonitorPage& page, TAdvancedViewForm& view,
                        UiHost& host) {
    (void)Data;
    (void)Size;
    (void)page;
    (void)view;
    (void)host;
}

}  // namespace korvel
