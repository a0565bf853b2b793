#include <gtest/gtest.h>

#include <set>
#include <string>

#include "capture/block_meaning.h"
#include "capture/capture_support.h"
#include "messages/message_ids.h"
#include "settings/nvm_parameters.h"

using namespace korvel;
using namespace korvel::test;

// Wireshark refuses a dissector that registers a field name twice or with other characters.
TEST(BlockMeaning, EveryFieldHasItsOwnWiresharkName) {
    std::set<std::string> keys;
    for (const auto fields : {ReportMeaningFields(), NvmMeaningFields(), SetNvmMeaningFields(), SerialMeaningFields()})
        for (const TMeaningField& f : fields) {
            EXPECT_TRUE(keys.insert(f.Key).second) << f.Key;
            EXPECT_EQ(f.Key.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_."), std::string::npos) << f.Key;
            EXPECT_FALSE(f.Label.empty()) << f.Key;
        }
    EXPECT_EQ(NvmMeaningFields().size(), NVM_PARAMETER_COUNT);
    EXPECT_TRUE(keys.count("rt.ntc_1"));  // the log's column "NTC 1"
    EXPECT_TRUE(keys.count("nvm.stooklijnrl_xmin"));
}

TEST(BlockMeaning, OneLineForEachKindOfBlock) {
    Bytes report(REALTIME_REPORT_SIZE, 0);
    report[0] = K2MSENDMONDATA;
    report[48] = 2;
    Bytes nvm = DefaultNvmImage();
    nvm.insert(nvm.begin(), K2PRGETNVM);
    const struct {
        Bytes block;
        const char* name;
        const char* summary;
    } rows[] = {
        {report, "KORVEL to Monitoring", "Bedrijfsstand: 2 - Gereed om te verwarmen of koelen"},
        {{K2MSENDMONDATA, 1, 2}, "KORVEL to Monitoring", "Meetgegevens onvolledig: 3 van 112 bytes"},
        {{P2KSETNVM, 0x00, 0x00, 0x9C, 0xFF}, "PC to KORVEL: Set NVM word at",
         "Radiatoren stooklijn Laag XMin = -10,0 (adres 0, woord 65436)"},
        {{P2KSETNVM, 0xE7, 0x00, 0x00, 0x00}, "PC to KORVEL: Set NVM word at", "Onbekend adres (adres 231, woord 0)"},
        {{K2PRSETNVM}, "K2PRSETNVM", "Beantwoord"},
        {nvm, "NVM contents received", "115 parameters"},
        {{K2PGETCOMMAND}, "KORVEL to PC: Are you there ?", "Servicestand: het bord vraagt of er een PC is"},
        {{P2KSETCOMMAND}, "PC to KORVEL: Go to service mode.", "Servicestand: de PC vraagt het bord in de servicestand"},
        {{K2PRSETCOMMAND}, "KORVEL to PC: I will stay in service mode", "Servicestand: het bord blijft in de servicestand"},
        {{K2PRGETSERNUM, 0, 0, 0, 0, 0x01, 0, 0, 0x80, 0x2A, 0, 0, 0}, "KORVEL to PC: I am serial nr.",
         "Serienummer 80000001, configuratie 0000002A"},
        {{200}, "Message ID not recognised", "Onbekend bericht"},
    };
    for (const auto& row : rows) {
        const TBlockMeaning m = DescribeBlock(row.block, ',');
        EXPECT_EQ(m.Name, row.name) << int(row.block[0]);
        EXPECT_EQ(m.Summary, row.summary) << int(row.block[0]);
    }
}
