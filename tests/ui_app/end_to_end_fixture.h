// The whole window against the board stand-in over a real pseudo-terminal, on the real Qt host;
// or through Debian's ser2net in front of that pseudo-terminal.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "app/qt_ui_host.h"
#include "board_sim.h"
#include "messages/advanced_view_form.h"
#include "support/ser2net_server.h"

namespace korvel {

class EndToEnd : public ::testing::Test {
protected:
    using Clock = std::chrono::steady_clock;

    void SetUp() override {
        host.MessageBoxHook = [this](TMsgDlgType, const std::string& text, TMsgDlgButtons) {
            boxes.push_back(text);
            return TModalResult::mrOk;
        };
        view = std::make_unique<TAdvancedViewForm>();
        AdvancedViewForm = view.get();
        BeforeMainForm();
        form = std::make_unique<TMainForm>(host);
    }
    virtual void BeforeMainForm() {}
    void TearDown() override {
        host.Shutdown();
        form.reset();
        AdvancedViewForm = nullptr;
    }
    template <typename Pred>
    bool PumpUntil(Pred done, int ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (!done() && Clock::now() < end) host.ProcessEvents(20);
        return done();
    }
    void PumpFor(int ms) {
        PumpUntil([] { return false; }, ms);
    }
    // Connects as the engineer does, to a port or a network address; true when connected.
    bool ConnectTo(const std::string& port) {
        auto& p = form->CommsDataModule->ZylSerialPort;
        p.SetCustomPortName(port);
        p.SetPort(spCustom);
        form->ConnectAction->trigger();
        return form->CommsDataModule->ConnectionState() == csConnected;
    }
    static constexpr test::Ser2net::Mode kServerModes[] = {test::Ser2net::Mode::Rfc2217, test::Ser2net::Mode::Raw};
    size_t CountSent(const sim::BoardSim& board, uint8_t id) const {
        const auto blocks = board.ReceivedBlocks();
        return static_cast<size_t>(
            std::count_if(blocks.begin(), blocks.end(), [id](const auto& b) { return b.size() == 1 && b[0] == id; }));
    }

    QtUiHost host;
    std::vector<std::string> boxes;
    std::unique_ptr<TAdvancedViewForm> view;
    std::unique_ptr<TMainForm> form;
};

}  // namespace korvel
