#include <QAction>
#include <QLineEdit>
#include <QTimer>

#include "messages/msg2text.h"
#include "ui_app/main_form_fixture.h"

namespace korvel::test {
namespace {

using Traces = std::vector<std::string>;

TEST_F(MainFormTest, DecoderTracesAndTickerByIdentifier) {
    Connect();
    struct Row {
        uint8_t id;
        Traces traces;
        bool resetsTicker;
    };
    const Row rows[] = {
        {17, {"Message ID not recognised"}, false},
        {40, {"Message ID not recognised"}, false},
        {200, {"Message ID not recognised"}, false},
        {0, {"Message ID not recognised"}, false},
        {16, {"KORVEL to Monitoring"}, false},
        {33, {}, true},
        {34, {}, true},
        {35, {}, true},
        {36, {}, true},
        {37, {}, true},
        {38, {"NVM contents received", "NVM report ignored: 1 bytes, 231 expected"}, true},
        {39, {"NVM contents received", "NVM report ignored: 1 bytes, 231 expected"}, true},
        {160, {}, false},
        {167, {}, false},
    };
    for (const Row& r : rows) {
        host.ClearRecords();
        form->Service().KeepInServiceModeTicker = 7;
        std::vector<uint8_t> block(r.id == 16 ? 112 : 1, 0);
        block[0] = r.id;
        Receive(block);
        EXPECT_EQ(host.Traces(), r.traces) << int(r.id);
        EXPECT_EQ(form->Service().KeepInServiceModeTicker, r.resetsTicker ? 0 : 7) << int(r.id);
        EXPECT_TRUE(host.Boxes().empty()) << int(r.id);
    }
    EXPECT_TRUE(peer.Blocks().empty());
    EXPECT_FALSE(form->KeepInServiceModeTimer->isActive());
}

TEST_F(MainFormTest, AreYouThereIsAnsweredOnlyInServiceMode) {
    Connect();
    Receive({48});
    EXPECT_EQ(host.Traces(), (Traces{"KORVEL to PC: Are you there ?"}));
    EXPECT_TRUE(peer.Blocks().empty());
    EXPECT_FALSE(form->KeepInServiceModeTimer->isActive());

    ChooseService();
    peer.Blocks();  // the settings tab's fetch
    host.ClearRecords();
    form->Service().KeepInServiceModeTicker = 4;
    Receive({48});
    const Traces traces = host.Traces();
    ASSERT_GE(traces.size(), 2u);
    EXPECT_EQ(traces[0], "KORVEL to PC: Are you there ?");
    EXPECT_EQ(traces[1], "Service mode requested.");
    EXPECT_EQ(peer.Blocks(), (Blocks{{160}}));
    EXPECT_EQ(form->Service().KeepInServiceModeTicker, 0);
    EXPECT_TRUE(form->KeepInServiceModeTimer->isActive());
}

TEST_F(MainFormTest, StayInServiceModeEnablesTheServiceFunctionsAndFetchesOnce) {
    Connect();
    ChooseService();
    Receive({48});
    peer.Blocks();
    host.ClearRecords();

    Receive({32});
    EXPECT_TRUE(form->ServiceBox->isEnabled());
    EXPECT_TRUE(form->FlashAction->isEnabled());
    EXPECT_TRUE(form->GetSettingsAction->isEnabled());
    EXPECT_TRUE(form->SetSettingsAction->isEnabled());
    EXPECT_EQ(peer.Blocks(), (Blocks{{166}}));
    ASSERT_FALSE(host.Traces().empty());
    EXPECT_EQ(host.Traces().back(), " KORVEL to PC: I will stay in service mode");

    Receive({32});
    EXPECT_TRUE(peer.Blocks().empty());
    EXPECT_TRUE(form->GetSettingsAction->isEnabled());

    // After a new mode change the settings tab and the first answer fetch again.
    form->ModeSnifAction->trigger();
    ChooseService();
    Receive({32});
    EXPECT_EQ(peer.Blocks(), (Blocks{{166}, {166}}));
}

TEST_F(MainFormTest, RealtimeReportReachesTheFieldsAndAShortOneIsIgnored) {
    std::vector<uint8_t> report(112, 0);
    report[0] = 16;
    report[1] = 0x66;
    report[2] = 0x08;  // 21.50
    Receive(report);
    auto* ntc1 = form->findChild<QLineEdit*>("onfNTC1");
    ASSERT_NE(ntc1, nullptr);
    EXPECT_EQ(ntc1->text().trimmed().remove(QLatin1Char(',')).remove(QLatin1Char('.')), QStringLiteral("2150"));

    // Stale bytes of the longer report behind a short one must not show.
    const QString before = ntc1->text();
    Receive({16, 0x00, 0x00});
    EXPECT_EQ(ntc1->text(), before);
}

}  // namespace
}  // namespace korvel::test
