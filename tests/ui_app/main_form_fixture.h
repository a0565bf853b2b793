// A main window with its hidden companion windows, on a scripted host, optionally connected to a
// bare pseudo-terminal.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <array>
#include <memory>

#include "app/main_form.h"
#include "messages/advanced_view_form.h"
#include "messages/monitor_page.h"
#include "settings/advanced_settings_form.h"
#include "settings/settings_page.h"
#include "support/fake_ui_host.h"
#include "ui_app/pty_peer.h"

namespace korvel::test {

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        view = std::make_unique<TAdvancedViewForm>();
        AdvancedViewForm = view.get();
        settings = std::make_unique<TAdvancedSettingsForm>();
        AdvancedSettingsForm = settings.get();
        form = std::make_unique<TMainForm>(host);
    }
    void TearDown() override {
        form.reset();
        AdvancedSettingsForm = nullptr;
        AdvancedViewForm = nullptr;
    }

    void Connect() {
        auto& port = form->CommsDataModule->ZylSerialPort;
        port.SetCustomPortName(peer.Path());
        port.SetPort(spCustom);
        form->ConnectActionExecute();
        ASSERT_EQ(form->CommsDataModule->ConnectionState(), csConnected);
    }
    // Service mode as the engineer chooses it: the action is checked, then its handler runs.
    void ChooseService() { form->ModeServiceAction->trigger(); }

    void Receive(std::initializer_list<uint8_t> block) {
        std::array<uint8_t, 515> data{};
        std::copy(block.begin(), block.end(), data.begin());
        form->DatablockNotification(form->CommsDataModule.get(), static_cast<int32_t>(block.size() + 2), data.data());
    }
    void Receive(const std::vector<uint8_t>& block) {
        std::array<uint8_t, 515> data{};
        std::copy(block.begin(), block.end(), data.begin());
        form->DatablockNotification(form->CommsDataModule.get(), static_cast<int32_t>(block.size() + 2), data.data());
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) form->KeepInServiceModeTimerTimer();
    }
    bool ServiceTabVisible() const { return form->PageControl1->isTabVisible(form->PageControl1->indexOf(form->TabSheetService)); }
    bool MonitorTabVisible() const { return form->PageControl1->isTabVisible(form->PageControl1->indexOf(form->TabSheetToshiba)); }

    FakeUiHost host;
    PtyPeer peer;
    std::unique_ptr<TAdvancedViewForm> view;
    std::unique_ptr<TAdvancedSettingsForm> settings;
    std::unique_ptr<TMainForm> form;
};

using Blocks = std::vector<std::vector<uint8_t>>;

inline std::vector<std::string> BoxTexts(const FakeUiHost& host) {
    std::vector<std::string> texts;
    for (const auto& b : host.Boxes()) texts.push_back(b.text);
    return texts;
}

}  // namespace korvel::test
