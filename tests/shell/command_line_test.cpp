#include "app/command_line.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

using A = TCommandLine::TAction;

TEST(CommandLine, Table) {
    struct Row {
        std::vector<std::string> args;
        bool leaveWindowSystemArgs;
        A action;
        std::string port;
        bool demo;
        std::string error;
    };
    const Row rows[] = {
        {{}, false, A::Run, "", false, ""},
        {{"--port", "COM5", "--demo"}, false, A::Run, "COM5", true, ""},
        {{"--port=/dev/ttyUSB0"}, false, A::Run, "/dev/ttyUSB0", false, ""},
        {{"--help"}, false, A::Help, "", false, ""},
        {{"-h"}, true, A::Help, "", false, ""},
        {{"--demo", "--version", "--bogus"}, false, A::Version, "", true, ""},
        {{"--bogus"}, true, A::Error, "", false, "unknown option '--bogus'"},
        {{"-bogus"}, false, A::Error, "", false, "unknown option '-bogus'"},
        {{"extra"}, false, A::Error, "", false, "unexpected argument 'extra'"},
        {{"--port"}, true, A::Error, "", false, "option '--port' needs a port name"},
        {{"--port", ""}, false, A::Error, "", false, "option '--port' needs a port name"},
        {{"--port="}, false, A::Error, "", false, "option '--port' needs a port name"},
        // Before the window system has taken its own options out, they and their values pass.
        {{"-platform", "offscreen", "--demo", "-style", "fusion"}, true, A::Run, "", true, ""},
        {{"-platform", "offscreen", "--nope"}, true, A::Error, "", false, "unknown option '--nope'"},
    };
    for (const Row& r : rows) {
        const TCommandLine line = ParseCommandLine(r.args, r.leaveWindowSystemArgs);
        std::string joined;
        for (const auto& a : r.args) joined += a + ' ';
        EXPECT_EQ(line.Action, r.action) << joined;
        if (r.action == A::Error) {
            EXPECT_EQ(line.Error, r.error) << joined;
        } else if (r.action == A::Run) {
            EXPECT_EQ(line.Port, r.port) << joined;
            EXPECT_EQ(line.Demo, r.demo) << joined;
        }
    }
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

TEST(CommandLine, OpenLogTakesAFile) {
    const struct {
        std::vector<std::string> args;
        std::string file;
        std::string error;
    } rows[] = {
        {{"--open-log", "/home/me/log 1.csv"}, "/home/me/log 1.csv", ""},
        {{"--open-log=week.csv", "--demo"}, "week.csv", ""},
        {{"--open-log"}, "", "option '--open-log' needs a file"},
        {{"--open-log", ""}, "", "option '--open-log' needs a file"},
        {{"--open-log="}, "", "option '--open-log' needs a file"},
    };
    for (const auto& r : rows) {
        const TCommandLine line = ParseCommandLine(r.args, false);
        EXPECT_EQ(line.Action, r.error.empty() ? TCommandLine::TAction::Run : TCommandLine::TAction::Error);
        EXPECT_EQ(line.OpenLog, r.file);
        EXPECT_EQ(line.Error, r.error);
    }
}

}  // namespace
}  // namespace korvel
