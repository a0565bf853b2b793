#include "capture/capture_packet.h"

#include <utility>

namespace korvel {

namespace {

// Read back by the tool (the loader's cannot be told from its bytes) and by whoever opens the
// capture in Wireshark.
constexpr std::pair<TPacketKind, std::string_view> kComments[] = {
    {TPacketKind::BadCheck, "KORVEL: blok met een foute controlewaarde"},
    {TPacketKind::FramingError, "KORVEL: frame afgebroken (na DLE volgde geen DLE of ETX)"},
    {TPacketKind::Overflow, "KORVEL: frame langer dan 512 bytes, afgebroken"},
    {TPacketKind::Noise, "KORVEL: bytes buiten een frame (ruis)"},
    {TPacketKind::Incomplete, "KORVEL: onvolledig frame, de lijn sloot ervoor"},
    {TPacketKind::Loader, "KORVEL: tekens van de firmwarelader (geen blokken)"},
};

}  // namespace

std::string_view PacketComment(TPacketKind kind) {
    for (const auto& [k, text] : kComments)
        if (k == kind) return text;
    return {};
}

std::optional<TPacketKind> KindOfComment(std::string_view comment) {
    for (const auto& [k, text] : kComments)
        if (text == comment) return k;
    return std::nullopt;
}

}  // namespace korvel
