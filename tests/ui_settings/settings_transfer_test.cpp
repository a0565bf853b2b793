#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRegularExpression>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <thread>

#include "ui_settings/settings_fixture.h"

namespace korvel::test {
namespace {

using Clock = std::chrono::steady_clock;

std::string Name(size_t row) { return NvmDisplayName(NvmParameters()[row]); }
// The rows 0 .. answered-1 the board confirmed, then the one it left unanswered.
std::string Confirmed(size_t answered) {
    return FormatText(MSG_SOME_SENT, {std::to_string(answered), "115", Name(0), Name(answered - 1)}) + " " +
           FormatText(MSG_THEN_UNANSWERED, {Name(answered)});
}

TEST_F(SettingsTest, WriteSendsWhatTheControlsShowAndTheBoardStoresIt) {
    StartBoard();
    BoardReports();
    form->SetDefaults();
    Field("onfNightOff")->SetValue(19.3);
    Field("onfCoolingOn")->SetValue(1.3);  // single precision: must still go out as 13
    Field("onfMinBoilerOnTime")->SetValue(40000);
    Field("onfFixedTempTime")->SetValue(900);
    Field("onfTableSame16")->SetValue(-7);
    Controls().SetValue(FindNvmParameter("rgTestmode")->Address / 2, 3);
    const std::vector<uint16_t> expected = ShownWords();

    int maxPercent = 0;
    bool locked = true;
    host.OnProcessEvents = [&] {
        maxPercent = std::max(maxPercent, form->ProgressMeter->Percent());
        // Pages, menus and tool bar take no input; the strip stays live, with its way to stop.
        locked = locked && !form->PageControl1->isEnabled() && !form->ActionMainMenuBar1->isEnabled() &&
                 !form->ActionToolBar1->isEnabled() && form->Panel2->isEnabled() && !form->btnStopRun->isHidden() &&
                 !settings->isEnabled() && QGuiApplication::overrideCursor() &&
                 form->ProgressLabel->text() == QStringLiteral("Instellingen wegschrijven");
    };
    form->SetSettingsActionExecute();
    host.OnProcessEvents = nullptr;

    EXPECT_EQ(BoxTexts(), std::vector<std::string>{MSG_PROGRAMMED});
    const auto writes = Sent(P2KSETNVM);
    ASSERT_EQ(writes.size(), NVM_PARAMETER_COUNT);
    for (size_t i = 0; i < writes.size(); ++i) {
        ASSERT_EQ(writes[i].size(), 5u);
        EXPECT_EQ(writes[i][1] | writes[i][2] << 8, static_cast<int>(2 * i));
        EXPECT_EQ(writes[i][3] | writes[i][4] << 8, expected[i]) << NvmParameters()[i].Control;
    }
    EXPECT_EQ(Sent(P2KFLASHNVM), (Blocks{{P2KFLASHNVM}}));
    EXPECT_EQ(Words(board->Nvm()), expected);
    EXPECT_EQ(maxPercent, 100);
    EXPECT_TRUE(locked);
    EXPECT_TRUE(form->PageControl1->isEnabled() && form->ActionMainMenuBar1->isEnabled());
    EXPECT_TRUE(form->btnStopRun->isHidden());
    EXPECT_TRUE(settings->isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(form->ProgressMeter->isHidden());
    EXPECT_EQ(form->ProgressMeter->Percent(), 0);
    EXPECT_TRUE(form->ProgressLabel->text().startsWith(QStringLiteral("Verbonden met")));
    // The controls now show what the board sent back: the word 40000 reads signed.
    EXPECT_EQ(Field("onfMinBoilerOnTime")->Value(), -25536);
    EXPECT_TRUE(form->SettingsCollected);
}

TEST_F(SettingsTest, UnansweredRequestsEndTheRunWithTheirMessage) {
    // The box's text is the old text exactly; below it what was sent and answered, and what to do.
    const struct {
        const char* name;
        uint32_t dropAnswer;
        const char* box;
        std::string advice;
        size_t writes;
        size_t stores;
    } rows[] = {
        {"11th write", 11, MSG_COMMS_FAILED, FormatText(MSG_WRITE_UNANSWERED, {Confirmed(10), MSG_NO_ANSWER_ADVICE}),
         11, 0},
        {"store", 116, MSG_NOT_PROGRAMMED, FormatText(MSG_STORE_UNANSWERED, {MSG_NO_ANSWER_ADVICE}), 115, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (board) form->DisconnectActionExecute();
        sim::BoardSimOptions options;
        options.dropAnswer = row.dropAnswer;
        StartBoard(options);
        BoardReports();
        form->SetDefaults();
        host.ClearRecords();
        int percentAtTheEnd = 0;
        host.OnMessageBox = [&](const ShownBox&) { percentAtTheEnd = form->ProgressMeter->Percent(); };
        form->SetSettingsActionExecute();
        host.OnMessageBox = nullptr;
        ASSERT_EQ(host.Boxes().size(), 1u);
        EXPECT_EQ(host.Boxes()[0].text, row.box);
        EXPECT_EQ(host.Boxes()[0].advice, row.advice);
        EXPECT_EQ(host.Boxes().back().type, TMsgDlgType::mtError);
        EXPECT_EQ(Sent(P2KSETNVM).size(), row.writes);
        EXPECT_EQ(Sent(P2KFLASHNVM).size(), row.stores);
        EXPECT_EQ(percentAtTheEnd, 100);  // the walk goes on to the end without sending
        EXPECT_TRUE(form->ProgressMeter->isHidden());
        EXPECT_TRUE(form->isEnabled());
    }
}

TEST_F(SettingsTest, AWaitIsCountedInALiveStripAndStoppingSendsNothingMore) {
    sim::BoardSimOptions options;
    options.dropWrite = 6;
    StartBoard(options);
    BoardReports();
    form->SetDefaults();
    QString waiting;
    host.OnProcessEvents = [&] {
        QCoreApplication::processEvents();  // the strip's own timer
        const QString text = form->ProgressLabel->text();
        if (!waiting.isEmpty() || !text.startsWith(QStringLiteral("Geen antwoord"))) return;
        waiting = text;
        EXPECT_TRUE(form->Panel2->isEnabled() && form->btnStopRun->isEnabled());
        form->btnStopRun->click();
    };
    form->SetSettingsActionExecute();
    host.OnProcessEvents = nullptr;
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Geen antwoord van het bord, al \\d+ s: ")).match(waiting).hasMatch())
        << waiting.toStdString();
    EXPECT_EQ(Sent(P2KSETNVM).size(), 6u);
    EXPECT_TRUE(Sent(P2KFLASHNVM).empty());
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{MSG_WRITE_STOPPED_TEXT});
    EXPECT_EQ(host.Boxes()[0].advice, FormatText(MSG_WRITE_STOPPED, {Confirmed(5)}));
}

TEST_F(SettingsTest, AWriteGoesOnWithoutASnapshotOnlyWhenTheEngineerSaysSo) {
    StartBoard();
    BoardReports();
    form->SetDefaults();
    form->SettingsTransfer->Snapshots().SetFolder("/proc/korvel/snapshots");  // cannot be made
    host.ScriptAnswers({TModalResult::mrCancel});
    form->SetSettingsActionExecute();
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].text.rfind("De momentopname kan niet worden opgeslagen in /proc/korvel/snapshots", 0), 0u);
    EXPECT_TRUE(board->ReceivedBlocks().empty());
}

TEST_F(SettingsTest, PulledAdapterEndsTheRunAtOnceAndStoresNothing) {
    StartBoard();
    BoardReports();
    form->SetDefaults();
    bool pulled = false;
    Clock::time_point pulledAt;
    host.OnProcessEvents = [&] {
        if (!pulled && Sent(P2KSETNVM).size() >= 20) {
            board->HangUp();
            pulled = true;
            pulledAt = Clock::now();
        }
    };
    form->SetSettingsActionExecute();
    host.OnProcessEvents = nullptr;
    ASSERT_TRUE(pulled);
    EXPECT_LT(Clock::now() - pulledAt, std::chrono::seconds(3));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{MSG_COMMS_FAILED});
    // How far it came, and the adapter's advice.
    const std::string advice = host.Boxes()[0].advice;
    const size_t sent = Sent(P2KSETNVM).size();
    EXPECT_TRUE(advice.find(FormatText(MSG_SOME_SENT, {std::to_string(sent), "115", Name(0), Name(sent - 1)})) !=
                    std::string::npos ||
                advice.find(Confirmed(sent - 1)) != std::string::npos)
        << advice;
    EXPECT_NE(advice.find(MSG_LOCAL_LINE_ADVICE), std::string::npos);
    EXPECT_LE(Sent(P2KSETNVM).size(), 21u);
    EXPECT_TRUE(Sent(P2KFLASHNVM).empty());
    EXPECT_TRUE(form->isEnabled());
    // The run may notice the pull before the port reports it; the loss is still told once.
    EXPECT_TRUE(host.PumpUntil([&] { return form->ConnectAction->isEnabled(); }));
    host.PumpUntil([] { return false; }, 300);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{MSG_COMMS_FAILED});
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(SettingsTest, LineLostAfterTheStoreRequestSaysTheStoreIsUnknown) {
    sim::BoardSimOptions options;
    options.dropStore = true;
    StartBoard(options);
    BoardReports();
    form->SetDefaults();
    host.OnProcessEvents = [&] {
        if (!Sent(P2KFLASHNVM).empty()) board->HangUp();
    };
    form->SetSettingsActionExecute();
    host.OnProcessEvents = nullptr;
    host.PumpUntil([] { return false; }, 300);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{MSG_COMMS_FAILED});
    EXPECT_EQ(host.Boxes()[0].advice, MSG_STORE_LINE_LOST);
    EXPECT_TRUE(form->isEnabled());
}

TEST_F(SettingsTest, ShowingTheTabOnAPortClosedUnderItRaisesNothing) {
    StartBoard();
    board->HangUp();
    // The receive thread closes the port at once; the window hears of it only when it next
    // processes events, and an allowance refresh (a command unwinding) may come first.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_NO_THROW(form->SettingsTransfer->TabSheetServiceShow());
    EXPECT_TRUE(board->ReceivedBlocks().empty());
}

TEST_F(SettingsTest, WriteIsRefusedWhileTheControlsHoldNothingToWrite) {
    StartBoard();
    form->SetSettingsActionExecute();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{MSG_NOTHING_TO_WRITE});

    // An entry the field shows as invalid is named, and nothing goes out.
    form->SetDefaults();
    host.ClearRecords();
    TNumericField* pump = Field("onfPumpDelayCooling");
    pump->setText(QStringLiteral("12a"));
    emit pump->textEdited(pump->text());
    TNumericField* curve = Field("StooklijnFH.YMax");
    curve->setText(QStringLiteral("120.0"));
    emit curve->textEdited(curve->text());
    form->SetSettingsActionExecute();
    ASSERT_EQ(host.Boxes().size(), 1u);
    const std::string text = host.Boxes()[0].text;
    EXPECT_NE(text.find("- Pomp nalooptijd (s) (Koelen): 12a"), std::string::npos) << text;
    EXPECT_NE(text.find("- Vloerverwarming stooklijn hoog YMax: 120.0"), std::string::npos) << text;
    EXPECT_TRUE(board->ReceivedBlocks().empty());
}

TEST_F(SettingsTest, DefaultsTouch113ControlsAndSendNothing) {
    StartBoard();
    TParameterControls controls = Controls();
    for (size_t i = 0; i < NVM_PARAMETER_COUNT; ++i) controls.SetValue(i, 1);
    form->SetDefaults();
    size_t changed = 0;
    for (size_t i = 0; i < NVM_PARAMETER_COUNT; ++i) changed += controls.Value(i) != 1;
    EXPECT_EQ(changed, 113u);
    EXPECT_EQ(Field("onfFixedTempTime")->Value(), 1);
    EXPECT_EQ(Field("onfFixedTempValue")->Value(), 1);
    EXPECT_EQ(qobject_cast<TRadioGroup*>(controls.Control(112))->ItemIndex(), 0);
    EXPECT_FALSE(form->SettingsCollected);
    EXPECT_TRUE(host.Boxes().empty());
    EXPECT_TRUE(board->ReceivedBlocks().empty());
}

TEST_F(SettingsTest, ReportFillsEveryControlAndAShortOneIsIgnored) {
    std::vector<uint8_t> report(NVM_REPORT_SIZE);
    report[0] = K2PRGETNVM;
    for (size_t i = 1; i < report.size(); ++i) report[i] = static_cast<uint8_t>(i * 37 + 11);
    const std::vector<double> expected = *DecodeNvmReport(report);
    for (uint8_t id : {K2PRGETNVM, K2PRFLASHNVM}) {
        form->SetDefaults();
        form->SettingsCollected = false;
        form->Service().KeepInServiceModeTicker = 5;
        report[0] = id;
        Receive(report);
        const std::vector<double> shown = Controls().Values();
        for (size_t i = 0; i < shown.size(); ++i)  // single-precision fields hold floats
            EXPECT_FLOAT_EQ(static_cast<float>(shown[i]), static_cast<float>(expected[i])) << int(id) << " " << i;
        EXPECT_TRUE(form->SettingsCollected);
        EXPECT_EQ(form->Service().KeepInServiceModeTicker, 0);
    }
    // One byte short: its last word would come from stale bytes; nothing changes.
    form->SetDefaults();
    const std::vector<double> defaults = Controls().Values();
    form->SettingsCollected = false;
    report.pop_back();
    Receive(report);
    EXPECT_EQ(Controls().Values(), defaults);
    EXPECT_FALSE(form->SettingsCollected);
    EXPECT_EQ(host.Traces().back(), "NVM report ignored: 230 bytes, 231 expected");
}

TEST_F(SettingsTest, TheSettingsTabFetchesWhenShownAndRemindsWhenLeft) {
    std::vector<uint8_t> report(NVM_REPORT_SIZE);
    report[0] = K2PRGETNVM;
    Connect();  // a bare peer: only the tool's own requests arrive
    ChooseService();
    EXPECT_EQ(peer.Blocks(), (Blocks{{P2KGETNVM}}));
    Receive(report);
    ASSERT_TRUE(form->SettingsCollected);

    // A mode change clears the flag before the tab hides: no reminder, and a fetch on return.
    host.ClearRecords();
    form->ModeSnifAction->trigger();
    ChooseService();
    EXPECT_EQ(peer.Blocks(), (Blocks{{P2KGETNVM}}));
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Zet de RUN/PROGRAM schakelaar in de stand RUN.",
                                                    "Zet de RUN/PROGRAM schakelaar in de stand PROGRAM."}));

    // Shown again with the settings collected: nothing is fetched.
    Receive(report);
    form->TabSheetServiceShow();
    EXPECT_TRUE(peer.Blocks().empty());

    // Closing the connection hides the tab with the settings collected.
    host.ClearRecords();
    form->DisconnectActionExecute();
    ASSERT_EQ(host.Boxes().size(), 2u);
    EXPECT_EQ(host.Boxes()[1].text, MSG_SWITCH_TO_RUN);
    EXPECT_EQ(host.Boxes()[0].type, TMsgDlgType::mtConfirmation);
    EXPECT_EQ(host.Boxes()[0].buttons, TMsgDlgButtons::mbOK);
    EXPECT_EQ(host.Boxes()[0].text, MSG_SAVE_REMINDER);
}

TEST_F(SettingsTest, StoredWordsThatDifferFromTheWrittenOnesAreNamed) {
    const struct {
        uint16_t address;
        const char* line;
    } rows[] = {
        {40, "- Pomp nalooptijd (s) (Koelen): weggeschreven 120, opgeslagen 121"},
        // 1/256 apart shows the same: the words tell them apart.
        {46, "- Temperatuur voor nachtstand: weggeschreven 19.0 (woord 4864), opgeslagen 19.0 (woord 4865)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.address);
        if (board) form->DisconnectActionExecute();
        sim::BoardSimOptions options;
        options.storeWrong = row.address;
        StartBoard(options);
        BoardReports();
        form->SetDefaults();
        const std::vector<uint16_t> written = ShownWords();
        host.ClearRecords();
        form->SetSettingsActionExecute();
        // One outcome, an error naming it; the fields show what the board sent back.
        const auto boxes = host.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].type, TMsgDlgType::mtError);
        EXPECT_EQ(boxes[0].text, MSG_NOT_PROGRAMMED);
        EXPECT_EQ(boxes[0].advice, FormatText(MSG_STORE_DIFFERS, {row.line}));
        EXPECT_NE(ShownWords(), written);
        EXPECT_EQ(ShownWords(), Words(board->Nvm()));
        EXPECT_EQ(form->SettingsTransfer->Marks().Count(), 0u);
    }
}

TEST_F(SettingsTest, AReportArrivingDuringARunChangesNeitherWhatIsWrittenNorTheControls) {
    sim::BoardSimOptions options;
    options.dropAnswer = 50;
    StartBoard(options);
    BoardReports();
    form->SetDefaults();
    Field("onfPumpDelayHeating")->SetValue(75);
    const std::vector<uint16_t> expected = ShownWords();
    std::vector<uint8_t> report(NVM_REPORT_SIZE);
    report[0] = K2PRGETNVM;  // all zero: a late answer to a fetch
    bool delivered = false;
    host.OnProcessEvents = [&] {
        if (!delivered && Sent(P2KSETNVM).size() >= 5) {
            delivered = true;
            Receive(report);
        }
    };
    form->SetSettingsActionExecute();
    host.OnProcessEvents = nullptr;
    ASSERT_TRUE(delivered);
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].text.rfind(MSG_COMMS_FAILED, 0), 0u);
    const auto writes = Sent(P2KSETNVM);
    ASSERT_EQ(writes.size(), 50u);
    for (size_t i = 0; i < writes.size(); ++i) EXPECT_EQ(writes[i][3] | writes[i][4] << 8, expected[i]) << i;
    EXPECT_EQ(ShownWords(), expected);
}

}  // namespace
}  // namespace korvel::test
