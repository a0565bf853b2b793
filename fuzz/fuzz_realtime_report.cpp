// A real-time report from the wire: any bytes decode without reading past the block's first 112,
// a short block gives nothing, and every report sets the same fields in the same order.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "messages/realtime_report.h"

using namespace korvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto values = DecodeRealtimeReport(data, size);
    if (size < REALTIME_REPORT_SIZE) {
        if (!values.empty()) std::abort();
        return 0;
    }
    static const std::vector<uint8_t> zeros(REALTIME_REPORT_SIZE, 0);
    static const auto shape = DecodeRealtimeReport(zeros.data(), zeros.size());
    if (values.size() != shape.size() || values.empty()) std::abort();
    // Bytes past the report's layout change nothing.
    const auto head = DecodeRealtimeReport(data, REALTIME_REPORT_SIZE);
    for (size_t i = 0; i < values.size(); ++i) {
        const TReportValue& v = values[i];
        if (v.Target != shape[i].Target || v.ValueKind != shape[i].ValueKind) std::abort();
        if (!std::isfinite(v.Number) || v.Index < -32768 || v.Index > 65535) std::abort();
        if (v.Number != head[i].Number || v.Index != head[i].Index || v.Checked != head[i].Checked) std::abort();
    }
    return 0;
}
