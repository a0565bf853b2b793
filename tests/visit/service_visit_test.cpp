#include "visit/service_visit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "messages/message_ids.h"

namespace korvel {
namespace {

struct NameCase {
    const char* typed;
    const char* kept;
    const char* filePart;
};

TEST(ServiceVisit, KeepsAnyNameAndMakesAFileNameOfIt) {
    const NameCase cases[] = {
        {"  Dorpsstraat 3 ", "Dorpsstraat 3", "Dorpsstraat_3"},
        {"Zoë; \"De Eik\"", "Zoë; \"De Eik\"", "Zoë;__De_Eik"},
        {"klant 17/3\\b:c*d?e|f<g>h", "klant 17/3\\b:c*d?e|f<g>h", "klant_17_3_b_c_d_e_f_g_h"},
        {"regel\r\nnaam\t2", "regel  naam 2", "regel__naam_2"},
        {"Tuin...", "Tuin...", "Tuin"},
        {"???", "???", ""},
        {"", "", ""},
        // Cut at 60 bytes, never inside a character.
        {"ëëëëëëëëëëëëëëëëëëëëëëëëëëëëëëëëëë", "ëëëëëëëëëëëëëëëëëëëëëëëëëëëëëëëëëë",
         "ëëëëëëëëëëëëëëëëëëëëëëëëëëëëëë"},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(InstallationName(c.typed), c.kept) << c.typed;
        EXPECT_EQ(FileNamePart(c.typed), c.filePart) << c.typed;
    }
}

struct SameCase {
    const char* a;
    const char* b;
    bool same;
};

TEST(ServiceVisit, AsksOnlyWhenBothNameAnInstallationAndTheyDiffer) {
    const SameCase cases[] = {
        {"", "Dorpsstraat 3", true},        {"Dorpsstraat 3", "", true},
        {"Dorpsstraat 3", " dorpsSTRAAT 3 ", true}, {"Dorpsstraat 3", "Dorpsstraat 5", false},
        {"Zoë", "ZOË", false},  // only A to Z fold: the name may be any script's
    };
    for (const SameCase& c : cases) EXPECT_EQ(SameInstallation(c.a, c.b), c.same) << c.a << " / " << c.b;
}

std::vector<uint8_t> Report(uint8_t firmware, uint8_t flags49) {
    std::vector<uint8_t> r(REALTIME_REPORT_SIZE, 0);
    r[0] = K2MSENDMONDATA;
    r[6] = firmware;
    r[49] = flags49;
    return r;
}

TEST(ServiceVisit, RecordsTheBoardFirstAndLastAndWhatChanged) {
    TServiceVisit visit(1000);
    visit.SetInstallation(" Zoë; \"De Eik\" ");
    visit.SetPort("COM5");
    EXPECT_EQ(visit.Stamp().Firmware, "");

    const auto first = NvmDefaultWords({});
    auto second = first;
    second[23] = static_cast<uint16_t>(second[23] + 10);  // onfNightOff, address 46
    second[0] = static_cast<uint16_t>(second[0] - 10);
    auto last = second;
    last[0] = first[0];  // changed and changed back: not a change of the visit
    last[2] = static_cast<uint16_t>(last[2] + 10);
    visit.ParameterReport(1010, first);
    visit.ParameterReport(1020, second);
    visit.ParameterReport(1030, last);
    EXPECT_EQ(visit.FirstParametersTime(), 1010);
    EXPECT_EQ(visit.LastParametersTime(), 1030);
    const auto changes = visit.Changes(',');
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].Parameter->Address, 4);
    EXPECT_EQ(changes[1].Parameter->Control, "onfNightOff");
    EXPECT_NE(changes[1].A, changes[1].B);

    const auto a = Report(131, 0x20);
    const auto b = Report(132, 0x00);
    EXPECT_FALSE(visit.RealtimeReport(1040, a.data(), a.size() - 1));
    EXPECT_TRUE(visit.RealtimeReport(1041, a.data(), a.size()));
    EXPECT_TRUE(visit.RealtimeReport(1042, b.data(), b.size()));
    EXPECT_EQ(visit.Firmware(), 132);
    EXPECT_EQ(visit.LastReportTime(), 1042);
    EXPECT_EQ(visit.LastReport(), b);
    ASSERT_EQ(visit.Faults().Events().size(), 2u);
    EXPECT_TRUE(visit.Faults().Events()[0].AtStart);
    EXPECT_FALSE(visit.Faults().Events()[1].Appeared);

    const TVisitStamp stamp = visit.Stamp();
    EXPECT_EQ(stamp.Installation, "Zoë; \"De Eik\"");
    EXPECT_EQ(stamp.Port, "COM5");
    EXPECT_EQ(stamp.Firmware, "132");
}

}  // namespace
}  // namespace korvel
