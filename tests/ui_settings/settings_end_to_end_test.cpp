// A service visit through the windows, on the real Qt host, against the stand-in over a pty:
// service mode, fetch, typing in both windows, write, store; and what protects the engineer's
// edits and the board's values on the way.
#include <gtest/gtest.h>

#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <deque>

#include "messages/message_ids.h"
#include "settings/advanced_settings_form.h"
#include "settings/settings_page.h"
#include "host/text_format.h"
#include "messages/message_ids.h"
#include "settings/settings_transfer.h"
#include "ui_app/end_to_end_fixture.h"
#include "visit/service_visit.h"
#include "widgets/numeric_field.h"

namespace korvel {
namespace {

class SettingsEndToEnd : public EndToEnd {
protected:
    void BeforeMainForm() override {
        host.InputBoxHook = [](const std::string&, const std::string&, const std::string&) { return PIN_CODE; };
        settings = std::make_unique<TAdvancedSettingsForm>();
        AdvancedSettingsForm = settings.get();
    }
    void SetUp() override {
        EndToEnd::SetUp();
        host.MessageBoxHook = [this](TMsgDlgType, const std::string& text, TMsgDlgButtons) {
            boxes.push_back(text);
            if (answers.empty()) return TModalResult::mrOk;
            const TModalResult answer = answers.front();
            answers.pop_front();
            return answer;
        };
        form->SettingsTransfer->Snapshots().SetFolder(snapshots.path().toStdString());
        form->show();
    }
    // The stand-in connected, in service mode, its settings fetched; both fetches of entering
    // service mode are answered before the engineer types.
    std::unique_ptr<sim::BoardSim> InService(sim::BoardSimOptions options) {
        options.program = true;
        auto board = std::make_unique<sim::BoardSim>(options);
        auto& port = form->CommsDataModule->ZylSerialPort;
        port.SetCustomPortName(board->Start());
        port.SetPort(spCustom);
        form->ConnectAction->trigger();
        form->ModeServiceAction->trigger();
        EXPECT_TRUE(PumpUntil([&] { return form->SetSettingsAction->isEnabled() && form->SettingsCollected; }, 8000));
        PumpFor(1500);
        return board;
    }
    TNumericField* Field(const char* control) const {
        return qobject_cast<TNumericField*>(form->SettingsTransfer->Controls().Control(FindNvmParameter(control)->Address / 2u));
    }
    void TearDown() override {
        EndToEnd::TearDown();
        AdvancedSettingsForm = nullptr;
    }
    // As the engineer types: select what is there, type, leave the field.
    static void Type(QWidget* window, const char* control, const char* text) {
        const std::string name(control);
        const auto dot = name.find('.');
        QWidget* holder = dot == std::string::npos ? window
                                                   : window->findChild<QWidget*>(QString::fromStdString(name.substr(0, dot)));
        auto* field = holder->findChild<TNumericField*>(QString::fromStdString(name.substr(dot + 1)));
        ASSERT_NE(field, nullptr) << control;
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, QString::fromLatin1(text));
        QTest::keyClick(field, Qt::Key_Tab);
        EXPECT_TRUE(field->EntryValid()) << control;
    }

    std::unique_ptr<TAdvancedSettingsForm> settings;
    std::deque<TModalResult> answers;  // of the questions asked, in order; then OK
    QTemporaryDir snapshots;
};

TEST_F(SettingsEndToEnd, FetchEditWriteStoreLeavesTheBoardHoldingWhatTheWindowsShow) {
    sim::BoardSimOptions options;
    options.reportMs = 500;
    const auto board = InService(options);

    Type(form->TabSheetService, "onfNightOff", "21.5");
    Type(form->TabSheetService, "onfCoolingOn", "1.3");
    Type(form->TabSheetService, "StooklijnRH.YMax", "85.5");
    form->TabSheetService->btnShowAdvancedSettings->click();
    ASSERT_TRUE(settings->isVisible());
    Type(settings.get(), "onfTableUp03", "-15");
    Type(settings.get(), "TimeConstantsFL.DeltaT", "7.5");
    Type(settings.get(), "onfFixedTempValue", "35.5");

    std::vector<uint16_t> shown;
    const TParameterControls controls = form->SettingsTransfer->Controls();
    for (size_t i = 0; i < NVM_PARAMETER_COUNT; ++i)
        shown.push_back(NvmWordOf(ScaleNvmValue(NvmParameters()[i], controls.Value(i))));

    boxes.clear();
    form->SetSettingsAction->trigger();
    EXPECT_EQ(boxes, std::vector<std::string>{MSG_PROGRAMMED});
    const std::vector<uint8_t> nvm = board->Nvm();
    for (size_t i = 0; i < NVM_PARAMETER_COUNT; ++i)
        EXPECT_EQ(NvmWordAt(nvm, NvmParameters()[i].Address), shown[i]) << NvmParameters()[i].Control;
    EXPECT_EQ(NvmWordAt(nvm, 46), 21.5 * 256);
    EXPECT_EQ(NvmWordAt(nvm, 206), 13);
    EXPECT_EQ(static_cast<int16_t>(NvmWordAt(nvm, 142)), -15);
}

// The visit through ser2net: fetch, write, store; then a write whose server is killed halfway ends
// as a pulled adapter's does, saying what to check, with nothing stored; and the engineer connects
// again.
TEST_F(SettingsEndToEnd, WriteAndStoreThroughANetworkServerAndTheServerKilledHalfway) {
    if (!test::Ser2net::Installed()) GTEST_SKIP() << "ser2net is not installed";
    for (const auto mode : kServerModes) {
        sim::BoardSimOptions options;
        options.program = true;
        options.reportMs = 500;
        sim::BoardSim board(options);
        const std::string pty = board.Start();
        auto server = std::make_unique<test::Ser2net>(pty, mode);
        SCOPED_TRACE(server->Address());
        ASSERT_TRUE(ConnectTo(server->Address()));
        form->ModeServiceAction->trigger();
        ASSERT_TRUE(PumpUntil([&] { return form->SetSettingsAction->isEnabled() && form->SettingsCollected; }, 8000));
        PumpFor(1500);  // both fetches answered
        Type(form->TabSheetService, "onfNightOff", "19.5");
        boxes.clear();
        form->SetSettingsAction->trigger();
        EXPECT_EQ(boxes, std::vector<std::string>{MSG_PROGRAMMED});
        EXPECT_EQ(NvmWordAt(board.Nvm(), 46), 19.5 * 256);

        const auto stores = [&] { return CountSent(board, P2KFLASHNVM); };
        const size_t storedBefore = stores();
        QTimer killer;
        killer.callOnTimeout([&] {
            const auto blocks = board.ReceivedBlocks();
            if (std::count_if(blocks.end() - 20, blocks.end(), [](const auto& b) { return b[0] == P2KSETNVM; }) == 20)
                server->Kill();
        });
        killer.start(5);
        boxes.clear();
        form->SetSettingsAction->trigger();
        killer.stop();
        ASSERT_EQ(boxes.size(), 1u);
        // The server's advice, not the adapter's.
        EXPECT_EQ(boxes[0].rfind(std::string(MSG_COMMS_FAILED) + "\n\nDe verbinding met het KORVEL bord is verbroken", 0), 0u);
        EXPECT_NE(boxes[0].find("De server op " + server->Address() + " heeft de verbinding verbroken"), std::string::npos);
        EXPECT_EQ(boxes[0].find(MSG_LOCAL_LINE_ADVICE), std::string::npos) << boxes[0];
        EXPECT_EQ(stores(), storedBefore);
        EXPECT_TRUE(form->ConnectAction->isEnabled());
        server = std::make_unique<test::Ser2net>(pty, mode);
        EXPECT_TRUE(ConnectTo(server->Address()));
        form->DisconnectAction->trigger();
    }
}

TEST_F(SettingsEndToEnd, AnEditSurvivesACancelledFetchAndAStoreThatDiffersShowsWhatTheBoardKept) {
    sim::BoardSimOptions options;
    options.storeWrong = 54;  // keeps "Pomp voorlooptijd" one more than written
    const auto board = InService(options);
    Type(form->TabSheetService, "onfPumpStartupTime", "45");
    const size_t fetches = CountSent(*board, P2KGETNVM);
    boxes.clear();
    answers = {TModalResult::mrCancel};
    form->GetSettingsAction->trigger();
    PumpFor(300);
    EXPECT_EQ(boxes, std::vector<std::string>{std::string(MSG_UNWRITTEN_ONE) + "\n\n" + MSG_DISCARD_FETCH});
    EXPECT_EQ(CountSent(*board, P2KGETNVM), fetches);
    EXPECT_EQ(Field("onfPumpStartupTime")->Value(), 45);

    // One error naming the parameter; the field shows what the board kept, and a second write
    // sends what is typed again.
    boxes.clear();
    form->SetSettingsAction->trigger();
    EXPECT_EQ(boxes, std::vector<std::string>{std::string(MSG_NOT_PROGRAMMED) + "\n\n" +
                                              FormatText(MSG_STORE_DIFFERS,
                                                         {"- Pomp voorlooptijd (s): weggeschreven 45, opgeslagen 46"})});
    EXPECT_EQ(Field("onfPumpStartupTime")->Value(), 46);
    EXPECT_FALSE(Field("onfPumpStartupTime")->Marked());
    Type(form->TabSheetService, "onfPumpStartupTime", "45");
    form->SetSettingsAction->trigger();
    std::vector<uint8_t> last;
    for (const auto& b : board->ReceivedBlocks())
        if (b.size() == 5 && b[0] == P2KSETNVM && b[1] == 54) last = b;
    ASSERT_EQ(last.size(), 5u);
    EXPECT_EQ(last[3] | last[4] << 8, 45);

    // A snapshot before each write, holding what the board had; one loads back word for word.
    const auto entries = *form->SettingsTransfer->SnapshotEntries();
    ASSERT_EQ(entries.size(), 2u);
    TNvmWords before{};
    for (size_t i = 0; i < NVM_PARAMETER_COUNT; ++i) before[i] = NvmWordAt(sim::BoardSim::StartNvm(), 2 * i);
    EXPECT_EQ(entries.back().Read->Words, before);
    before[27] = 46;
    EXPECT_EQ(entries.front().Read->Words, before);
    ASSERT_TRUE(form->SettingsTransfer->LoadSnapshot(entries.front()));
    EXPECT_EQ(NvmWordsOf(form->SettingsTransfer->Controls().Values()), before);
}

TEST_F(SettingsEndToEnd, APulledStandInLeavesTheEditsInTheFieldsToBeSaved) {
    const auto board = InService({});
    Type(form->TabSheetService, "onfNightOff", "21.5");
    QTimer pull;
    QObject::connect(&pull, &QTimer::timeout, [&] {
        const auto blocks = board->ReceivedBlocks();
        if (std::count_if(blocks.begin(), blocks.end(), [](const auto& b) { return b[0] == P2KSETNVM; }) >= 20) {
            board->HangUp();
            pull.stop();
        }
    });
    pull.start(1);
    boxes.clear();
    form->SetSettingsAction->trigger();
    ASSERT_FALSE(pull.isActive());
    EXPECT_EQ(boxes.front().rfind(std::string(MSG_COMMS_FAILED) + "\n\n", 0), 0u);
    ASSERT_TRUE(PumpUntil([&] { return form->ConnectAction->isEnabled(); }, 3000));
    EXPECT_EQ(Field("onfNightOff")->Value(), 21.5);
    EXPECT_TRUE(Field("onfNightOff")->Marked());
    EXPECT_TRUE(form->SaveSettingsAction->isEnabled());
    const QString file = snapshots.filePath(QStringLiteral("kept.csv"));
    ASSERT_TRUE(form->SettingsTransfer->SaveToFile(file));
    EXPECT_EQ(ReadSnapshot(file.toStdString()).Words[23], 21.5 * 256);
}

// The visit on record: two parameters changed and written, a fault raised and cleared by the board;
// the report, read by a PDF reader we did not write, lists exactly those.
TEST_F(SettingsEndToEnd, TheServiceReportListsTheVisitsChangesAndFaults) {
    sim::BoardSimOptions options;
    options.reportMs = 200;
    options.faultFrom = 4;
    options.faultUntil = 8;
    form->SetInstallation(QStringLiteral(" Dorpsstraat 3 "));
    const auto board = InService(options);
    Type(form->TabSheetService, "onfNightOff", "21.5");
    Type(form->TabSheetService, "onfCoolingOn", "1.3");
    form->SetSettingsAction->trigger();
    ASSERT_TRUE(PumpUntil([&] { return form->Visit.Faults().Events().size() >= 2; }, 8000));

    const TServiceVisit& visit = form->Visit;
    EXPECT_EQ(visit.Stamp().Installation, "Dorpsstraat 3");
    EXPECT_EQ(visit.Stamp().Firmware, "131");
    const auto changes = visit.Changes('.');
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].Parameter->Control, "onfNightOff");
    EXPECT_EQ(changes[1].Parameter->Control, "onfCoolingOn");
    const auto faults = FaultLines(visit.Faults());
    ASSERT_EQ(faults.size(), 2u);
    EXPECT_EQ(faults[0].Name + " " + faults[0].What, "Flow probleem verschenen");
    EXPECT_EQ(faults[1].Name + " " + faults[1].What, "Flow probleem verdwenen");

    // After the line is gone, from what the tool kept.
    form->DisconnectAction->trigger();
    const QString pdf = snapshots.filePath(QStringLiteral("rapport.pdf"));
    ASSERT_TRUE(form->ServiceReportAccept(pdf));
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!reader.waitForStarted(5000)) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    ASSERT_TRUE(reader.waitForFinished(10000));
    const std::string text = QString::fromUtf8(reader.readAllStandardOutput()).simplified().toStdString();
    for (const std::string& expected :
         {std::string("Installatie Dorpsstraat 3"), std::string("Firmware versie 131"), faults[0].Time,
          faults[1].Time, std::string("Flow probleem verdwenen"), std::string("Pagina 1 van"),
          std::string("Servicerapport · Installatie: Dorpsstraat 3"),
          "Adres 46, " + NvmDisplayName(*changes[0].Parameter).substr(0, 20), changes[0].A + " " + changes[0].B})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
}

}  // namespace
}  // namespace korvel
