#include "messages/message_catalogue.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

namespace korvel {
namespace {

TEST(MessageCatalogue, NamesOfKnownAndUnknownIdentifiers) {
    struct Row {
        uint8_t id;
        std::string_view name;
    };
    const Row rows[] = {
        {16, "KORVEL to Monitoring"},
        {32, " KORVEL to PC: I will stay in service mode"},
        {34, "KORVEL to PC: real time values"},
        {35, ""},
        {38, "NVM contents received"},
        {39, "NVM contents received"},
        {48, "KORVEL to PC: Are you there ?"},
        {160, "PC to KORVEL: Go to service mode."},
        {165, "PC to KORVEL: Set NVM word at "},
        {167, "PC to KORVEL: Store NVM to Flash !"},
        {0, "Message ID not recognised"},
        {17, "Message ID not recognised"},
        {40, "Message ID not recognised"},
        {144, "Message ID not recognised"},
        {168, "Message ID not recognised"},
        {255, "Message ID not recognised"},
    };
    for (const Row& r : rows) EXPECT_EQ(MessageName(r.id), r.name) << int(r.id);
}

TEST(MessageCatalogue, EveryRequestHasItsResponseAndNoIdentifierTwice) {
    std::set<uint8_t> seen;
    for (const TMessageInfo& m : MessageCatalogue()) EXPECT_TRUE(seen.insert(m.Id).second) << int(m.Id);
    EXPECT_EQ(seen.size(), 18u);
    for (uint8_t i = 0; i < 8; ++i) {
        const auto request = FindMessage(static_cast<uint8_t>(PC2KORVEL + i));
        const auto response = FindMessage(ResponseTo(static_cast<uint8_t>(PC2KORVEL + i)));
        ASSERT_TRUE(request && response);
        EXPECT_EQ(request->Direction, TMessageDirection::PcToBoard);
        EXPECT_EQ(response->Direction, TMessageDirection::BoardResponse);
    }
}

TEST(MessageCatalogue, SerialNumberIsUpperCaseHexOfTheLittleEndianWords) {
    std::array<uint8_t, 515> data{};
    data[0] = 33;
    const uint8_t bytes[] = {0x01, 0x00, 0x00, 0x80, 0xEF, 0xBE, 0xAD, 0xDE};
    std::copy(std::begin(bytes), std::end(bytes), data.begin() + 5);
    data[1] = data[2] = data[3] = data[4] = 0x55;  // not part of the text
    EXPECT_EQ(SerialNumberText(data),
              " KORVEL to PC: I am serial nr. 80000001 with configuration DEADBEEF");
    EXPECT_THROW(SerialNumberText(std::span<const uint8_t>(data.data(), 12)), std::out_of_range);
}

}  // namespace
}  // namespace korvel
