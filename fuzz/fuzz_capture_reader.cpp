// Capture files come from a customer's laptop by mail: whatever their bytes, the reader must
// refuse them whole or read them, and what it read must write and read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "capture/block_meaning.h"
#include "capture/pcapng.h"
#include "capture/traffic_log.h"
#include "capture/wire_splitter.h"

using namespace korvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TCaptureReadResult r = ReadCapture({data, size});
    if (!r.Ok()) {
        if (!r.Packets.empty() || !r.Interfaces.empty()) std::abort();
        return 0;
    }
    for (const TCapturePacket& p : r.Packets) {
        if (p.Interface >= r.Interfaces.size() || p.TimeUs < 0) std::abort();
        if (p.Kind == TPacketKind::Block || p.Kind == TPacketKind::BadCheck) (void)DescribeBlock(UnframeWire(p.Wire), ',');
    }
    TTrafficLog log;
    log.Load(r.Interfaces, r.Packets);
    const std::string again = log.Encode("fuzz");
    const TCaptureReadResult back = ReadCapture({reinterpret_cast<const uint8_t*>(again.data()), again.size()});
    if (!back.Ok() || back.Interfaces != r.Interfaces || back.Packets.size() != r.Packets.size()) std::abort();
    for (size_t i = 0; i < r.Packets.size(); ++i) {
        const TCapturePacket& a = r.Packets[i];
        const TCapturePacket& b = back.Packets[i];
        if (a.TimeUs != b.TimeUs || a.Direction != b.Direction || a.Kind != b.Kind || a.Interface != b.Interface ||
            a.Wire != b.Wire)
            std::abort();
    }
    return 0;
}
