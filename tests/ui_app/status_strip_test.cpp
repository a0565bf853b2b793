#include <QLabel>
#include <QTest>

#include "app/status_strip.h"
#include "messages/message_ids.h"
#include "ui_app/main_form_fixture.h"
#include "widgets/percentage_meter.h"

namespace korvel::test {
namespace {

struct Step {
    enum Kind {
        Connect,
        Disconnect,
        ChooseService,
        ChooseWatching,
        Report,          // a real-time report of `value` bytes
        Block,           // a block with identifier `value`
        Wait,            // `value` ms pass; then the strip's timer ticks
        Progress,        // the download's notification at address `value` (0: its first, without a meter)
        ProgressEnd,     // the download's last notification
        BeginOperation,  // a lengthy operation takes the strip and keeps it
        Operation,       // a lengthy operation runs and ends
        MeterOnly,       // code shows the meter and writes the label without taking the strip
    } kind;
    uint32_t value = 0;
};

struct StatusRow {
    const char* name;
    std::vector<Step> steps;
    const char* label;  // "%P" stands for the port
};

using S = Step;
const char* const kWaiting =
    "Verbonden met %P. Wacht op antwoord van het bord. Staat de RUN/PROGRAM schakelaar in de stand PROGRAM?";

const StatusRow kRows[] = {
    {"FirstStartWithoutAdapter",
     {},
     "Niet verbonden. Sluit de USB-adapter van het bord aan of kies met \"Com poort...\" een poort."},
    {"ConnectedNothingYet", {{S::Connect}}, "Verbonden met %P."},
    {"ConnectedWithData", {{S::Connect}, {S::Wait, 9000}, {S::Report, 112}, {S::Wait, 4900}}, "Verbonden met %P."},
    {"SilentSinceConnect", {{S::Connect}, {S::Wait, 7400}}, "Verbonden met %P. Al 7 s geen gegevens van het bord."},
    {"SilentSinceLastBlock",
     {{S::Connect}, {S::Block, 35}, {S::Wait, 5000}},
     "Verbonden met %P. Al 5 s geen gegevens van het bord."},
    {"ShortReports",
     {{S::Connect}, {S::Report, 40}},
     "Verbonden met %P. Het bord stuurt onvolledige meetgegevens (40 van 112 bytes)."},
    {"FullReportAfterShortOnes", {{S::Connect}, {S::Report, 40}, {S::Report, 112}}, "Verbonden met %P."},
    {"ServiceWaiting", {{S::Connect}, {S::ChooseService}, {S::Report, 112}}, kWaiting},
    {"ServiceAskedNotConfirmed", {{S::Connect}, {S::ChooseService}, {S::Block, 48}}, kWaiting},
    {"ServiceConfirmed",
     {{S::Connect}, {S::ChooseService}, {S::Block, 48}, {S::Block, 32}},
     "Verbonden met %P. Het bord staat in de servicestand."},
    {"ServiceWaitingOnASilentBoard",
     {{S::Connect}, {S::ChooseService}, {S::Wait, 12000}},
     "Verbonden met %P. Al 12 s geen gegevens van het bord."},
    {"BackToWatching", {{S::Connect}, {S::ChooseService}, {S::ChooseWatching}}, "Verbonden met %P."},
    {"DisconnectedAgain",
     {{S::Connect}, {S::Report, 40}, {S::Disconnect}},
     "Niet verbonden. Kies \"Verbinding maken\" om met %P te verbinden."},
    {"DownloadStarting", {{S::Connect}, {S::Progress, 0}, {S::Wait, 10000}}, "Flashing firmware."},
    {"DuringADownload", {{S::Connect}, {S::Progress, 34816}, {S::Wait, 10000}}, "Flashing firmware.: 34816"},
    {"AfterADownload", {{S::Connect}, {S::Progress, 34816}, {S::ProgressEnd}}, "Verbonden met %P."},
    {"DuringAnOperation", {{S::Connect}, {S::BeginOperation}, {S::Wait, 10000}}, ""},
    {"AfterAnOperation",
     {{S::Connect}, {S::Wait, 10000}, {S::Operation}},
     "Verbonden met %P. Al 10 s geen gegevens van het bord."},
    {"WhileCodeDrivesOnlyTheMeter", {{S::Connect}, {S::MeterOnly}, {S::Wait, 10000}}, "Instellingen wegschrijven"},
};

class StatusStripTest : public MainFormTest, public ::testing::WithParamInterface<StatusRow> {
protected:
    void Run(const Step& step) {
        bool cancel = false;
        switch (step.kind) {
            case S::Connect: Connect(); break;
            case S::Disconnect: form->DisconnectActionExecute(); break;
            case S::ChooseService: ChooseService(); break;
            case S::ChooseWatching: form->ModeSnifAction->trigger(); break;
            case S::Report: {
                std::vector<uint8_t> report(step.value, 0);
                report[0] = K2MSENDMONDATA;
                Receive(report);
                break;
            }
            case S::Block: Receive({static_cast<uint8_t>(step.value)}); break;
            case S::Wait:
                host.AdvanceTime(step.value);
                form->StatusStrip->Refresh();  // what its 1 s timer does
                break;
            case S::Progress:
                form->ProgressNotification(nullptr, step.value, step.value == 0 ? 0 : 65536, false,
                                           "Flashing firmware.", cancel);
                break;
            case S::ProgressEnd: form->ProgressNotification(nullptr, 0, 0, false, "", cancel); break;
            case S::BeginOperation: form->StatusStrip->BeginOperation(); break;
            case S::Operation: {
                const auto running = form->StatusStrip->Operation();
                form->ProgressMeter->show();
                EXPECT_EQ(form->ProgressLabel->text(), QString());
                break;
            }
            case S::MeterOnly:
                form->ProgressMeter->show();
                form->ProgressLabel->setText("Instellingen wegschrijven");
                break;
        }
    }
};

TEST_P(StatusStripTest, LabelTellsTheState) {
    for (const Step& step : GetParam().steps) Run(step);
    const QString expected = QString::fromUtf8(GetParam().label).replace("%P", QString::fromStdString(peer.Path()));
    EXPECT_EQ(form->ProgressLabel->text().toStdString(), expected.toStdString());
}

INSTANTIATE_TEST_SUITE_P(States, StatusStripTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Nothing but the strip's own timer brings the silence to the screen.
TEST_F(MainFormTest, SilenceShowsWithoutAnyOtherEvent) {
    Connect();
    host.AdvanceTime(6000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->ProgressLabel->text().contains("Al 6 s"); }, 3000))
        << form->ProgressLabel->text().toStdString();
}

}  // namespace
}  // namespace korvel::test
