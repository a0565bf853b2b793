#include <QLabel>
#include <QTest>

#include "app/status_strip.h"
#include "messages/message_ids.h"
#include "ui_app/main_form_fixture.h"
#include "widgets/percentage_meter.h"

namespace korvel::test {
namespace {

std::vector<uint8_t> Report(size_t bytes = REALTIME_REPORT_SIZE) {
    std::vector<uint8_t> report(bytes, 0);
    report[0] = K2MSENDMONDATA;
    return report;
}

struct StatusRow {
    const char* name;
    void (*setUp)(MainFormTest& t);
    const char* label;  // "%P" stands for the port
};

class StatusStripTest : public MainFormTest, public ::testing::WithParamInterface<StatusRow> {
public:
    using MainFormTest::ChooseService;
    using MainFormTest::Connect;
    using MainFormTest::Receive;
    FakeUiHost& Host() { return host; }
    TMainForm& Form() { return *form; }
    QString Label() const { return form->ProgressLabel->text(); }
    QString Expected(const char* text) const {
        return QString::fromUtf8(text).replace("%P", QString::fromStdString(peer.Path()));
    }
};

void Wait(MainFormTest& t, uint32_t ms) {
    auto& s = static_cast<StatusStripTest&>(t);
    s.Host().AdvanceTime(ms);
    s.Form().StatusStrip->Refresh();  // what the strip's 1 s timer does
}
StatusStripTest& S(MainFormTest& t) { return static_cast<StatusStripTest&>(t); }

const StatusRow kRows[] = {
    {"Disconnected", [](MainFormTest&) {}, "Niet verbonden."},
    {"ConnectedNothingYet", [](MainFormTest& t) { S(t).Connect(); }, "Verbonden met %P."},
    {"ConnectedWithData",
     [](MainFormTest& t) {
         S(t).Connect();
         Wait(t, 9000);
         S(t).Receive(Report());
         Wait(t, 4900);
     },
     "Verbonden met %P."},
    {"SilentSinceConnect",
     [](MainFormTest& t) {
         S(t).Connect();
         Wait(t, 7400);
     },
     "Verbonden met %P. Al 7 s geen gegevens van het bord."},
    {"SilentSinceLastBlock",
     [](MainFormTest& t) {
         S(t).Connect();
         S(t).Receive({35});
         Wait(t, 5000);
     },
     "Verbonden met %P. Al 5 s geen gegevens van het bord."},
    {"ShortReports",
     [](MainFormTest& t) {
         S(t).Connect();
         S(t).Receive(Report(40));
     },
     "Verbonden met %P. Het bord stuurt onvolledige meetgegevens (40 van 112 bytes)."},
    {"FullReportAfterShortOnes",
     [](MainFormTest& t) {
         S(t).Connect();
         S(t).Receive(Report(40));
         S(t).Receive(Report());
     },
     "Verbonden met %P."},
    {"ServiceWaiting",
     [](MainFormTest& t) {
         S(t).Connect();
         S(t).ChooseService();
         S(t).Receive(Report());
     },
     "Verbonden met %P. Wacht op antwoord van het bord. Staat de RUN/PROGRAM schakelaar in de stand PROGRAM?"},
    {"ServiceAskedButNotConfirmed",
     [](MainFormTest& t) {
         S(t).Connect();
         S(t).ChooseService();
         S(t).Receive({48});
     },
     "Verbonden met %P. Wacht op antwoord van het bord. Staat de RUN/PROGRAM schakelaar in de stand PROGRAM?"},
    {"ServiceConfirmed",
     [](MainFormTest& t) {
         S(t).Connect();
         S(t).ChooseService();
         S(t).Receive({48});
         S(t).Receive({32});
     },
     "Verbonden met %P. Het bord staat in de servicestand."},
    {"ServiceWaitingOnASilentBoard",
     [](MainFormTest& t) {
         S(t).Connect();
         S(t).ChooseService();
         Wait(t, 12000);
     },
     "Verbonden met %P. Al 12 s geen gegevens van het bord."},
    {"BackToWatching",
     [](MainFormTest& t) {
         S(t).Connect();
         S(t).ChooseService();
         S(t).Form().ModeSnifAction->trigger();
     },
     "Verbonden met %P."},
    {"DisconnectedAgain",
     [](MainFormTest& t) {
         S(t).Connect();
         S(t).Receive(Report(40));
         S(t).Form().DisconnectActionExecute();
     },
     "Niet verbonden."},
    {"DuringADownload",
     [](MainFormTest& t) {
         S(t).Connect();
         bool cancel = false;
         S(t).Form().ProgressNotification(nullptr, 34816, 65536, false, "Flashing firmware.", cancel);
         Wait(t, 10000);
     },
     "Flashing firmware.: 34816"},
    {"DownloadStarting",
     [](MainFormTest& t) {
         S(t).Connect();
         bool cancel = false;
         S(t).Form().ProgressNotification(nullptr, 0, 0, false, "Starting.", cancel);
         Wait(t, 10000);
     },
     "Starting."},
    {"AfterADownload",
     [](MainFormTest& t) {
         S(t).Connect();
         bool cancel = false;
         S(t).Form().ProgressNotification(nullptr, 34816, 65536, false, "Flashing firmware.", cancel);
         S(t).Form().ProgressNotification(nullptr, 0, 0, false, "", cancel);
     },
     "Verbonden met %P."},
    {"DuringAnOperation",
     [](MainFormTest& t) {
         S(t).Connect();
         S(t).Form().StatusStrip->BeginOperation();
         Wait(t, 10000);
     },
     ""},
    {"AfterAnOperation",
     [](MainFormTest& t) {
         S(t).Connect();
         { const auto running = S(t).Form().StatusStrip->Operation(); }
     },
     "Verbonden met %P."},
    {"WhileCodeDrivesOnlyTheMeter",
     [](MainFormTest& t) {
         S(t).Connect();
         S(t).Form().ProgressMeter->show();
         S(t).Form().ProgressLabel->setText("Instellingen wegschrijven");
         Wait(t, 10000);
     },
     "Instellingen wegschrijven"},
};

TEST_P(StatusStripTest, LabelTellsTheState) {
    GetParam().setUp(*this);
    EXPECT_EQ(Label().toStdString(), Expected(GetParam().label).toStdString());
}

// Nothing but the strip's own timer brings the silence to the screen.
TEST_F(MainFormTest, SilenceShowsWithoutAnyOtherEvent) {
    Connect();
    host.AdvanceTime(6000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->ProgressLabel->text().contains("Al 6 s"); }, 3000))
        << form->ProgressLabel->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(States, StatusStripTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvel::test
