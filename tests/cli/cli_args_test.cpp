#include <gtest/gtest.h>

#include <sstream>

#include "cli/korvel_cli.h"

namespace korvel::cli {
namespace {

int RunWith(const std::vector<std::string>& args, std::string* err = nullptr) {
    std::ostringstream out, e;
    const int status = RunCli(args, out, e, false);
    if (err) *err = e.str();
    return status;
}

TEST(CliArgs, WrongUsageIsNamedAndExitsWith2) {
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{}, "no command given"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"info"}, "info needs --port P"},
        {{"backup", "--port", "COM5"}, "backup needs a FILE"},
        {{"compare", "--port", "COM5"}, "compare needs a FILE or --defaults"},
        {{"compare", "--port", "COM5", "--defaults", "x.csv"}, "unexpected argument 'x.csv'"},
        {{"defaults", "--port", "COM5", "x.csv"}, "unexpected argument 'x.csv'"},
        {{"ports", "--port", "COM5"}, "option '--port' does not go with ports"},
        {{"backup", "--port", "COM5", "x.csv", "--json"}, "option '--json' does not go with backup"},
        {{"info", "--port"}, "option '--port' needs a value"},
        {{"watch", "--port", "COM5", "--seconds", "0"}, "option '--seconds' needs a positive number, not '0'"},
        {{"info", "--port", "COM5", "--seconds", "3"}, "option '--seconds' goes with watch only"},
        {{"restore", "--port", "COM5", "x.csv", "--defaults"}, "option '--defaults' goes with compare only"},
        {{"info", "--port", "COM5", "--frob"}, "unknown option '--frob'"},
        {{"info", "--port", "tcp://ketel"}, "'tcp://ketel' is no network address: "},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_EQ(RunWith(c.args, &err), 2) << c.error;
        EXPECT_EQ(err.rfind(std::string("korvel-cli: ") + c.error, 0), 0u) << err;
    }
    std::string error;
    const auto watch = ParseCliArgs({"watch", "--port", "rfc2217://[::1]:7000", "--seconds", "2.5", "--log", "l.csv"}, error);
    ASSERT_TRUE(watch) << error;
    EXPECT_EQ(watch->Port, "rfc2217://[::1]:7000");
    EXPECT_EQ(*watch->Seconds, 2.5);
    EXPECT_EQ(watch->Log, "l.csv");
}

TEST(CliArgs, HelpNamesEveryExitStatus) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCli({"--help"}, out, err, false), 0);
    for (const char* status : {"  0 ", "  1 ", "  2 ", "  3 ", "  4 ", "  5 ", "  6 ", "  130 "})
        EXPECT_NE(out.str().find(status), std::string::npos) << status;
}

}  // namespace
}  // namespace korvel::cli
