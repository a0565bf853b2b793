#include "messages/msg2text.h"

#include <QAction>
#include <QTimer>
#include <string>

#include "app/main_form.h"
#include "messages/message_catalogue.h"
#include "messages/realtime_report_view.h"
#include "settings/settings_transfer.h"

namespace korvel {

void Handle485Message(TMainForm& Form, const uint8_t* Data, int32_t Size) {
    UiHost& host = Form.Host();
    std::string MessageText;
    auto Emit = [&](std::string_view text) {
        MessageText = text;
        host.Trace(MessageText);
    };
    const uint8_t id = Data[0];
    switch (id) {
        case K2MSENDMONDATA:
            Emit(MessageName(id));
            if (AdvancedViewForm != nullptr) ShowRealtimeReport(Data, Size, *Form.TabSheetToshiba, *AdvancedViewForm, host);
            break;
        case K2PRSETCOMMAND:
            Form.KeepInServiceModeTicker = 0;
            Form.ServiceBox->setEnabled(true);
            Form.FlashAction->setEnabled(true);
            if (!Form.GetSettingsAction->isEnabled()) {
                Form.GetSettingsAction->setEnabled(true);
                Form.GetSettingsActionExecute();
            }
            Form.SetSettingsAction->setEnabled(true);
            Emit(MessageName(id));
            break;
        case K2PRGETSERNUM:
            Form.KeepInServiceModeTicker = 0;
            MessageText = SerialNumberText(std::span<const uint8_t>(Data, 13));
            break;
        case K2PRGETRT:
            Form.KeepInServiceModeTicker = 0;
            MessageText = MessageName(id);
            break;
        case K2PRBLASTFW:
        case K2PRGETFLASH:
        case K2PRSETNVM:
            Form.KeepInServiceModeTicker = 0;
            break;
        case K2PRGETNVM:
        case K2PRFLASHNVM:
            Emit(MessageName(id));
            Form.KeepInServiceModeTicker = 0;
            Form.SettingsTransfer->DecodeNvmContents(Data, Size);
            break;
        case K2PGETCOMMAND:
            Emit(MessageName(id));
            if (Form.ModeServiceAction->isChecked()) {
                host.Trace(std::string(MSG_SERVICE_MODE_REQUESTED));
                uint8_t DataOut[128] = {P2KSETCOMMAND};
                Form.CommsDataModule->SendBlock(DataOut, 1);
                Form.KeepInServiceModeTicker = 0;
                if (!Form.KeepInServiceModeTimer->isActive()) Form.KeepInServiceModeTimer->start();
            }
            break;
        default:
            if (id >= P2KSETCOMMAND && id <= P2KFLASHNVM)
                MessageText = MessageName(id);
            else
                Emit(MSG_ID_NOT_RECOGNISED);
            break;
    }
}

}  // namespace korvel
