#include "messages/msg2text.h"

#include <span>
#include <string>

#include "host/ui_host.h"
#include "messages/message_catalogue.h"
#include "messages/service_session.h"

namespace korvel {

void Handle485Message(TBoardMessages& Form, const uint8_t* Data, int32_t Size) {
    UiHost& host = Form.Host();
    TServiceSession& service = Form.Service();
    std::string MessageText;
    auto Emit = [&](std::string_view text) {
        MessageText = text;
        host.Trace(MessageText);
    };
    const uint8_t id = Data[0];
    switch (id) {
        case K2MSENDMONDATA:
            Emit(MessageName(id));
            Form.RealtimeReport(Data, Size);
            break;
        case K2PRSETCOMMAND:
            Form.ServiceConfirmed(service.Confirm());
            Emit(MessageName(id));
            break;
        case K2PRGETSERNUM:
            service.Traffic();
            // The serial number's text reads 13 bytes; a shorter block would give stale ones.
            if (Size >= 15) MessageText = SerialNumberText(std::span<const uint8_t>(Data, 13));
            break;
        case K2PRGETRT:
            service.Traffic();
            MessageText = MessageName(id);
            break;
        case K2PRBLASTFW:
        case K2PRGETFLASH:
        case K2PRSETNVM:
            service.Traffic();
            break;
        case K2PRGETNVM:
        case K2PRFLASHNVM:
            Emit(MessageName(id));
            service.Traffic();
            Form.NvmContents(Data, Size);
            break;
        case K2PGETCOMMAND:
            Emit(MessageName(id));
            if (service.AnswerAreYouThere()) Form.KeepAliveStarted();
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
