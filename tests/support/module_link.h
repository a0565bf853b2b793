// A communications module on the scripted host, recording what it hands on: status changes, the
// blocks (without their two check bytes) and data errors. Tests add the port it talks to.
#pragma once

#include <cstdint>
#include <vector>

#include "comms/comms_data_module.h"
#include "support/fake_ui_host.h"

namespace korvel::test {

struct ModuleLink {
    explicit ModuleLink(FakeUiHost::Clock clock = FakeUiHost::Clock::Real) : host(clock), m(host) {
        m.OnStatusChange = [this](TCommsDataModule*) { ++statusChanges; };
        m.OnDatablock = [this](TCommsDataModule*, int32_t size, const uint8_t* data) {
            blocks.emplace_back(data, data + size - 2);
        };
        m.OnDataError = [this](TCommsDataModule*) { ++dataErrors; };
    }
    size_t Count(uint8_t id) const {
        size_t n = 0;
        for (const auto& b : blocks) n += (!b.empty() && b[0] == id);
        return n;
    }
    bool WaitFor(uint8_t id, size_t n = 1, uint32_t ms = 5000) {
        return host.PumpUntil([&] { return Count(id) >= n; }, ms);
    }
    const std::vector<uint8_t>* Last(uint8_t id) const {
        for (auto it = blocks.rbegin(); it != blocks.rend(); ++it)
            if (!it->empty() && (*it)[0] == id) return &*it;
        return nullptr;
    }

    FakeUiHost host;
    TCommsDataModule m;
    std::vector<std::vector<uint8_t>> blocks;
    int statusChanges = 0;
    int dataErrors = 0;
};

}  // namespace korvel::test
