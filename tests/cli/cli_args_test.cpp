#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/cli_output.h"
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
        {{}, "geen opdracht gegeven"},
        {{"frobnicate"}, "onbekende opdracht 'frobnicate'"},
        {{"info"}, "info heeft --port P nodig"},
        {{"backup", "--port", "COM5"}, "backup heeft een FILE nodig"},
        {{"compare", "--port", "COM5"}, "compare heeft een FILE of --defaults nodig"},
        {{"compare", "--port", "COM5", "--defaults", "x.csv"}, "onverwacht argument 'x.csv'"},
        {{"defaults", "--port", "COM5", "x.csv"}, "onverwacht argument 'x.csv'"},
        {{"ports", "--port", "COM5"}, "optie '--port' hoort niet bij ports"},
        {{"backup", "--port", "COM5", "x.csv", "--json"}, "optie '--json' hoort niet bij backup"},
        {{"backup", "--port", "COM5", "x.csv", "--no-snapshot"}, "optie '--no-snapshot' hoort alleen bij restore"},
        {{"info", "--port", "COM5", "--installation", "x"}, "optie '--installation' hoort alleen bij backup"},
        {{"backup", "--port", "COM5", "x.csv", "--force"}, "optie '--force' hoort alleen bij restore"},
        {{"info", "--port"}, "optie '--port' heeft een waarde nodig"},
        {{"watch", "--port", "COM5", "--seconds", "0"}, "optie '--seconds' heeft een positief aantal seconden nodig"},
        {{"watch", "--port", "COM5", "--seconds", "1e300"}, "optie '--seconds' heeft een positief aantal seconden nodig"},
        {{"info", "--port", "COM5", "--seconds", "3"}, "optie '--seconds' hoort alleen bij watch"},
        {{"restore", "--port", "COM5", "x.csv", "--defaults"}, "optie '--defaults' hoort alleen bij compare"},
        {{"info", "--port", "COM5", "--frob"}, "onbekende optie '--frob'"},
        {{"info", "--port", "tcp://ketel"}, "'tcp://ketel' is geen netwerkadres: "},
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

// --help, README and the code name the same exit statuses, and README lists every JSON key.
TEST(CliArgs, HelpAndReadmeNameEveryExitStatusAndJsonKey) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCli({"--help"}, out, err, false), 0);
    std::ifstream file(KORVEL_TEST_DATA "/../../README.md");
    const std::string readme{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    for (const int status : {0, 1, 2, 3, 4, 5, 6, 7, 130}) {
        EXPECT_NE(out.str().find("  " + std::to_string(status) + " "), std::string::npos) << status;
        EXPECT_NE(readme.find("\n| " + std::to_string(status) + " | "), std::string::npos) << status;
    }
    for (const TJsonKey& k : ReportJsonKeys()) EXPECT_NE(readme.find("`" + std::string(k.Key) + "`"), std::string::npos) << k.Key;
}

}  // namespace
}  // namespace korvel::cli
