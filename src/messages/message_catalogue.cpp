#include "messages/message_catalogue.h"

#include <array>
#include <cstdio>
#include <stdexcept>

namespace korvel {

namespace {

using D = TMessageDirection;

constexpr std::array<TMessageInfo, 18> kCatalogue{{
    {K2MSENDMONDATA, "K2MSENDMONDATA", D::BoardToMonitor, "112 bytes: the real-time report", "KORVEL to Monitoring"},
    {K2PRSETCOMMAND, "K2PRSETCOMMAND", D::BoardResponse, "no field is read", " KORVEL to PC: I will stay in service mode"},
    {K2PRGETSERNUM, "K2PRGETSERNUM", D::BoardResponse, "5-8 serial number, 9-12 configuration (32-bit)", " KORVEL to PC: I am serial nr. "},
    {K2PRGETRT, "K2PRGETRT", D::BoardResponse, "no field is read", "KORVEL to PC: real time values"},
    {K2PRBLASTFW, "K2PRBLASTFW", D::BoardResponse, "no field is read", ""},
    {K2PRGETFLASH, "K2PRGETFLASH", D::BoardResponse, "no field is read", ""},
    {K2PRSETNVM, "K2PRSETNVM", D::BoardResponse, "no field is read", ""},
    {K2PRGETNVM, "K2PRGETNVM", D::BoardResponse, "the NVM contents", "NVM contents received"},
    {K2PRFLASHNVM, "K2PRFLASHNVM", D::BoardResponse, "the NVM contents, as 38", "NVM contents received"},
    {K2PGETCOMMAND, "K2PGETCOMMAND", D::BoardToPc, "no field is read", "KORVEL to PC: Are you there ?"},
    {P2KSETCOMMAND, "P2KSETCOMMAND", D::PcToBoard, "1 byte", "PC to KORVEL: Go to service mode."},
    {P2KGETSERNUM, "P2KGETSERNUM", D::PcToBoard, "1 byte", "PC to KORVEL: Who are you ?"},
    {P2KGETRT, "P2KGETRT", D::PcToBoard, "1 byte", "PC to KORVEL: Real time values ?"},
    {P2KBLASTFW, "P2KBLASTFW", D::PcToBoard, "8 bytes: identifier + magic word", "PC to KORVEL: Blast firmware !"},
    {P2KGETFLASH, "P2KGETFLASH", D::PcToBoard, "1 byte", "PC to KORVEL: Flash memory block contents ?"},
    {P2KSETNVM, "P2KSETNVM", D::PcToBoard, "5 bytes: 1-2 NVM byte address, 3-4 value", "PC to KORVEL: Set NVM word at "},
    {P2KGETNVM, "P2KGETNVM", D::PcToBoard, "1 byte", "PC to KORVEL: NVM parameters values ?"},
    {P2KFLASHNVM, "P2KFLASHNVM", D::PcToBoard, "1 byte", "PC to KORVEL: Store NVM to Flash !"},
}};

uint32_t ReadU32(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

std::string Hex8(uint32_t v) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", v);
    return buf;
}

}  // namespace

std::span<const TMessageInfo> MessageCatalogue() { return kCatalogue; }

std::optional<TMessageInfo> FindMessage(uint8_t id) {
    for (const TMessageInfo& m : kCatalogue)
        if (m.Id == id) return m;
    return std::nullopt;
}

std::string_view MessageName(uint8_t id) {
    const auto m = FindMessage(id);
    return m ? m->Name : MSG_ID_NOT_RECOGNISED;
}

std::string SerialNumberText(std::span<const uint8_t> block) {
    if (block.size() < 13) throw std::out_of_range("serial-number block shorter than 13 bytes");
    return std::string(MessageName(K2PRGETSERNUM)) + Hex8(ReadU32(block, 5)) + " with configuration " +
           Hex8(ReadU32(block, 9));
}

}  // namespace korvel
