#include "messages/service_session.h"

#include <iterator>
#include <string>

#include "comms/comms_data_module.h"
#include "messages/message_catalogue.h"
#include "messages/message_ids.h"

namespace korvel {

namespace {

using N = TBoardNeed;
constexpr TCommandNeed kNeeds[] = {
    {"info", N::Reports},          {"watch", N::Reports},          {"backup", N::ServiceMode},
    {"compare", N::ServiceMode},   {"restore", N::ServiceMode},    {"defaults", N::ServiceMode},
    {"flash", N::ServiceMode},     {"GetSettingsAction", N::ServiceMode}, {"SetSettingsAction", N::ServiceMode},
    {"FlashAction", N::ServiceMode},
};

}  // namespace

std::span<const TCommandNeed> CommandNeeds() { return kNeeds; }

TBoardNeed NeedOf(std::string_view command) {
    for (const TCommandNeed& n : kNeeds)
        if (n.Command == command) return n.Need;
    return N::Reports;
}

TServiceSession::TServiceSession(TCommsDataModule& comms) : FComms(comms) {}

void TServiceSession::SetWanted(bool wanted) {
    if (wanted == FWanted) return;
    FWanted = wanted;
    FConfirmed = false;
}

void TServiceSession::RequestServiceMode() {
    const uint8_t block[1] = {P2KSETCOMMAND};
    FComms.SendBlock(block, 1);
    Traffic();
}

bool TServiceSession::AnswerAreYouThere() {
    if (!FWanted) return false;
    FComms.DelayTimer.Host().Trace(std::string(MSG_SERVICE_MODE_REQUESTED));
    RequestServiceMode();
    return true;
}

bool TServiceSession::Confirm() {
    Traffic();
    const bool first = !FConfirmed;
    FConfirmed = true;
    return first;
}

bool TServiceSession::KeepAliveTick() {
    ++KeepInServiceModeTicker;
    if (KeepInServiceModeTicker < KEEPALIVE_TICKS) return false;
    RequestServiceMode();
    return true;
}

}  // namespace korvel
