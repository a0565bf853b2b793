#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "comms/flash_image.h"
#include "firmware/srecord_text.h"

using namespace korvel;
using korvel::test::S1;

namespace {

const std::string kData = KORVEL_TEST_DATA "/firmware/";
const std::string kEnd = "S9030000FC\n";

struct ReadCase {
    const char* name;
    std::string text;
    std::vector<std::pair<uint32_t, uint8_t>> expect;  // address, byte
    bool mapError;
};

}  // namespace

TEST(FlashImage, NewImageIsZeroAndOutOfRangeAccessIsHarmless) {
    TFlashImage img;
    EXPECT_EQ(img.GetMemory(0), 0);
    EXPECT_EQ(img.GetMemory(MAXRAM), 0);
    EXPECT_FALSE(img.MapError());
    img.SetMemory(0x10000, 0x12);
    EXPECT_EQ(img.GetMemory(0x10000), 0xFF);
    EXPECT_EQ(img.GetMemory(0xFFFFFFFF), 0xFF);
    img.SetMemory(MAXRAM, 0x34);
    EXPECT_EQ(img.GetMemory(MAXRAM), 0x34);
}

TEST(FlashImage, ReadsWhatTheSignificantCharactersSay) {
    const std::string rec = S1(0x8800, {0x11, 0x22, 0x33});  // "S1068800112233" + check + "\n"
    const std::string body = rec.substr(0, rec.size() - 1);
    const std::vector<ReadCase> cases = {
        {"plain", rec + kEnd, {{0x8800, 0x11}, {0x8801, 0x22}, {0x8802, 0x33}, {0x8803, 0xFF}, {0x87FF, 0xFF}}, false},
        {"split over lines", body.substr(0, 5) + "\r\n" + body.substr(5, 4) + "\n  \t" + body.substr(9) + "\n" + kEnd,
         {{0x8800, 0x11}, {0x8802, 0x33}}, false},
        {"sharing a line", body + S1(0x9000, {0xAB}) + kEnd, {{0x8802, 0x33}, {0x9000, 0xAB}}, false},
        {"lower case and other text between records skipped",
         "; made by hand, rev. b\n" + rec + "xyz\n" + kEnd, {{0x8800, 0x11}}, false},
        {"0x1A ends the file", rec + "\x1A" + S1(0x9000, {0xAB}), {{0x8800, 0x11}, {0x9000, 0xFF}}, false},
        {"S9 stops the read", rec + kEnd + S1(0x9000, {0xAB}), {{0x8800, 0x11}, {0x9000, 0xFF}}, false},
        {"later record wins", rec + S1(0x8801, {0x99}) + kEnd, {{0x8800, 0x11}, {0x8801, 0x99}}, false},
        {"other record types passed over",
         "S00600004844521B\n" + rec + "S2080188001122330001\nS3090000880011223300FF\nS5030001FB\nS70500000000FA\n"
         "S804000000FB\n" + kEnd,
         {{0x8800, 0x11}, {0x8803, 0xFF}}, false},
        {"no S9 at all", rec, {{0x8802, 0x33}}, false},
        {"S9 without newline", rec + "S9030000FC", {{0x8802, 0x33}}, false},
        {"data below the loader range read too", S1(0x1000, {0x42}) + rec + kEnd, {{0x1000, 0x42}}, false},
        {"count of 3: address only", S1(0x9000, {}) + rec + kEnd, {{0x9000, 0xFF}, {0x8800, 0x11}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFlashImage img;
        img.ReadHexText(c.text);
        EXPECT_EQ(img.MapError(), c.mapError);
        for (auto [addr, value] : c.expect) EXPECT_EQ(img.GetMemory(addr), value) << std::hex << addr;
    }
}

TEST(FlashImage, UsedAddressRangeFollowsTheStoredBytes) {
    TFlashImage img;
    img.ReadHexText(S1(0x9000, {1, 2}) + S1(0x8900, {3}) + S1(0xFFFE, {4, 5}) + kEnd);
    EXPECT_EQ(img.FirstUsedAddress(), 0x8900u);
    EXPECT_EQ(img.LastUsedAddress(), 0xFFFFu);

    // Each read starts from erased flash: nothing of the previous file survives.
    img.ReadHexText("S00600004844521B\n" + kEnd);
    EXPECT_EQ(img.GetMemory(0x9000), 0xFF);
    EXPECT_EQ(img.FirstUsedAddress(), 0xFFFFu);
    EXPECT_EQ(img.LastUsedAddress(), 0u);
    EXPECT_TRUE(img.MapError());  // nothing to send: it would only erase the board
}

// Files that would put bytes on the board that the file does not say.
TEST(FlashImage, RefusesFilesThatWouldSendWhatTheyDoNotSay) {
    const std::string rec = S1(0x8800, {0x11, 0x22, 0x33});
    const std::string body = rec.substr(0, rec.size() - 1);
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"wrong check byte", "S10688001122330A\n" + kEnd},
        {"corrupted data digit", "S1068800112A33" + body.substr(14) + "\n" + kEnd},
        {"record shorter than its count", "S10788001122330F\n" + rec + kEnd},
        {"check byte missing", body.substr(0, 14) + "\n" + S1(0x9000, {1}) + kEnd},
        {"record cut off by the end of the file", body.substr(0, 11)},
        {"record cut off by 0x1A", body.substr(0, 11) + "\x1A" + "33\n"},
        {"last record without line end or S9 loses its last digit", body},
        {"lower-case digit inside a record", "S1068800112a33" + body.substr(14) + "\n" + kEnd},
        {"other character inside a record", body.substr(0, 8) + "#" + body.substr(8) + "\n" + kEnd},
        {"NUL inside a record", body.substr(0, 8) + std::string(1, '\0') + body.substr(8) + "\n" + kEnd},
        {"non-ASCII byte inside a record", body.substr(0, 8) + "\xB0" + body.substr(8) + "\n" + kEnd},
        {"S in the type position", "S" + rec + kEnd},
        {"junk between S and type", "S-" + rec.substr(1) + kEnd},
        {"count below 2 ends the read", "S1018800\n" + rec + kEnd},
        {"count of 2: no check byte", "S1028800\n" + rec + kEnd},
        {"record longer than its count", body + "44\n" + kEnd},
        {"data only below the loader range", S1(0x1000, {1, 2, 3}) + kEnd},
        {"data only in S2 records", "S2080088001122332B\n" + kEnd},
        {"empty file", ""},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        TFlashImage img;
        img.ReadHexText(text);
        EXPECT_TRUE(img.MapError());
    }
}

TEST(FlashImage, DataPastTheTopOfMemoryFails) {
    TFlashImage img;
    try {
        img.ReadHexText(S1(0x8800, {1}) + "\n" + S1(0xFFFE, {1, 2, 3}) + kEnd);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("0xFFFF"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
    }
    // Stored up to the top, as far as it got.
    EXPECT_EQ(img.GetMemory(0xFFFF), 2);
}

TEST(FlashImage, FilesWrittenByRealTools) {
    const auto small = [](uint32_t i) { return static_cast<uint8_t>((i * 37 + 11) & 0xFF); };
    const auto full = [](uint32_t i) { return static_cast<uint8_t>((i * 7 + (i >> 8) * 13 + 5) & 0xFF); };
    struct File {
        const char* name;
        uint32_t last;
        bool vector;
    };
    for (const File f : {File{"srec_cat_small.a43", 0xFFFF, true}, File{"objcopy_small.srec", 0x8800 + 299, false}}) {
        SCOPED_TRACE(f.name);
        TFlashImage img;
        img.ReadHexFile(kData + f.name);
        ASSERT_FALSE(img.MapError());
        for (uint32_t i = 0; i < 300; ++i) ASSERT_EQ(img.GetMemory(0x8800 + i), small(i)) << i;
        EXPECT_EQ(img.GetMemory(0x8800 + 300), 0xFF);
        EXPECT_EQ(img.FirstUsedAddress(), 0x8800u);
        EXPECT_EQ(img.LastUsedAddress(), f.last);
        EXPECT_EQ(img.GetMemory(0xFFFE), f.vector ? 0x00 : 0xFF);
        EXPECT_EQ(img.GetMemory(0xFFFF), f.vector ? 0x88 : 0xFF);
    }
    TFlashImage img;
    img.ReadHexFile(kData + "srec_cat_full.a43");
    ASSERT_FALSE(img.MapError());
    for (uint32_t a = 0x8000; a <= 0xFFFF; ++a) {
        const bool gap = a >= 0xA000 && a < 0xA100;
        ASSERT_EQ(img.GetMemory(a), gap ? 0xFF : full(a - 0x8000)) << std::hex << a;
    }
    EXPECT_EQ(img.FirstUsedAddress(), 0x8000u);
}

TEST(FlashImage, UnopenableFileNamesFileAndReason) {
    TFlashImage img;
    img.SetMemory(0x9000, 0x12);
    const std::string name = kData + "no_such_file.a43";
    try {
        img.ReadHexFile(name);
        FAIL() << "no error";
    } catch (const std::exception& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(name), std::string::npos) << what;
        EXPECT_NE(what.find("No such file"), std::string::npos) << what;
    }
    EXPECT_EQ(img.GetMemory(0x9000), 0xFF);
    EXPECT_THROW(img.ReadHexFile(KORVEL_TEST_DATA), std::exception);  // a directory
}
