#include "app/recent_addresses.h"

#include <algorithm>
#include <stdexcept>

#include "link/net_address.h"
#include "visit/visit_stamp.h"

namespace korvel {

namespace {

std::string Item(const char* prefix, std::size_t i) { return prefix + std::to_string(i + 1); }

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

namespace {

template <typename Keep>
std::vector<std::string> ReadRecent(TOvcRegistryStore& store, const char* section, const char* prefix, Keep keep) {
    std::vector<std::string> list;
    try {
        OpenStore open(store);
        for (std::size_t i = 0; i < RECENT_ADDRESSES_KEPT; ++i) {
            const std::string a = store.ReadString(section, Item(prefix, i), "");
            if (keep(a) && std::find(list.begin(), list.end(), a) == list.end()) list.push_back(a);
        }
    } catch (const std::exception&) {
        // A store that cannot be read offers nothing to choose from.
    }
    return list;
}

void WriteRecent(TOvcRegistryStore& store, const char* section, const char* prefix,
                 const std::vector<std::string>& list) {
    store.Open();
    try {
        for (std::size_t i = 0; i < list.size(); ++i) store.WriteString(section, Item(prefix, i), list[i]);
    } catch (...) {
        store.Close();
        throw;
    }
    store.Close();
}

bool Named(const std::string& name) { return !name.empty() && InstallationName(name) == name; }

}  // namespace

std::vector<std::string> ReadRecentAddresses(TOvcRegistryStore& store) {
    return ReadRecent(store, RECENT_ADDRESSES_SECTION, "Address",
                      [](const std::string& a) { return ParseNetAddress(a).has_value(); });
}

void RememberAddress(TOvcRegistryStore& store, const std::string& address) {
    WriteRecent(store, RECENT_ADDRESSES_SECTION, "Address",
                WithAddressFirst(ReadRecentAddresses(store), address, RECENT_ADDRESSES_KEPT));
}

std::vector<std::string> ReadRecentInstallations(TOvcRegistryStore& store) {
    return ReadRecent(store, RECENT_INSTALLATIONS_SECTION, "Installation", Named);
}

void RememberInstallation(TOvcRegistryStore& store, const std::string& name) {
    if (!Named(name)) return;
    WriteRecent(store, RECENT_INSTALLATIONS_SECTION, "Installation",
                WithAddressFirst(ReadRecentInstallations(store), name, RECENT_ADDRESSES_KEPT));
}

}  // namespace korvel
