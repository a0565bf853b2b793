// Every message identifier the tool knows, with its direction, layout and name text, in one table.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "messages/message_ids.h"

namespace korvel {

enum class TMessageDirection { BoardToMonitor, BoardResponse, BoardToPc, PcToBoard };

struct TMessageInfo {
    uint8_t Id;
    std::string_view Constant;
    TMessageDirection Direction;
    std::string_view Layout;
    std::string_view Name;  // empty where the message has no name text
};

std::span<const TMessageInfo> MessageCatalogue();
std::optional<TMessageInfo> FindMessage(uint8_t id);

inline constexpr std::string_view MSG_ID_NOT_RECOGNISED = "Message ID not recognised";
inline constexpr std::string_view MSG_SERVICE_MODE_REQUESTED = "Service mode requested.";

// The name text of an identifier; "Message ID not recognised" for one outside the catalogue.
std::string_view MessageName(uint8_t id);

// " KORVEL to PC: I am serial nr. XXXXXXXX with configuration XXXXXXXX" from a block 33: both
// 32-bit values little-endian, at offsets 5-8 and 9-12. block must hold at least 13 bytes.
std::string SerialNumberText(std::span<const uint8_t> block);

}  // namespace korvel
