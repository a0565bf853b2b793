#include <gtest/gtest.h>

#include "app/command_line.h"

using namespace korvel;

TEST(ReplayOption, TakesACaptureFileAndNotBesideTheDemo) {
    const struct {
        std::vector<std::string> args;
        std::string replay, error;
    } rows[] = {
        {{"--replay", "klant.pcapng"}, "klant.pcapng", ""},
        {{"--replay=klant.pcapng", "--port", "COM5"}, "klant.pcapng", ""},
        {{"--replay"}, "", "option '--replay' needs a capture file"},
        {{"--replay="}, "", "option '--replay' needs a capture file"},
        {{"--demo", "--replay", "klant.pcapng"}, "", "options '--demo' and '--replay' do not go together"},
    };
    for (const auto& row : rows) {
        const TCommandLine line = ParseCommandLine(row.args, false);
        EXPECT_EQ(line.Error, row.error) << row.args[0];
        if (row.error.empty()) {
            EXPECT_EQ(line.Replay, row.replay);
        }
    }
}
