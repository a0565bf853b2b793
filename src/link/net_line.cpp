#include "link/net_line.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "host/text_format.h"
#include "link/net_address.h"
#include "link/net_socket.h"
#include "link/rfc2217_session.h"

namespace korvel {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// What to check when the line cannot be had; the first placeholder is the address.
constexpr const char* kAdviceUnknownHost =
    "De naam %s is niet te vinden: controleer hoe de naam geschreven is en of deze computer het netwerk bereikt.";
constexpr const char* kAdviceRefused =
    "Op %s luistert geen server: controleer het poortnummer en of de seriële server (bijvoorbeeld ser2net) daar draait.";
constexpr const char* kAdviceTimedOut =
    "%s antwoordt niet binnen %s s: controleer of de server aan staat en of het netwerk hem bereikt (VPN, firewall).";
constexpr const char* kAdviceUnreachable =
    "%s is vanaf deze computer niet bereikbaar: controleer de netwerkverbinding, de VPN en het adres.";
constexpr const char* kAdviceClosedAtOnce =
    "%s heeft de verbinding meteen weer verbroken%s: controleer of de seriële poort van de server vrij is "
    "(niet in gebruik door een ander programma) en hoe de server is ingesteld.";
constexpr const char* kAdviceNoRfc2217 =
    "%s weigert de telnet-optie %s: de server spreekt zo geen RFC 2217. Stel hem in als telnet(rfc2217), of gebruik "
    "tcp:// als de server de lijn zelf instelt.";
constexpr const char* kAdviceNoTelnet =
    "%s antwoordt niet als telnet-server met RFC 2217: stel de server in als telnet(rfc2217), of gebruik tcp:// als "
    "de server de lijn zelf instelt.";
constexpr const char* kAdviceLineDiffers =
    "De server op %s zet de lijn anders dan gevraagd: %s. Stel de seriële poort van de server in op %s.";
constexpr const char* kAdviceLineUnanswered =
    "De server op %s bevestigt de instellingen van de lijn niet: controleer of de server RFC 2217 volledig "
    "ondersteunt, of gebruik tcp://.";

// Said after the usual words for a lost line.
// A server that ends (or is ended) closes or resets its connections, whichever it had unread.
constexpr const char* kLossClosed =
    "De server op %s heeft de verbinding verbroken: controleer of de seriële server daar nog draait en het bord "
    "aangesloten is, en maak opnieuw verbinding.";
constexpr const char* kLossSilent =
    "%s antwoordt niet meer: controleer het netwerk (VPN, wifi) en of de server aan staat, en maak opnieuw "
    "verbinding.";
constexpr const char* kLossOption =
    "De server op %s heeft de telnet-optie %s uitgezet, waarmee de gegevens niet meer ongeschonden overkomen: "
    "controleer hoe de server is ingesteld en maak opnieuw verbinding.";
constexpr const char* kLossSuspended =
    "De server op %s heeft het sturen naar het bord stilgezet (FLOWCONTROL-SUSPEND) en na 10 s nog niet "
    "hervat: controleer de flow control van de seriële poort van de server en maak opnieuw verbinding.";
constexpr const char* kLossFlood =
    "De server op %s stuurt telnet-opdrachten zonder einde en neemt de antwoorden niet af: controleer of daar "
    "werkelijk een seriële server (bijvoorbeeld ser2net) luistert, en maak opnieuw verbinding.";

// A write that the server takes nothing of for this long has lost its line, whatever the
// write time-outs: an unlimited write must not hang the window on a stuck server.
constexpr milliseconds kStuckWrite{10000};
constexpr std::size_t kMaxQueued = 1 << 20;  // received, not yet read: the socket waits beyond it
// What one pull takes from the socket at most, data and commands alike: a server that floods
// cannot hold the caller, whose time limits (and Ctrl+C) are looked at between pulls.
constexpr std::size_t kPullBytes = 64 * 1024;
// Answers a good server takes within moments: a few dozen bytes. Beyond this the server is not
// reading them, or draws them out without end.
constexpr std::size_t kMaxOwed = 16 * 1024;
constexpr std::size_t kHeardBytes = 256;

struct ValueName {
    uint32_t value;
    const char* name;
};
constexpr ValueName kParityNames[] = {
    {1, "geen pariteit"}, {2, "oneven pariteit"}, {3, "even pariteit"}, {4, "mark-pariteit"}, {5, "space-pariteit"}};
constexpr ValueName kStopNames[] = {{1, "1 stopbit"}, {2, "2 stopbits"}, {3, "1,5 stopbit"}};
constexpr ValueName kFlowNames[] = {{1, "geen flow control"},      {2, "XON/XOFF"},
                                    {3, "RTS/CTS"},                {17, "DCD-flow control"},
                                    {19, "DSR-flow control"},      {14, "geen inkomende flow control"},
                                    {15, "inkomend XON/XOFF"},     {16, "inkomend RTS/CTS"},
                                    {18, "inkomend DTR-flow control"}};

template <std::size_t N>
std::string NameOf(const ValueName (&names)[N], uint32_t value) {
    for (const ValueName& n : names)
        if (n.value == value) return n.name;
    return "waarde " + std::to_string(value);
}

std::string ItemText(std::size_t item, uint32_t value) {
    switch (item) {
        case liBaudRate: return std::to_string(value) + " baud";
        case liDataSize: return std::to_string(value) + " databits";
        case liParity: return NameOf(kParityNames, value);
        case liStopSize: return NameOf(kStopNames, value);
        default: return NameOf(kFlowNames, value);
    }
}

std::string OptionName(uint8_t option) { return option == telnet::OptComPort ? "COM-PORT-OPTION" : "BINARY"; }

// What a server said as text before it let go, for the message: ", met de melding "...""
std::string ServerSaid(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (const uint8_t b : bytes) {
        if (b >= 32 && b < 127) text += static_cast<char>(b);
        else if ((b == '\r' || b == '\n') && !text.empty() && text.back() != ' ') text += ' ';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text.empty() ? std::string() : ", met de melding \"" + text + "\"";
}

IoResult Gone(int code) { return IoResult{-1, code != 0 ? code : -1, true}; }

}  // namespace

struct NetSerialDevice::OpenJob {
    NetSocket socket;
    std::mutex m;
    bool done = false;
    bool ok = false;
    NetError error;
};

struct NetSerialDevice::Impl {
    std::string name;  // the address as the tool writes it
    std::shared_ptr<OpenJob> conn;     // the connection, once made
    std::shared_ptr<OpenJob> opening;  // under job_: the connect in progress
    TRfc2217Session session;
    bool telnet = true;
    std::vector<uint8_t> rx;
    std::size_t rxHead = 0;
    std::vector<uint8_t> heard;  // raw TCP: the first bytes, for messages
    NetError lost;               // kind None while the line is up
    uint8_t lostOption = 0xFF;
    enum class TCause : uint8_t { Network, Suspended, Flood } cause = TCause::Network;
    Clock::time_point purgeUntil;  // an unanswered purge is given up then
    SerialTimeouts timeouts;
    std::vector<uint8_t> replies;  // under replies_

    std::size_t Queued() const { return rx.size() - rxHead; }
    void Lose(const NetError& e, TCause why = TCause::Network) {
        if (lost.kind != TNetFailure::None) return;
        lost = e;
        cause = why;
    }
    // Under state_ (and lock_ shared): takes what the socket holds, at most kPullBytes. Answers
    // owed go to `owed`.
    void Pull(std::vector<uint8_t>& owed) {
        if (!conn) return;
        if (session.PurgePending() && Clock::now() > purgeUntil) session.ForgetPurge();
        uint8_t buf[4096];
        for (std::size_t taken = 0; lost.kind == TNetFailure::None && Queued() < kMaxQueued && taken < kPullBytes;) {
            NetError e;
            const int64_t n = conn->socket.Receive(buf, sizeof buf, e);
            if (n < 0) Lose(e);
            if (n <= 0) break;
            const auto count = static_cast<std::size_t>(n);
            taken += count;
            if (!telnet) {
                rx.insert(rx.end(), buf, buf + count);
                heard.insert(heard.end(), buf, buf + std::min(count, kHeardBytes - std::min(heard.size(), kHeardBytes)));
                continue;
            }
            const bool wasReady = session.State() == TRfc2217Session::TState::Ready;
            session.Receive(buf, count, rx, owed);
            if (wasReady && session.State() == TRfc2217Session::TState::Refused) {
                lostOption = session.RefusedOption();
                Lose(NetError{TNetFailure::Other, 0, "telnet option withdrawn by the server"});
            }
        }
        if (rxHead > 0 && (rxHead == rx.size() || rxHead > 65536)) {
            rx.erase(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(rxHead));
            rxHead = 0;
        }
    }
};

NetSerialDevice::NetSerialDevice(WaitFn wait, NetLineLimits limits, std::function<bool()> stop)
    : wait_(std::move(wait)), limits_(limits), stop_(std::move(stop)), d(std::make_unique<Impl>()) {}

NetSerialDevice::~NetSerialDevice() { Close(); }

void NetSerialDevice::Fail(DeviceError& error, const std::string& text, const std::string& advice) {
    error = DeviceError{0, text, TOpenFailure::Other, advice};
}

bool NetSerialDevice::Open(const std::string& address, DeviceError& error) {
    Close();
    cancelOpen_ = false;
    std::string problem;
    const std::optional<TNetAddress> parsed = ParseNetAddress(address, &problem);
    if (!parsed) {
        Fail(error, "invalid network address", problem);
        return false;
    }
    {
        std::unique_lock lock(lock_);
        std::lock_guard state(state_);
        d->name = NetAddressText(*parsed);
        d->telnet = parsed->Protocol == TNetProtocol::Rfc2217;
        d->session = TRfc2217Session{};
        d->rx.clear();
        d->rxHead = 0;
        d->heard.clear();
        d->lost = NetError{};
        d->lostOption = 0xFF;
    }
    const std::string name = d->name;

    // The look-up and the connect block: a worker does them while this thread waits its way.
    auto job = std::make_shared<OpenJob>();
    {
        std::lock_guard j(job_);
        d->opening = job;
    }
    std::thread worker([job, host = parsed->Host, port = parsed->Port, ms = limits_.connectMs] {
        NetError e;
        const bool ok = job->socket.Connect(host, port, ms, e);
        std::lock_guard lock(job->m);
        job->ok = ok;
        job->error = e;
        job->done = true;
    });
    const auto done = [&] {
        std::lock_guard lock(job->m);
        return job->done;
    };
    const auto pause = [this](uint32_t ms) {
        if (wait_) wait_(ms);
        else std::this_thread::sleep_for(milliseconds(ms));
    };
    // The look-up has no time limit of its own; the connect as a whole gets one here.
    const auto deadline = Clock::now() + milliseconds(limits_.connectMs + 500);
    while (!done() && !cancelOpen_ && Clock::now() < deadline) pause(10);
    if (!done()) {
        job->socket.Cancel();
        for (const auto grace = Clock::now() + milliseconds(200); !done() && Clock::now() < grace;) pause(10);
    }
    {
        std::lock_guard j(job_);
        d->opening.reset();
    }
    if (!done()) {
        // Still inside the system's name look-up, which nothing can interrupt: it ends on its
        // own, and the job it holds closes whatever it got.
        worker.detach();
    } else {
        worker.join();
    }
    if (cancelOpen_) {
        error = DeviceError{0, "cancelled", TOpenFailure::Cancelled, {}};
        return false;
    }
    NetError failure;
    {
        std::lock_guard lock(job->m);
        failure = job->done ? job->error : NetError{TNetFailure::TimedOut, 0, "no answer"};
        if (job->done && job->ok) failure = NetError{};
    }
    const std::string seconds = std::to_string((limits_.connectMs + 999) / 1000);
    switch (failure.kind) {
        case TNetFailure::None: break;
        case TNetFailure::UnknownHost: Fail(error, failure.text, FormatText(kAdviceUnknownHost, {parsed->Host})); return false;
        case TNetFailure::Refused: Fail(error, failure.text, FormatText(kAdviceRefused, {name})); return false;
        case TNetFailure::TimedOut: Fail(error, failure.text, FormatText(kAdviceTimedOut, {name, seconds})); return false;
        case TNetFailure::Unreachable: Fail(error, failure.text, FormatText(kAdviceUnreachable, {name})); return false;
        default: Fail(error, failure.text, FormatText(kAdviceClosedAtOnce, {name, ""})); return false;
    }
    {
        std::unique_lock lock(lock_);
        if (cancelOpen_) {
            error = DeviceError{0, "cancelled", TOpenFailure::Cancelled, {}};
            return false;
        }
        d->conn = job;
    }
    if (!Negotiate(error)) {
        Close();
        return false;
    }
    return true;
}

bool NetSerialDevice::Negotiate(DeviceError& error) {
    const std::string name = d->name;
    if (!d->telnet) {
        // Nothing to agree on; a server that will not give the line closes at once.
        WaitFor([] { return false; }, limits_.closeGraceMs);
    } else {
        std::vector<uint8_t> start;
        {
            std::lock_guard state(state_);
            start = d->session.Start();
        }
        {
            std::shared_lock lock(lock_);
            SendRaw(start);
        }
        WaitFor([this] {
            std::lock_guard state(state_);
            return d->session.State() != TRfc2217Session::TState::Negotiating;
        }, limits_.answerMs);
    }
    std::lock_guard state(state_);
    if (cancelOpen_) {
        error = DeviceError{0, "cancelled", TOpenFailure::Cancelled, {}};
        return false;
    }
    if (d->lost.kind != TNetFailure::None) {
        const std::string said = ServerSaid(d->telnet ? d->session.HeldData() : d->heard);
        Fail(error, d->lost.text, d->cause == Impl::TCause::Flood ? FormatText(kLossFlood, {name})
                                                                   : FormatText(kAdviceClosedAtOnce, {name, said}));
        return false;
    }
    if (!d->telnet) return true;
    switch (d->session.State()) {
        case TRfc2217Session::TState::Ready: return true;
        case TRfc2217Session::TState::Refused:
            Fail(error, "telnet option refused by the server",
                 FormatText(kAdviceNoRfc2217, {name, OptionName(d->session.RefusedOption())}));
            return false;
        case TRfc2217Session::TState::Negotiating: break;
    }
    Fail(error, "no telnet negotiation from the server", FormatText(kAdviceNoTelnet, {name}));
    return false;
}

void NetSerialDevice::PullNow() {
    std::shared_lock lock(lock_);
    if (!d->conn) return;
    std::vector<uint8_t> owed;
    bool data;
    {
        std::lock_guard state(state_);
        const std::size_t before = d->Queued();
        d->Pull(owed);
        data = d->Queued() > before;
    }
    Owe(owed.data(), owed.size(), false);
    FlushReplies();
    // Taken here, not by the receive thread: wake it so it sees the data now.
    if (data) d->conn->socket.Interrupt();
}

bool NetSerialDevice::WaitFor(const std::function<bool()>& done, uint32_t timeoutMs) {
    const auto deadline = Clock::now() + milliseconds(timeoutMs);
    for (;;) {
        PullNow();
        if (done()) return true;
        {
            std::lock_guard state(state_);
            if (d->lost.kind != TNetFailure::None) return false;
        }
        const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
        if (cancelOpen_ || left <= 0) return false;
        if (wait_) wait_(0);
        std::shared_lock lock(lock_);
        if (!d->conn) return false;
        d->conn->socket.WaitReadable(static_cast<uint32_t>(std::min<int64_t>(left, wait_ ? 10 : 100)));
    }
}

void NetSerialDevice::Owe(const uint8_t* bytes, std::size_t size, bool front) {
    // Never with state_ held.
    if (size == 0) return;
    bool flooded;
    {
        std::lock_guard r(replies_);
        d->replies.insert(front ? d->replies.begin() : d->replies.end(), bytes, bytes + size);
        flooded = d->replies.size() > kMaxOwed;
        if (flooded) d->replies.clear();
    }
    if (!flooded) return;
    std::lock_guard state(state_);
    d->Lose(NetError{TNetFailure::Other, 0, "the server takes no telnet answers"}, Impl::TCause::Flood);
}

void NetSerialDevice::FlushReplies() {
    // Under lock_ shared, never with state_ held. Sends what the socket takes now and keeps the
    // rest: a server that does not read must not hold the caller.
    std::unique_lock w(write_, std::try_to_lock);
    if (!w.owns_lock() || !d->conn) return;  // the sender that has it sends them first
    std::vector<uint8_t> owed;
    {
        std::lock_guard r(replies_);
        owed.swap(d->replies);
    }
    std::size_t sent = 0;
    while (sent < owed.size()) {
        NetError e;
        const int64_t n = d->conn->socket.Send(owed.data() + sent, owed.size() - sent, e);
        if (n < 0) {
            std::lock_guard state(state_);
            d->Lose(e);
            return;
        }
        if (n == 0) break;
        sent += static_cast<std::size_t>(n);
    }
    Owe(owed.data() + sent, owed.size() - sent, true);
}

bool NetSerialDevice::SendOwed() {
    // Under lock_ shared and write_. What is cut short stays owed, first.
    std::vector<uint8_t> owed;
    {
        std::lock_guard r(replies_);
        owed.swap(d->replies);
    }
    std::size_t sent = 0;
    const bool ok = SendAll(owed, sent);
    Owe(owed.data() + sent, owed.size() - sent, true);
    return ok;
}

bool NetSerialDevice::SendRaw(const std::vector<uint8_t>& bytes) {
    // Under lock_ shared. A command cut short by the write time-outs is finished before anything
    // else goes: the server must never see half a command.
    std::lock_guard w(write_);
    if (!SendOwed()) return false;
    std::size_t sent = 0;
    const bool ok = SendAll(bytes, sent);
    Owe(bytes.data() + sent, bytes.size() - sent, true);
    return ok;
}

bool NetSerialDevice::SendAll(const std::vector<uint8_t>& bytes, std::size_t& sent) {
    // Under lock_ shared and write_.
    if (!d->conn) return false;
    SerialTimeouts t;
    {
        std::lock_guard state(state_);
        t = d->timeouts;
    }
    const auto start = Clock::now();
    const uint64_t limitMs = uint64_t{t.WriteTotalTimeoutMultiplier} * bytes.size() + t.WriteTotalTimeoutConstant;
    auto lastProgress = start;
    while (sent < bytes.size()) {
        if (closing_ || (stop_ && stop_())) return false;
        bool suspended;
        {
            std::lock_guard state(state_);
            if (d->lost.kind != TNetFailure::None) return false;
            suspended = d->session.SendingSuspended();
        }
        NetError e;
        const int64_t n = suspended ? 0 : d->conn->socket.Send(bytes.data() + sent, bytes.size() - sent, e);
        const auto now = Clock::now();
        if (n < 0) {
            std::lock_guard state(state_);
            d->Lose(e);
            return false;
        }
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            lastProgress = now;
            continue;
        }
        if (limitMs > 0 && now - start >= milliseconds(limitMs)) return false;
        if (now - lastProgress >= kStuckWrite) {
            std::lock_guard state(state_);
            if (suspended)
                d->Lose(NetError{TNetFailure::Other, 0, "sending suspended by the server"}, Impl::TCause::Suspended);
            else
                d->Lose(NetError{TNetFailure::TimedOut, 0, "the server takes no data"});
            return false;
        }
        // Nothing went: take in what the server says meanwhile, in case no receive thread does: the
        // word that ends a pause, or commands whose answers pile up unread.
        std::vector<uint8_t> owed;
        {
            std::lock_guard state(state_);
            d->Pull(owed);
        }
        Owe(owed.data(), owed.size(), false);
        d->conn->socket.WaitWritable(20);
    }
    return true;
}

void NetSerialDevice::Close() {
    closing_ = true;
    cancelOpen_ = true;
    {
        std::lock_guard j(job_);
        if (d->opening) d->opening->socket.Cancel();
    }
    {
        std::shared_lock lock(lock_);
        if (d->conn) d->conn->socket.Interrupt();
    }
    std::unique_lock lock(lock_);
    if (d->conn) d->conn->socket.Close();
    d->conn.reset();
    {
        // The loss stays: it is asked for once the line has gone.
        std::lock_guard state(state_);
        d->rx.clear();
        d->rxHead = 0;
        d->session = TRfc2217Session{};
    }
    {
        std::lock_guard r(replies_);
        d->replies.clear();
    }
    closing_ = false;
}

bool NetSerialDevice::IsOpen() const {
    std::shared_lock lock(lock_);
    return d->conn != nullptr;
}

bool NetSerialDevice::Configure(const LineSettings& settings, DeviceError& error) {
    const TLineValues asked = ComPortLineValues(settings);
    std::vector<uint8_t> request;
    std::string name;
    {
        std::shared_lock lock(lock_);
        if (!d->conn) {
            Fail(error, "not open", {});
            return false;
        }
        {
            std::lock_guard state(state_);
            if (!d->telnet) return true;  // the server owns the line
            name = d->name;
            request = d->session.RequestLine(asked);
            const auto add = [&](uint8_t value) {
                const std::vector<uint8_t> c = d->session.Control(value);
                request.insert(request.end(), c.begin(), c.end());
            };
            add(settings.EnableDTROnOpen ? comport::DtrOn : comport::DtrOff);
            if (settings.HwFlowControl != hfRTSCTS) add(settings.EnableRTSOnOpen ? comport::RtsOn : comport::RtsOff);
        }
        SendRaw(request);
    }
    const bool answered = WaitFor([this] {
        std::lock_guard state(state_);
        return d->session.LineAnswered();
    }, limits_.answerMs);
    std::lock_guard state(state_);
    if (!answered) {
        if (cancelOpen_) error = DeviceError{0, "cancelled", TOpenFailure::Cancelled, {}};
        else if (d->lost.kind != TNetFailure::None)
            Fail(error, d->lost.text,
                 d->cause == Impl::TCause::Flood ? FormatText(kLossFlood, {name})
                                                 : FormatText(kAdviceClosedAtOnce, {name, ServerSaid(d->session.HeldData())}));
        else
            Fail(error, "line settings not confirmed by the server", FormatText(kAdviceLineUnanswered, {name}));
        return false;
    }
    std::string differences, wanted;
    const TLineAnswers& got = d->session.Answers();
    for (std::size_t i = 0; i < liItemCount; ++i) {
        if (i != liFlowIn) wanted += (wanted.empty() ? "" : ", ") + ItemText(i, asked[i]);
        if (!got[i] || *got[i] == asked[i]) continue;
        differences += (differences.empty() ? "" : ", ") + ItemText(i, *got[i]) + " in plaats van " + ItemText(i, asked[i]);
    }
    if (differences.empty()) return true;
    Fail(error, "line settings answered differently: " + differences,
         FormatText(kAdviceLineDiffers, {name, differences, wanted}));
    return false;
}

bool NetSerialDevice::SetTimeouts(const SerialTimeouts& timeouts) {
    std::lock_guard state(state_);
    d->timeouts = timeouts;
    return true;
}

bool NetSerialDevice::SetQueueSizes(uint32_t, uint32_t) { return IsOpen(); }

IoResult NetSerialDevice::WaitingCount() {
    std::shared_lock lock(lock_);
    if (!d->conn || closing_) return Gone(0);
    std::vector<uint8_t> owed;
    IoResult r;
    {
        std::lock_guard state(state_);
        d->Pull(owed);
        r = IoResult{static_cast<int64_t>(d->Queued()), 0, false};
        if (r.count == 0 && d->lost.kind != TNetFailure::None) r = Gone(d->lost.code);
    }
    Owe(owed.data(), owed.size(), false);
    FlushReplies();
    return r;
}

IoResult NetSerialDevice::Read(uint8_t* buffer, std::size_t size) {
    std::shared_lock lock(lock_);
    if (!d->conn || closing_) return Gone(0);
    std::lock_guard state(state_);
    const std::size_t n = std::min(size, d->Queued());
    std::copy_n(d->rx.begin() + static_cast<std::ptrdiff_t>(d->rxHead), n, buffer);
    d->rxHead += n;
    return IoResult{static_cast<int64_t>(n), 0, false};
}

IoResult NetSerialDevice::Write(const uint8_t* buffer, std::size_t size) {
    std::shared_lock lock(lock_);
    if (!d->conn) return Gone(0);
    std::vector<uint8_t> out;
    bool telnet;
    {
        std::lock_guard state(state_);
        if (d->lost.kind != TNetFailure::None) return Gone(d->lost.code);
        telnet = d->telnet;
        if (telnet) d->session.AppendData(out, buffer, size);
        else out.assign(buffer, buffer + size);
    }
    std::lock_guard w(write_);
    std::size_t sent = 0;
    if (SendOwed() && SendAll(out, sent)) return IoResult{static_cast<int64_t>(size), 0, false};
    std::vector<uint8_t> tail;
    std::size_t written = sent;
    {
        std::lock_guard state(state_);
        if (d->lost.kind != TNetFailure::None || closing_) return Gone(d->lost.code);
        // Cut short by the write time-outs: a byte whose escape began to go counts as written,
        // and the rest of its escape goes before anything else, so the stream stays whole.
        if (telnet) {
            std::vector<uint8_t> one;
            written = 0;
            for (std::size_t at = 0; written < size && at < sent; ++written) {
                one.clear();
                d->session.AppendData(one, buffer + written, 1);
                at += one.size();
                if (at > sent) tail.assign(one.end() - static_cast<std::ptrdiff_t>(at - sent), one.end());
            }
        }
    }
    Owe(tail.data(), tail.size(), true);
    return IoResult{static_cast<int64_t>(written), 0, false};
}

SerialLine::Wait NetSerialDevice::WaitForInput(uint32_t timeoutMs) {
    std::shared_lock lock(lock_);
    if (!d->conn || closing_) return Wait::Interrupted;
    {
        std::lock_guard state(state_);
        if (d->Queued() > 0) return Wait::Ready;
        if (d->lost.kind != TNetFailure::None) return Wait::HangUp;
    }
    switch (d->conn->socket.WaitReadable(timeoutMs)) {
        case NetSocket::Ready::Yes: return Wait::Ready;
        case NetSocket::Ready::Interrupted: return Wait::Interrupted;
        case NetSocket::Ready::Timeout: break;
    }
    return Wait::Timeout;
}

void NetSerialDevice::Interrupt() {
    std::shared_lock lock(lock_);
    if (d->conn) d->conn->socket.Interrupt();
}

bool NetSerialDevice::ModemStatus(uint8_t& lines) {
    lines = 0;
    std::lock_guard state(state_);
    const std::optional<uint8_t> m = d->telnet ? d->session.ModemState() : std::nullopt;
    if (!m) return false;
    if (*m & 0x10) lines |= mlCTS;
    if (*m & 0x20) lines |= mlDSR;
    if (*m & 0x40) lines |= mlRING;
    if (*m & 0x80) lines |= mlCD;
    return true;
}

bool NetSerialDevice::Purge(bool input, bool output) {
    std::shared_lock lock(lock_);
    if (!d->conn || (!input && !output)) return false;
    std::vector<uint8_t> request, owed;
    {
        std::lock_guard state(state_);
        if (input) {
            d->Pull(owed);
            d->rx.clear();
            d->rxHead = 0;
        }
        if (d->telnet) {
            request = d->session.Purge(input, output);
            d->purgeUntil = Clock::now() + milliseconds(limits_.answerMs);
        }
    }
    Owe(owed.data(), owed.size(), false);
    return request.empty() || SendRaw(request);  // raw TCP: only what reached us can go
}

bool NetSerialDevice::SendControl(uint8_t value) {
    std::shared_lock lock(lock_);
    std::vector<uint8_t> request;
    {
        std::lock_guard state(state_);
        if (!d->conn || !d->telnet) return false;
        request = d->session.Control(value);
    }
    return SendRaw(request);
}

bool NetSerialDevice::SetBreak(bool on) { return SendControl(on ? comport::BreakOn : comport::BreakOff); }
bool NetSerialDevice::SetDTR(bool on) { return SendControl(on ? comport::DtrOn : comport::DtrOff); }
bool NetSerialDevice::SetRTS(bool on) { return SendControl(on ? comport::RtsOn : comport::RtsOff); }
bool NetSerialDevice::SetXonXoff(bool) { return false; }  // the server's own flow control has no such call

std::string NetSerialDevice::LossAdvice() const {
    std::lock_guard state(state_);
    switch (d->lost.kind) {
        case TNetFailure::None: return {};
        case TNetFailure::TimedOut:
        case TNetFailure::Unreachable: return FormatText(kLossSilent, {d->name});
        default:
            if (d->cause == Impl::TCause::Suspended) return FormatText(kLossSuspended, {d->name});
            if (d->cause == Impl::TCause::Flood) return FormatText(kLossFlood, {d->name});
            if (d->lostOption != 0xFF) return FormatText(kLossOption, {d->name, OptionName(d->lostOption)});
            return FormatText(kLossClosed, {d->name});
    }
}

}  // namespace korvel
