#include <QCoreApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <fstream>
#include <functional>

#include "settings/settings_page.h"
#include "ui_settings/settings_fixture.h"

namespace korvel::test {
namespace {

std::vector<uint8_t> BoardReport() {
    std::vector<uint8_t> report = sim::BoardSim::StartNvm();
    report.insert(report.begin(), K2PRGETNVM);
    return report;
}

TEST_F(SettingsTest, FieldsThatDifferFromTheBoardAreMarkedAndCountedInBothWindows) {
    Receive(BoardReport());
    TChangeMarks& marks = form->SettingsTransfer->Marks();
    QLabel* tab = form->TabSheetService->lblChanges;

    const struct {
        const char* control;
        double value;
        const char* board;
    } rows[] = {
        {"onfPumpStartupTime", 45, "30"},
        {"rgTestmode", 2, "0 (Normaal gebruik)"},
        {"onfTableUp03", -15, "-10"},                               // the advanced window
        {"onfNightOff", 19.0 + 1.0 / 256, "19.0 (woord 4864)"},     // shows alike: the word tells
    };
    for (const auto& row : rows) Controls().SetValue(FindNvmParameter(row.control)->Address / 2u, row.value);
    EXPECT_EQ(marks.Count(), 4u);
    EXPECT_EQ(tab->text(), QStringLiteral("4 wijzigingen niet weggeschreven (1 in Geavanceerd)"));
    EXPECT_EQ(settings->lblChanges->text(), QStringLiteral("4 wijzigingen niet weggeschreven (3 op het tabblad Instellingen)"));
    for (const auto& row : rows) {
        const QString tip = Controls().Control(FindNvmParameter(row.control)->Address / 2u)->toolTip();
        EXPECT_TRUE(tip.startsWith(QStringLiteral("Op het KORVEL bord: %1 (gemeld om ").arg(row.board))) << tip.toStdString();
    }
    TNumericField* pump = Field("onfPumpStartupTime");
    EXPECT_EQ(pump->palette().color(QPalette::Active, QPalette::Base), ChangeMarkColour());

    // An entry the field does not take is red over the mark, and still a change.
    pump->setText(QStringLiteral("4x"));
    emit pump->textEdited(pump->text());
    EXPECT_EQ(pump->palette().color(QPalette::Active, QPalette::Base), QColor(Qt::red));
    EXPECT_EQ(marks.Count(), 4u);

    // The board's values again: nothing marked, nothing counted.
    Receive(BoardReport());
    EXPECT_EQ(marks.Count(), 0u);
    EXPECT_TRUE(tab->isHidden());
    EXPECT_FALSE(pump->Marked());
    EXPECT_TRUE(pump->toolTip().isEmpty());
}

TEST_F(SettingsTest, NothingUnwrittenIsDiscardedWithoutAsking) {
    Connect();
    ChooseService();
    Receive(BoardReport());
    // A file and a snapshot that would replace the fields.
    QTemporaryDir dir;
    TNvmWords other = *NvmWordsOfReport(BoardReport());
    other[25] = 99;  // degree minutes
    const QString file = dir.filePath(QStringLiteral("other.csv"));
    std::ofstream(file.toStdString(), std::ios::binary) << WriteSettingsFile(other, "1", "2026-12-09 10:00:00", '.');
    form->SettingsTransfer->Snapshots().SetFolder(dir.filePath(QStringLiteral("snapshots")).toStdString());
    std::string error;
    ASSERT_TRUE(form->SettingsTransfer->Snapshots().Save(other, "1", "2026-12-09 10:00:00", '.', error)) << error;
    const TSnapshotEntry snapshot = form->SettingsTransfer->SnapshotEntries()->front();

    const struct {
        const char* name;
        std::function<void()> act;
        const char* consequence;
    } rows[] = {
        {"fetch", [&] { form->GetSettingsActionExecute(); }, MSG_DISCARD_FETCH},
        {"defaults", [&] { form->SetDefaults(); }, MSG_DISCARD_DEFAULTS},
        {"file", [&] { form->SettingsTransfer->LoadFromFile(file); }, MSG_DISCARD_FILE},
        {"snapshot", [&] { form->SettingsTransfer->LoadSnapshot(snapshot); }, MSG_DISCARD_SNAPSHOT},
        {"leave service", [&] { form->ModeSnifAction->trigger(); }, MSG_DISCARD_LEAVE_SERVICE},
        {"disconnect", [&] { form->DisconnectActionExecute(); }, MSG_DISCARD_DISCONNECT},
        {"close", [&] { EXPECT_FALSE(form->close()); }, MSG_DISCARD_CLOSE},
    };
    Field("onfPumpStartupTime")->SetValue(45);
    peer.Blocks();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        host.ClearRecords();
        host.ScriptAnswers({TModalResult::mrCancel});
        row.act();
        ASSERT_EQ(host.Boxes().size(), 1u);
        EXPECT_EQ(host.Boxes()[0].text, MSG_UNWRITTEN_ONE);
        EXPECT_EQ(host.Boxes()[0].advice, row.consequence);
        EXPECT_EQ(host.Boxes()[0].buttons, TMsgDlgButtons::mbOKCancel);
        // Stopping leaves everything as it was.
        EXPECT_EQ(Field("onfPumpStartupTime")->Value(), 45);
        EXPECT_EQ(Field("onfDegreesMinutes")->Value(), 20);
        EXPECT_TRUE(form->ModeServiceAction->isChecked() && ServiceTabVisible());
        EXPECT_EQ(form->CommsDataModule->ConnectionState(), csConnected);
        EXPECT_TRUE(peer.Blocks().empty());
    }
    // Going on does what was asked.
    host.ClearRecords();
    form->GetSettingsActionExecute();
    EXPECT_EQ(peer.Blocks(), (Blocks{{P2KGETNVM}}));
}

TEST_F(SettingsTest, EnteringServiceModeAgainAsksOnceBeforeItsFetchesReplaceChanges) {
    Connect();
    ChooseService();
    Receive(BoardReport());
    Field("onfPumpStartupTime")->SetValue(45);
    form->ModeSnifAction->trigger();  // asked, and agreed: the change stays in its field
    peer.Blocks();
    host.ClearRecords();
    host.ScriptAnswers({TModalResult::mrOk, TModalResult::mrCancel});
    ChooseService();  // the tab's fetch asks first
    Receive({48});
    Receive({32});    // the board's confirmation fetches too, on the same answer
    ASSERT_TRUE(form->GetSettingsAction->isEnabled());
    QCoreApplication::processEvents();
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{MSG_SWITCH_TO_PROGRAM, MSG_UNWRITTEN_ONE}));
    for (const auto& block : peer.Blocks()) EXPECT_NE(block, std::vector<uint8_t>{P2KGETNVM});
    EXPECT_EQ(Field("onfPumpStartupTime")->Value(), 45);
}

// With the line gone the settings tab is gone too: nothing may replace the edits kept in the
// fields unseen until the board has reported again; saving them stays possible.
TEST_F(SettingsTest, AfterALostLineTheKeptEditsWaitForTheNextReport) {
    StartBoard();
    board->SetSilent(true);  // its report is the one below, never a late one
    ChooseService();
    BoardReports();
    Field("onfPumpStartupTime")->SetValue(45);
    board->HangUp();
    ASSERT_TRUE(host.PumpUntil([&] { return form->ConnectAction->isEnabled(); }));
    EXPECT_FALSE(form->DefaultSettingsAction->isEnabled());
    EXPECT_TRUE(form->SaveSettingsAction->isEnabled());
    form->SetDefaults();
    EXPECT_EQ(Field("onfPumpStartupTime")->Value(), 45);
    Receive(BoardReport());
    EXPECT_TRUE(form->DefaultSettingsAction->isEnabled());
}

}  // namespace
}  // namespace korvel::test
