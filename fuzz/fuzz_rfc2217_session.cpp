// The RFC 2217 session driven a step at a time, as a network serial server and the line drive it:
// bytes from the server in pieces, and the line's own calls in between (the line request, purges,
// controls). Whatever the server sends, the session must stay within its bounds, which the
// network line's flood limits rely on: a few answer bytes at most for each byte received, only
// whole commands as answers, at most 256 bytes held back, no data while a purge is unanswered, and
// never more data handed on than bytes received.
//
// Each step is one byte: its low three bits choose the step, the rest its size or value.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "link/rfc2217_session.h"
#include "link/telnet_codec.h"
#include "telnet_checks.h"

using namespace korvel;
using korvel::fuzz::CommandsOnly;
using Bytes = std::vector<uint8_t>;

namespace {

// The largest answer to a few bytes: our signature asked for with an empty SIGNATURE command.
constexpr std::size_t kAnswerSlack = 64;

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    TRfc2217Session session;
    Bytes data, reply, sent = session.Start();
    std::size_t received = 0;
    for (std::size_t i = 0; i < size;) {
        const uint8_t step = input[i++];
        const uint8_t arg = static_cast<uint8_t>(step >> 3);
        switch (step & 7) {
            default: {  // 0..4: from the server, 1..32 bytes
                const std::size_t n = std::min<std::size_t>(size - i, arg + 1u);
                const bool purging = session.PurgePending();
                const std::size_t dataBefore = data.size();
                session.Receive(input + i, n, data, reply);
                i += n;
                received += n;
                if (purging && session.PurgePending()) Check(data.size() == dataBefore);
                break;
            }
            case 5: {
                LineSettings s;
                s.BaudRate = 9600 << (arg & 3);
                s.StopBits = arg % 3;
                s.HwFlowControl = static_cast<THwFlowControl>((arg >> 2) % 3);
                sent = session.RequestLine(ComPortLineValues(s));
                break;
            }
            case 6: sent = session.Purge(arg & 1, arg & 2); break;
            case 7:
                if (arg & 1) session.ForgetPurge();
                sent = session.Control(arg);
                break;
        }
        CommandsOnly(sent);
        Check(reply.size() <= 4 * received + kAnswerSlack);
        Check(data.size() <= received);
        Check(session.HeldData().size() <= 256);
    }
    CommandsOnly(reply);
    return 0;
}
