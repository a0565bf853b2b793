#include "app/recent_addresses.h"

#include <algorithm>
#include <stdexcept>

#include "link/net_address.h"

namespace korvel {

namespace {

std::string Item(std::size_t i) { return "Address" + std::to_string(i + 1); }

// Open for as long as it lives, closed on every way out.
struct OpenStore {
    explicit OpenStore(TOvcRegistryStore& s) : store(s) { store.Open(); }
    ~OpenStore() {
        try {
            store.Close();
        } catch (const std::exception&) {
            // Said by the write that failed, if any; a read has nothing to lose.
        }
    }
    TOvcRegistryStore& store;
};

}  // namespace

std::vector<std::string> WithAddressFirst(std::vector<std::string> list, const std::string& address, std::size_t kept) {
    list.erase(std::remove(list.begin(), list.end(), address), list.end());
    list.insert(list.begin(), address);
    if (list.size() > kept) list.resize(kept);
    return list;
}

std::vector<std::string> ReadRecentAddresses(TOvcRegistryStore& store) {
    std::vector<std::string> list;
    try {
        OpenStore open(store);
        for (std::size_t i = 0; i < RECENT_ADDRESSES_KEPT; ++i) {
            const std::string a = store.ReadString(RECENT_ADDRESSES_SECTION, Item(i), "");
            if (ParseNetAddress(a) && std::find(list.begin(), list.end(), a) == list.end()) list.push_back(a);
        }
    } catch (const std::exception&) {
        // A store that cannot be read offers nothing to choose from.
    }
    return list;
}

void RememberAddress(TOvcRegistryStore& store, const std::string& address) {
    const std::vector<std::string> list =
        WithAddressFirst(ReadRecentAddresses(store), address, RECENT_ADDRESSES_KEPT);
    store.Open();
    try {
        for (std::size_t i = 0; i < list.size(); ++i) store.WriteString(RECENT_ADDRESSES_SECTION, Item(i), list[i]);
    } catch (...) {
        store.Close();
        throw;
    }
    store.Close();
}

}  // namespace korvel
