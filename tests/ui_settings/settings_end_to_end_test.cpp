// A service visit through the windows, on the real Qt host, against the stand-in over a pty:
// service mode, fetch, typing in both windows, write, store.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "messages/message_ids.h"
#include "settings/advanced_settings_form.h"
#include "settings/settings_page.h"
#include "settings/settings_transfer.h"
#include "ui_app/end_to_end_fixture.h"
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
        form->show();
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
};

TEST_F(SettingsEndToEnd, FetchEditWriteStoreLeavesTheBoardHoldingWhatTheWindowsShow) {
    sim::BoardSimOptions options;
    options.program = true;
    options.reportMs = 500;
    sim::BoardSim board(options);
    auto& port = form->CommsDataModule->ZylSerialPort;
    port.SetCustomPortName(board.Start());
    port.SetPort(spCustom);
    form->ConnectAction->trigger();
    form->ModeServiceAction->trigger();
    ASSERT_TRUE(PumpUntil([&] { return form->SetSettingsAction->isEnabled() && form->SettingsCollected; }, 8000));
    // Entering service mode fetches twice; both answers arrive before the engineer types.
    const auto quiet = Clock::now() + std::chrono::milliseconds(1500);
    PumpUntil([&] { return Clock::now() > quiet; }, 2000);

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
    const std::vector<uint8_t> nvm = board.Nvm();
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
        EXPECT_EQ(boxes[0], std::string(MSG_WRITE_LINE_LOST) + "\nDe server op " + server->Address() +
                                " heeft de verbinding verbroken: controleer of de seriële server daar nog draait en "
                                "het bord aangesloten is, en maak opnieuw verbinding.");
        EXPECT_EQ(stores(), storedBefore);
        EXPECT_TRUE(form->ConnectAction->isEnabled());
        server = std::make_unique<test::Ser2net>(pty, mode);
        EXPECT_TRUE(ConnectTo(server->Address()));
        form->DisconnectAction->trigger();
    }
}

}  // namespace
}  // namespace korvel
