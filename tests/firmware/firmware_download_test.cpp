#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "board_sim.h"
#include "comms/comms_data_module.h"
#include "comms/flash_image.h"
#include "firmware/srecord_text.h"
#include "support/fake_ui_host.h"
#include "support/ser2net_server.h"

namespace korvel::test {
bool operator==(const ShownBox& a, const ShownBox& b) {
    return a.type == b.type && a.text == b.text && a.buttons == b.buttons;
}
void PrintTo(const ShownBox& b, std::ostream* os) { *os << static_cast<int>(b.type) << " \"" << b.text << "\""; }
}  // namespace korvel::test

using namespace korvel;
using korvel::test::FakeUiHost;
using korvel::test::S1;
using korvel::test::ShownBox;

namespace {

namespace fs = std::filesystem;

const std::string kData = KORVEL_TEST_DATA "/firmware/";
const std::vector<uint8_t> kStartBlock = {0xA3, 'K', 'I', 'C', 'K', 'O', 'F', 'F'};
constexpr uint32_t kChunks = 480;

struct ProgressEvent {
    uint32_t progress, max;
    bool error;
    std::string status;
    bool operator==(const ProgressEvent&) const = default;
};

std::vector<uint8_t> ExpectedImage(const std::string& file) {
    TFlashImage img;
    img.ReadHexFile(file);
    std::vector<uint8_t> out;
    for (uint32_t a = 0x8800; a <= 0xFFFF; ++a) out.push_back(img.GetMemory(a));
    return out;
}

std::string TempFile(const std::string& name, const std::string& text) {
    const fs::path p = fs::temp_directory_path() / ("korvel_fw_" + std::to_string(::getpid()) + "_" + name);
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
}

sim::BoardSimOptions Board(bool silent) {
    sim::BoardSimOptions o;
    o.program = true;  // its loader answers only then
    o.reportMs = 0;
    o.silent = silent;
    return o;
}

// The module connected to the stand-in. With a silent stand-in the test plays the board's side
// of the loader dialogue itself, handing characters to the module as the port would; the
// stand-in still records what reached it.
struct Rig {
    explicit Rig(FakeUiHost::Clock clock = FakeUiHost::Clock::Fake, bool silent = true)
        : host(clock), board(Board(silent)), m(host) {
        m.OnProgress = [this](TCommsDataModule*, uint32_t p, uint32_t max, bool err, const std::string& s, bool&) {
            progress.push_back({p, max, err, s});
            flashingSeen.push_back(m.FlashingFirmware());
            if (onProgress) onProgress(s, p);
        };
    }
    void Connect() {
        m.ZylSerialPort.SetCustomPortName(board.Start());
        m.ZylSerialPort.SetPort(spCustom);
        m.Connect();
        ASSERT_EQ(m.ConnectionState(), csConnected);
    }
    // Through Debian's ser2net in front of the stand-in's pty.
    void ConnectThrough(test::Ser2net::Mode mode) {
        server = std::make_unique<test::Ser2net>(board.Start(), mode);
        m.ZylSerialPort.SetCustomPortName(server->Address());
        m.ZylSerialPort.SetPort(spCustom);
        m.Connect();
        ASSERT_EQ(m.ConnectionState(), csConnected);
    }
    // The board's characters, handed over at the next event pass inside the module's wait.
    void ReceiveLater(const std::string& chars) {
        if (!chars.empty()) host.Post([this, chars] { m.ZylSerialPort.OnReceive(&m.ZylSerialPort, chars); });
    }
    bool BoardGot(uint32_t chunks) {
        return host.PumpUntil([&] { return board.LoaderChunksReceived() >= chunks; }, 10000);
    }

    FakeUiHost host;
    sim::BoardSim board;
    TCommsDataModule m;
    std::vector<ProgressEvent> progress;
    std::vector<bool> flashingSeen;
    std::function<void(const std::string& status, uint32_t progress)> onProgress;
    std::unique_ptr<test::Ser2net> server;
};

const ProgressEvent kCleared{0, 0, false, ""};

ShownBox Confirmation(const std::string& file) {
    return {TMsgDlgType::mtConfirmation, "De firmware van\n" + file + "\nwordt nu verstuurd naar het KORVEL bord.",
            TMsgDlgButtons::mbOKCancel};
}

}  // namespace

TEST(FirmwareDownload, SendsTheWholeLoaderRangeWithProgress) {
    Rig r;
    r.Connect();
    // Each "A" comes amid other characters; the extra "A" of a chunk must not release two.
    r.onProgress = [&](const std::string& status, uint32_t) {
        if (status == "Flashing firmware.") r.ReceiveLater(std::string("\x10\x02zAA\xFF", 6));
    };
    const std::string file = kData + "srec_cat_small.a43";  // 300 bytes and a vector, 0xFF between
    r.m.FlashFirmware(file);

    EXPECT_EQ(r.host.Boxes(), (std::vector<ShownBox>{Confirmation(file), {TMsgDlgType::mtInformation,
                                                                           "Nieuwe firmware staat er in.",
                                                                           TMsgDlgButtons::mbOK}}));

    ASSERT_EQ(r.progress.size(), kChunks + 2);
    EXPECT_EQ(r.progress.front(), (ProgressEvent{0, 0, false, "Flashen van de firmware."}));
    for (uint32_t i = 0; i < kChunks; ++i)
        ASSERT_EQ(r.progress[i + 1], (ProgressEvent{0x8800 + 64 * i, 65536, false, "Flashing firmware."})) << i;
    EXPECT_EQ(r.progress.back(), kCleared);
    EXPECT_FALSE(r.m.FlashingFirmware());
    EXPECT_FALSE(r.flashingSeen.back());

    ASSERT_TRUE(r.BoardGot(kChunks));
    EXPECT_EQ(r.board.LoaderImage(), ExpectedImage(file));
    EXPECT_EQ(r.board.ReceivedBlocks(), std::vector<std::vector<uint8_t>>{kStartBlock});
    EXPECT_TRUE(r.board.LoaderDone());
    EXPECT_EQ(r.m.ConnectionState(), csConnected);
}

// A board that stops answering gets nothing more, and its message says so. Ready characters that
// came before the "X" belong to no chunk; many in one look release one chunk.
TEST(FirmwareDownload, SilentBoardGetsNoMoreChunks) {
    struct Row {
        const char* name;
        const char* readyAtStart;  // handed over during the pause before the "X"
        uint32_t readyAtFirstChunk;
        uint32_t chunks;
    } rows[] = {
        {"never answers", "", 0, 0},
        {"answers before the X", "AAAA", 0, 0},
        {"many ready characters in one look", "", kChunks, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig r;
        r.Connect();
        r.onProgress = [&](const std::string& status, uint32_t address) {
            if (status == "Flashen van de firmware.") r.ReceiveLater(row.readyAtStart);
            if (address == 0x8800) r.ReceiveLater(std::string(row.readyAtFirstChunk, 'A'));
        };
        const uint32_t start = r.host.TickCount();
        r.m.FlashFirmware(kData + "objcopy_small.srec");
        const uint32_t took = r.host.TickCount() - start;
        ASSERT_EQ(r.host.Boxes().size(), 2u);
        EXPECT_EQ(r.host.Boxes()[1].type, TMsgDlgType::mtError);
        EXPECT_EQ(r.host.Boxes()[1].text, "KORVEL bord geeft geen antwoord.");
        EXPECT_EQ(r.host.Boxes()[1].buttons, TMsgDlgButtons::mbOK);
        // The last wait gave the board 1000 old 15.625 ms ticks.
        const uint32_t least = 1000u + 15625u;
        EXPECT_GE(took, least);
        EXPECT_LT(took, least + 200u + 100u * row.chunks);
        ASSERT_EQ(r.progress.size(), row.chunks + 3);
        EXPECT_EQ(r.progress[row.chunks + 1], (ProgressEvent{0x8800 + 64 * row.chunks, 65536, false, "Flashing firmware."}));
        EXPECT_EQ(r.progress.back(), kCleared);

        r.host.PumpUntil([&] { return r.board.LoaderChunksReceived() >= row.chunks; }, 2000);
        r.host.PumpUntil([] { return false; }, 50);
        EXPECT_EQ(r.board.ReceivedBlocks(), std::vector<std::vector<uint8_t>>{kStartBlock});
        EXPECT_TRUE(r.board.InLoader());  // "X" started its chunk phase
        EXPECT_EQ(r.board.LoaderChunksReceived(), row.chunks);
    }
}

TEST(FirmwareDownload, RefusalsSendNothingAndClearTheStrip) {
    const std::string badCheck = TempFile("bad.a43", "S10688001122330A\nS9030000FC\n");
    const std::string past = TempFile("past.a43", S1(0xFFFF, {1, 2}));
    const std::string small = kData + "objcopy_small.srec";
    struct Row {
        const char* name;
        std::string file;
        std::vector<TModalResult> answers;
        bool connect;
        std::vector<ShownBox> boxes;
        const char* error;  // expected exception text part, or nullptr
    } rows[] = {
        {"not a valid firmware file", badCheck, {}, true,
         {{TMsgDlgType::mtError, "Geen geldig firmware bestand.", TMsgDlgButtons::mbOK}}, nullptr},
        {"cancelled at the confirmation", small, {TModalResult::mrCancel}, true, {Confirmation(small)}, nullptr},
        {"file missing", kData + "missing.a43", {}, true, {}, "missing.a43"},
        {"data past the top of memory", past, {}, true, {}, "0xFFFF"},
        {"port not open", small, {}, false, {Confirmation(small)}, "not open"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig r;
        if (row.connect) r.Connect();
        r.host.ScriptAnswers(row.answers);
        try {
            r.m.FlashFirmware(row.file);
            EXPECT_EQ(row.error, nullptr);
        } catch (const std::exception& e) {
            ASSERT_NE(row.error, nullptr) << e.what();
            EXPECT_NE(std::string(e.what()).find(row.error), std::string::npos) << e.what();
        }
        EXPECT_EQ(r.host.Boxes(), row.boxes);
        ASSERT_FALSE(r.progress.empty());
        EXPECT_EQ(r.progress.back(), kCleared);
        EXPECT_FALSE(r.m.FlashingFirmware());
        r.host.PumpUntil([] { return false; }, 50);
        EXPECT_TRUE(r.board.ReceivedBlocks().empty());
        EXPECT_FALSE(r.board.InLoader());
    }
    fs::remove(badCheck);
    fs::remove(past);
}

// Each download starts at 0x8800 on the board, whatever the one before it did: a second session
// once went on from chunk 480, past the end of the stand-in's image.
TEST(FirmwareDownload, EveryDownloadStartsAtTheFirstChunk) {
    struct Row {
        const char* name;
        uint32_t firstChunks;  // chunks the first download gets before it ends
    } rows[] = {
        {"after a complete download", kChunks},
        {"after one abandoned halfway", 100},
    };
    const std::string first = kData + "srec_cat_full.a43";
    const std::string second = kData + "objcopy_small.srec";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig r;
        r.Connect();
        uint32_t release = row.firstChunks;
        r.onProgress = [&](const std::string& status, uint32_t address) {
            if (status == "Flashing firmware." && address < 0x8800 + 64 * release) r.ReceiveLater("A");
        };
        r.m.FlashFirmware(first);
        ASSERT_TRUE(r.BoardGot(row.firstChunks));
        r.host.PumpUntil([] { return false; }, 50);
        ASSERT_EQ(r.board.LoaderChunksReceived(), row.firstChunks);

        release = kChunks;
        r.m.FlashFirmware(second);
        ASSERT_EQ(r.host.Boxes().size(), 4u);
        EXPECT_EQ(r.host.Boxes()[3].text, "Nieuwe firmware staat er in.");
        ASSERT_TRUE(r.host.PumpUntil([&] { return r.board.ReceivedBlocks().size() == 2; }, 5000))
            << "the second start block was not seen";
        EXPECT_EQ(r.board.ReceivedBlocks()[1], kStartBlock);
        ASSERT_TRUE(r.BoardGot(kChunks));
        r.host.PumpUntil([] { return false; }, 50);
        EXPECT_EQ(r.board.LoaderChunksReceived(), kChunks);
        EXPECT_TRUE(r.board.LoaderDone());
        EXPECT_EQ(r.board.LoaderImage(), ExpectedImage(second));
    }
}

// Over the pty with the stand-in's own loader, at full speed.
TEST(FirmwareDownload, FullImageReachesTheBoardByteForByte) {
    Rig r(FakeUiHost::Clock::Real, false);
    r.Connect();
    const std::string file = kData + "srec_cat_full.a43";  // data below 0x8800 and a gap
    r.m.FlashFirmware(file);
    ASSERT_EQ(r.host.Boxes().size(), 2u);
    EXPECT_EQ(r.host.Boxes()[1].text, "Nieuwe firmware staat er in.");
    ASSERT_TRUE(r.BoardGot(kChunks));
    EXPECT_EQ(r.board.LoaderImage(), ExpectedImage(file));
    EXPECT_EQ(r.progress.back(), kCleared);

    // Back to blocks: the stand-in asks "Are you there ?" again and the decoder sees it.
    int blocks = 0;
    r.m.OnDatablock = [&](TCommsDataModule*, int32_t, const uint8_t*) { ++blocks; };
    EXPECT_TRUE(r.host.PumpUntil([&] { return blocks > 0; }, 5000));
}

// The adapter may go while the module waits for the board's "A", or after the "A" came, before
// the receive thread has seen the hang-up: then the chunk's first send finds the line gone.
TEST(FirmwareDownload, PulledAdapterEndsTheDownloadAtOnce) {
    for (const bool readyFirst : {false, true}) {
        SCOPED_TRACE(readyFirst ? "after the ready character" : "while waiting for it");
        Rig r(FakeUiHost::Clock::Real, false);
        r.Connect();
        std::chrono::steady_clock::time_point pulled{};
        r.onProgress = [&](const std::string&, uint32_t address) {
            if (address != 0x8800 + 64 * 20) return;
            if (readyFirst) {
                r.host.PumpUntil([&] { return r.board.LoaderChunksReceived() >= 20; }, 5000);
                r.host.PumpUntil([] { return false; }, 50);  // its "A" reaches the module
            }
            r.board.HangUp();
            pulled = std::chrono::steady_clock::now();
            // Nothing is pumped meanwhile, so the hang-up stays unreported while the line closes.
            if (readyFirst) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        };
        try {
            r.m.FlashFirmware(kData + "srec_cat_full.a43");
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "De verbinding met het KORVEL bord is verbroken tijdens het flashen van de firmware.");
        }
        const auto took = std::chrono::steady_clock::now() - pulled;
        EXPECT_LT(took, std::chrono::seconds(2));
        EXPECT_TRUE(r.host.PumpUntil([&] { return r.m.ConnectionState() == csDisconnected; }, 2000));
        EXPECT_FALSE(r.m.FlashingFirmware());
        EXPECT_EQ(r.progress.back(), kCleared);
        EXPECT_TRUE(r.host.Boxes().size() == 1u);  // the confirmation only: no "no answer", no success
    }
}

// Through a network server, once as telnet and once raw: the whole image arrives (0xFF bytes and
// all, which telnet doubles); a second download has its server killed halfway and ends as a
// pulled adapter's does, saying what to check.
TEST(FirmwareDownload, ThroughANetworkServerAndTheServerKilledHalfway) {
    if (!test::Ser2net::Installed()) GTEST_SKIP() << "ser2net is not installed";
    const std::string file = kData + "srec_cat_full.a43";
    for (const auto mode : {test::Ser2net::Mode::Rfc2217, test::Ser2net::Mode::Raw}) {
        Rig r(FakeUiHost::Clock::Real, false);
        r.ConnectThrough(mode);
        SCOPED_TRACE(r.server->Address());
        r.m.FlashFirmware(file);
        ASSERT_EQ(r.host.Boxes().size(), 2u);
        EXPECT_EQ(r.host.Boxes()[1].text, "Nieuwe firmware staat er in.");
        ASSERT_TRUE(r.BoardGot(kChunks));
        EXPECT_EQ(r.board.LoaderImage(), ExpectedImage(file));

        r.onProgress = [&](const std::string&, uint32_t address) {
            if (address == 0x8800 + 64 * 20) r.server->Kill();
        };
        try {
            r.m.FlashFirmware(file);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "De verbinding met het KORVEL bord is verbroken tijdens het flashen van de "
                                             "firmware.\nDe server op " + r.server->Address() +
                                             " heeft de verbinding verbroken: controleer of de seriële server daar nog "
                                             "draait en het bord aangesloten is, en maak opnieuw verbinding.");
        }
        EXPECT_EQ(r.m.ConnectionState(), csDisconnected);
        EXPECT_EQ(r.host.Boxes().size(), 3u);  // the second confirmation only
    }
}
