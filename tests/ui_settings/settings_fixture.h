// The main window with its settings windows, connected to the board stand-in over a pty, on a
// scripted host with a fake clock (a wait for a silent board takes a second, not fifteen).
#pragma once

#include <QGuiApplication>
#include <memory>

#include "board_sim.h"
#include "messages/message_ids.h"
#include "settings/nvm_parameters.h"
#include "host/text_format.h"
#include "settings/settings_transfer.h"
#include "ui_app/main_form_fixture.h"
#include "widgets/numeric_field.h"
#include "widgets/percentage_meter.h"
#include "widgets/radio_group.h"

namespace korvel::test {

class SettingsTest : public MainFormTest {
protected:
    void StartBoard(sim::BoardSimOptions options = {}) {
        options.program = true;
        options.reportMs = 0;
        board = std::make_unique<sim::BoardSim>(options);
        auto& port = form->CommsDataModule->ZylSerialPort;
        port.SetCustomPortName(board->Start());
        port.SetPort(spCustom);
        form->ConnectActionExecute();
        ASSERT_EQ(form->CommsDataModule->ConnectionState(), csConnected);
    }
    void TearDown() override {
        if (form) form->DisconnectActionExecute();
        board.reset();
        MainFormTest::TearDown();
    }

    // The board's report of what it holds, as a fetch brings it (without using up an answer of the
    // stand-in): the record the marks and snapshots go by.
    void BoardReports() {
        std::vector<uint8_t> report = board->Nvm();
        report.insert(report.begin(), K2PRGETNVM);
        Receive(report);
        host.ClearRecords();
    }

    TParameterControls Controls() const { return form->SettingsTransfer->Controls(); }
    TNumericField* Field(const char* control) const {
        return qobject_cast<TNumericField*>(Controls().Control(FindNvmParameter(control)->Address / 2));
    }
    // Blocks the stand-in received whose identifier is id.
    std::vector<std::vector<uint8_t>> Sent(uint8_t id) const {
        std::vector<std::vector<uint8_t>> out;
        for (auto& b : board->ReceivedBlocks())
            if (!b.empty() && b[0] == id) out.push_back(b);
        return out;
    }
    // The words a write of the controls as they stand would send, in address order.
    std::vector<uint16_t> ShownWords() const {
        std::vector<uint16_t> words;
        const TParameterControls c = Controls();
        for (size_t i = 0; i < NVM_PARAMETER_COUNT; ++i)
            words.push_back(NvmWordOf(ScaleNvmValue(NvmParameters()[i], c.Value(i))));
        return words;
    }
    static std::vector<uint16_t> Words(const std::vector<uint8_t>& image) {
        std::vector<uint16_t> words;
        for (const TNvmParameter& p : NvmParameters()) words.push_back(NvmWordAt(image, p.Address));
        return words;
    }
    std::vector<std::string> BoxTexts() const { return test::BoxTexts(host); }

    std::unique_ptr<sim::BoardSim> board;
};

}  // namespace korvel::test
