#include "settings/nvm_parameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "messages/message_ids.h"

namespace korvel {
namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> cells;
    std::stringstream in(line);
    std::string cell;
    while (std::getline(in, cell, '\t')) cells.push_back(cell);
    if (!line.empty() && line.back() == '\t') cells.emplace_back();
    return cells;
}

// The board's memory map as the board's documentation lists it, kept as data beside the test.
TEST(NvmParameters, TableMatchesTheBoardsMemoryMap) {
    std::ifstream file(std::string(KORVEL_TEST_DATA) + "/settings/parameters.tsv");
    ASSERT_TRUE(file) << "parameters.tsv";
    const auto table = NvmParameters();
    ASSERT_EQ(table.size(), 115u);
    size_t row = 0;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto c = SplitTabs(line);
        ASSERT_EQ(c.size(), 9u) << line;
        ASSERT_LT(row, table.size());
        const TNvmParameter& p = table[row++];
        SCOPED_TRACE(line);
        EXPECT_EQ(p.Address, std::stoi(c[0]));
        EXPECT_EQ(p.Control, c[1]);
        EXPECT_EQ(p.Caption, c[2]);
        const char* encoding = p.Encoding == TNvmEncoding::Raw ? "raw" : p.Encoding == TNvmEncoding::Tenths ? "tenths" : "1/256";
        EXPECT_EQ(encoding, c[3]);
        const char* readAs = p.ReadAs == TNvmReadAs::Int16 ? "int16" : p.ReadAs == TNvmReadAs::UInt16 ? "uint16" : "lowbyte";
        EXPECT_EQ(readAs, c[4]);
        EXPECT_EQ(p.Mask, c[5]);
        if (c[6].empty()) {
            EXPECT_GT(p.Max, 1e38);  // no effective limit
        } else {
            EXPECT_DOUBLE_EQ(p.Min, std::stod(c[6]));
            EXPECT_DOUBLE_EQ(p.Max, std::stod(c[7]));
        }
        EXPECT_EQ(p.HasDefault, !c[8].empty());
        if (!c[8].empty()) {
            EXPECT_DOUBLE_EQ(p.Default, std::stod(c[8]));
        }
    }
    EXPECT_EQ(row, table.size());
}

TEST(NvmParameters, NamesTellEqualCaptionsApart) {
    const struct {
        const char* control;
        const char* name;
    } cases[] = {
        {"onfPumpDelayCooling", "Pomp nalooptijd (s) (Koelen)"},
        {"onfPump2DelayHeating", "Externe pomp nalooptijd (s) (Verwarmen)"},
        {"onfRadiatorDrop", "Temperatuurval over de radiatoren"},
        {"StooklijnRL.XMin", "Radiatoren stooklijn Laag XMin"},
        {"TimeConstantsFH.DeltaT", "Vloerverwarming stooklijn hoog Delta-T"},
        {"onfTableUp05", "Ruimte warmt op 0.0"},
        {"onfTableDown16", "Ruimte koelt af 1.1"},
    };
    for (const auto& c : cases) {
        const TNvmParameter* p = FindNvmParameter(c.control);
        ASSERT_NE(p, nullptr) << c.control;
        EXPECT_EQ(NvmDisplayName(*p), c.name);
    }
    EXPECT_EQ(FindNvmParameter("onfNoSuchThing"), nullptr);
}

std::vector<uint8_t> ReportWith(uint16_t address, uint16_t word) {
    std::vector<uint8_t> r(NVM_REPORT_SIZE, 0);
    r[0] = K2PRGETNVM;
    r[1 + address] = static_cast<uint8_t>(word & 0xFF);
    r[2 + address] = static_cast<uint8_t>(word >> 8);
    return r;
}

// One row per example: a value in a control, the bytes its write request carries, and what a
// report carrying those bytes shows again.
TEST(NvmParameters, EncodesAndReadsBack) {
    const struct {
        const char* control;
        double value;
        uint8_t lo, hi;
        double readBack;
    } cases[] = {
        {"StooklijnRL.XMin", -10.0, 0x9C, 0xFF, -10.0},
        {"onfDelayHibernation", 36000, 0xA0, 0x8C, 36000},      // read unsigned
        {"onfMinBoilerOnTime", 40000, 0x40, 0x9C, -25536},      // read signed
        {"onfPumpStartupTime", 300, 0x2C, 0x01, 44},            // low byte only
        {"onfNightOff", 19.0, 0x00, 0x13, 19.0},                // 4864
        {"onfNightOff", 19.3, 0x4C, 0x13, 19.296875},           // 4940, cut to whole 1/256 steps
        {"onfNightOff", -0.3, 0xB4, 0xFF, -0.296875},           // toward zero, not down
        {"rgTestmode", -1, 0xFF, 0xFF, -1},
        {"onfCoolingOn", static_cast<float>(1.3), 13, 0, 1.3},  // the tenth the field shows
        {"onfCoolingOff", static_cast<float>(-1.3), 0xF3, 0xFF, -1.3},
        {"onfFixedTempValue", static_cast<float>(5.7), 57, 0, 5.7},
        {"TimeConstantsRH.X1Min", -210, 0x2E, 0xFF, -210},
        {"onfTableUp00", -30, 0xE2, 0xFF, -30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control);
        const TNvmParameter* p = FindNvmParameter(c.control);
        ASSERT_NE(p, nullptr);
        const auto request = EncodeNvmWrite(p->Address, ScaleNvmValue(*p, c.value));
        EXPECT_EQ(request[0], P2KSETNVM);
        EXPECT_EQ(request[1], p->Address & 0xFF);
        EXPECT_EQ(request[2], p->Address >> 8);
        EXPECT_EQ(request[3], c.lo);
        EXPECT_EQ(request[4], c.hi);
        const auto values = DecodeNvmReport(ReportWith(p->Address, static_cast<uint16_t>(c.lo | c.hi << 8)));
        ASSERT_TRUE(values);
        EXPECT_NEAR((*values)[p->Address / 2], c.readBack, 1e-6);
    }
    EXPECT_EQ(EncodeNvmWrite(228, 0)[1], 0xE4);
    EXPECT_EQ(EncodeNvmWrite(228, 0)[2], 0x00);
    EXPECT_EQ(EncodeNvmWrite(0x12345, -0x10001)[1], 0x45);  // low 16 bits of both
    EXPECT_EQ(EncodeNvmWrite(0x12345, -0x10001)[4], 0xFF);
}

// Every one-decimal value a tenths field can hold goes out as exactly ten times what it shows,
// in double and in single precision, and comes back as the same value.
TEST(NvmParameters, EveryTenthRoundTrips) {
    for (const TNvmParameter& p : NvmParameters()) {
        if (p.Encoding != TNvmEncoding::Tenths) continue;
        for (int tenths = -999; tenths <= 1000; ++tenths) {
            double value = tenths / 10.0;
            if (p.Kind == TNvmFieldKind::RealSingle) value = static_cast<float>(value);
            ASSERT_EQ(ScaleNvmValue(p, value), tenths) << p.Control << " " << value;
            ASSERT_DOUBLE_EQ(DecodeNvmWord(p, NvmWordOf(tenths)), tenths / 10.0) << p.Control;
        }
    }
}

TEST(NvmParameters, TestModeWordsOutsideTheItemsAreClamped) {
    const TNvmParameter& p = *FindNvmParameter("rgTestmode");
    const struct {
        uint16_t word;
        double index;
    } cases[] = {{7, 4}, {4, 4}, {0, 0}, {0xFFFF, -1}, {static_cast<uint16_t>(-5), -1}, {0x8000, -1}};
    for (const auto& c : cases) EXPECT_EQ(DecodeNvmWord(p, c.word), c.index) << c.word;
    EXPECT_EQ(TestModeItems().size(), 5u);
    EXPECT_EQ(TestModeItems()[4], "Korvel aan in koelmodus, pompen aan, zomer contact aan");
}

TEST(NvmParameters, ReportShorterThanTheImageGivesNothing) {
    std::vector<uint8_t> report = ReportWith(0, 0xFF9C);
    EXPECT_TRUE(DecodeNvmReport(report));
    report.pop_back();
    EXPECT_FALSE(DecodeNvmReport(report));
    EXPECT_FALSE(DecodeNvmReport({}));
}

TEST(NvmParameters, DefaultImageDecodesToTheDefaults) {
    std::vector<uint8_t> report{K2PRFLASHNVM};
    const auto image = DefaultNvmImage();
    ASSERT_EQ(image.size(), 230u);
    report.insert(report.end(), image.begin(), image.end());
    const auto values = DecodeNvmReport(report);
    ASSERT_TRUE(values);
    int withDefault = 0;
    for (const TNvmParameter& p : NvmParameters()) {
        if (!p.HasDefault) continue;
        ++withDefault;
        EXPECT_NEAR((*values)[p.Address / 2], p.Default, 1e-9) << p.Control;
    }
    EXPECT_EQ(withDefault, 113);
}

}  // namespace
}  // namespace korvel
