// The network addresses last connected to, most recent first, for the port dialog. Kept in the
// settings store in a section of their own, so the window placements' keys stay as they are.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/registry_store.h"

namespace korvel {

inline constexpr const char* RECENT_ADDRESSES_SECTION = "RecentAddresses";
inline constexpr std::size_t RECENT_ADDRESSES_KEPT = 5;

// "Address1" .. "Address5"; addresses that do not parse are left out. Nothing when the store
// cannot be read.
std::vector<std::string> ReadRecentAddresses(TOvcRegistryStore& store);
// Puts the address first (once); throws what the store throws.
void RememberAddress(TOvcRegistryStore& store, const std::string& address);

// The installation names last set for a visit, most recent first, for the field "Installatie";
// kept as the addresses are, in a section of their own.
inline constexpr const char* RECENT_INSTALLATIONS_SECTION = "RecentInstallations";
std::vector<std::string> ReadRecentInstallations(TOvcRegistryStore& store);
void RememberInstallation(TOvcRegistryStore& store, const std::string& name);

// The list with `address` first and no other copy of it, at most `kept` long.
std::vector<std::string> WithAddressFirst(std::vector<std::string> list, const std::string& address, std::size_t kept);

}  // namespace korvel
