// Bytes from a network serial server into the RFC 2217 session: it must never read or write
// outside its buffers, must answer with well-formed commands only, and must give the same data and
// the same answers however the stream is cut into reads. Data the tool sends must come back
// whole through the decoder. The first byte chooses the cuts.
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

struct Run {
    TRfc2217Session session;
    Bytes data, reply;
    Run() {
        session.Start();
        LineSettings s;
        s.BaudRate = 9600;
        s.StopBits = 2;
        session.RequestLine(ComPortLineValues(s));
    }
};


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    if (size == 0) return 0;
    const uint8_t* stream = input + 1;
    const size_t n = size - 1;

    Run whole;
    whole.session.Receive(stream, n, whole.data, whole.reply);
    Run cut;
    uint32_t seed = input[0] | 1u;
    for (size_t done = 0; done < n;) {
        seed = seed * 1103515245u + 12345u;
        const size_t piece = std::min<size_t>(n - done, 1 + (seed >> 16) % 7);
        cut.session.Receive(stream + done, piece, cut.data, cut.reply);
        done += piece;
    }
    if (whole.data != cut.data || whole.reply != cut.reply || whole.session.State() != cut.session.State() ||
        whole.session.Answers() != cut.session.Answers() || whole.session.ModemState() != cut.session.ModemState())
        std::abort();
    CommandsOnly(whole.reply);
    CommandsOnly(whole.session.Control(input[0]));
    CommandsOnly(whole.session.Purge(input[0] & 1, input[0] & 2));

    // What the tool sends, escaped, decodes to itself, in BINARY and outside it.
    for (const bool binary : {true, false}) {
        Bytes sent;
        telnet::AppendData(sent, stream, n, binary);
        telnet::Decoder dec;
        Bytes back;
        std::vector<telnet::Command> commands;
        dec.Feed(sent.data(), sent.size(), binary, back, commands);
        if (!commands.empty() || back != Bytes(stream, stream + n)) std::abort();
    }
    return 0;
}
