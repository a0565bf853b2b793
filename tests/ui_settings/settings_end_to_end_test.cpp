// A service visit through the windows, on the real Qt host, against the stand-in over a pty:
// service mode, fetch, typing in both windows, write, store.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <chrono>

#include "app/main_form.h"
#include "app/qt_ui_host.h"
#include "board_sim.h"
#include "messages/advanced_view_form.h"
#include "settings/advanced_settings_form.h"
#include "settings/settings_page.h"
#include "settings/settings_transfer.h"
#include "widgets/numeric_field.h"

namespace korvel {
namespace {

using Clock = std::chrono::steady_clock;

class SettingsEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        host.MessageBoxHook = [this](TMsgDlgType, const std::string& text, TMsgDlgButtons) {
            boxes.push_back(text);
            return TModalResult::mrOk;
        };
        host.InputBoxHook = [](const std::string&, const std::string&, const std::string&) { return PIN_CODE; };
        view = std::make_unique<TAdvancedViewForm>();
        AdvancedViewForm = view.get();
        settings = std::make_unique<TAdvancedSettingsForm>();
        AdvancedSettingsForm = settings.get();
        form = std::make_unique<TMainForm>(host);
        form->show();
    }
    void TearDown() override {
        host.Shutdown();
        form.reset();
        AdvancedSettingsForm = nullptr;
        AdvancedViewForm = nullptr;
    }
    template <typename Pred>
    bool PumpUntil(Pred done, int ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (!done() && Clock::now() < end) host.ProcessEvents(20);
        return done();
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

    QtUiHost host;
    std::vector<std::string> boxes;
    std::unique_ptr<TAdvancedViewForm> view;
    std::unique_ptr<TAdvancedSettingsForm> settings;
    std::unique_ptr<TMainForm> form;
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

}  // namespace
}  // namespace korvel
