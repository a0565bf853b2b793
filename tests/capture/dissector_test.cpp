// Wireshark's tshark reads captures made against the stand-in (by the communications module as
// the window runs it, by korvel-cli, by the stand-in itself) with the generated dissector, and
// every block's identifier, name and values must be what the tool's own decoder makes of them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "board_sim.h"
#include "capture/block_meaning.h"
#include "capture/pcapng.h"
#include "capture/wire_splitter.h"
#include "cli/korvel_cli.h"
#include "host/console_host.h"
#include "messages/message_ids.h"
#include "settings/nvm_parameters.h"
#include "support/module_link.h"

using namespace korvel;

namespace {

std::vector<std::string> Keys() {
    std::vector<std::string> keys = {"dir", "id", "name", "crc.ok"};
    for (const auto fields : {ReportMeaningFields(), NvmMeaningFields(), SetNvmMeaningFields(), SerialMeaningFields()})
        for (const TMeaningField& f : fields) keys.push_back(f.Key);
    return keys;
}

// One map of field to text per packet, as tshark prints them.
std::vector<std::map<std::string, std::string>> Tshark(const std::string& capture, const std::vector<std::string>& keys) {
    std::string command = "tshark -X lua_script:" KORVEL_DISSECTOR_LUA " -r '" + capture + "' -T fields -E occurrence=f";
    for (const std::string& k : keys) command += " -e korvel." + k;
    command += " 2>/dev/null";
    std::vector<std::map<std::string, std::string>> rows;
    std::FILE* p = ::popen(command.c_str(), "r");
    if (p == nullptr) return rows;
    std::string out;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
    ::pclose(p);
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::map<std::string, std::string> row;
        size_t at = 0;
        for (const std::string& k : keys) {
            const size_t tab = line.find('\t', at);
            row[k] = line.substr(at, tab == std::string::npos ? std::string::npos : tab - at);
            at = tab == std::string::npos ? line.size() : tab + 1;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

bool Same(const TBlockValue& v, const std::string& shown) {
    switch (v.Field->Kind) {
        case TMeaningKind::Text: return shown == v.Text;
        case TMeaningKind::Flag: return shown == (v.Number != 0 ? "1" : "0");
        default: {
            char* end = nullptr;
            const double got = std::strtod(shown.c_str(), &end);
            return end != shown.c_str() && std::fabs(got - v.Number) <= 1e-9 * std::max(1.0, std::fabs(v.Number));
        }
    }
}

// Returns how many blocks were compared.
size_t CompareWithTheCore(const std::string& capture) {
    SCOPED_TRACE(capture);
    const TCaptureReadResult read = ReadCaptureFile(capture);
    EXPECT_TRUE(read.Ok()) << read.Error;
    const std::vector<std::string> keys = Keys();
    const auto rows = Tshark(capture, keys);
    EXPECT_EQ(rows.size(), read.Packets.size());
    size_t blocks = 0;
    for (size_t i = 0; i < rows.size() && i < read.Packets.size(); ++i) {
        SCOPED_TRACE("packet " + std::to_string(i + 1));
        const TCapturePacket& p = read.Packets[i];
        std::map<std::string, std::string> expected;
        expected["dir"] = p.Direction == TLineDirection::Inbound ? "1" : "2";
        const std::vector<uint8_t> block = UnframeWire(p.Wire);
        if (!block.empty() && (p.Kind == TPacketKind::Block || p.Kind == TPacketKind::BadCheck)) {
            ++blocks;
            const TBlockMeaning m = DescribeBlock(block, '.');
            expected["id"] = std::to_string(m.Id);
            expected["name"] = m.Name;
            expected["crc.ok"] = p.Kind == TPacketKind::Block ? "1" : "0";
            for (const TBlockValue& v : m.Values) {
                EXPECT_TRUE(Same(v, rows[i].at(v.Field->Key))) << v.Field->Key << ": core " << v.Number << " "
                                                               << v.Text << ", tshark " << rows[i].at(v.Field->Key);
                expected[v.Field->Key] = rows[i].at(v.Field->Key);
            }
        }
        for (const std::string& k : keys)  // nothing the core does not give
            EXPECT_EQ(rows[i].at(k), expected.count(k) ? expected[k] : "") << k;
    }
    return blocks;
}

}  // namespace

TEST(Dissector, TsharkReadsEveryCaptureAsTheToolsDecoderDoes) {
    ASSERT_EQ(std::system("tshark --version >/dev/null 2>&1"), 0) << "tshark is missing: scripts/install-deps.sh installs it";
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "korvel-dissector";
    std::filesystem::create_directories(dir);
    const auto file = [&](const char* name) { return (dir / name).string(); };

    sim::BoardSimOptions o;
    o.program = true;
    o.reportMs = 100;
    o.corruptAnswer = 2;
    o.capture = file("sim.pcapng");
    sim::BoardSim board(o);
    const std::string port = board.Start();
    {
        test::ModuleLink link;
        link.m.LineRecord.StartFile(file("module.pcapng"));
        link.m.ZylSerialPort.SetCustomPortName(port);
        link.m.ZylSerialPort.SetPort(spCustom);
        link.m.Connect();
        const uint8_t who[] = {P2KGETSERNUM};
        link.m.SendBlock(who, 1);  // answered
        ASSERT_TRUE(link.WaitFor(K2PRGETSERNUM));
        link.m.SendBlock(who, 1);  // answered with a wrong check value
        ASSERT_TRUE(link.WaitFor(K2MSENDMONDATA, link.Count(K2MSENDMONDATA) + 2));
        link.m.Disconnect();
    }
    std::ostringstream out, err;
    ASSERT_EQ(cli::RunCli({"backup", "--port", port, "--capture", file("backup.pcapng"), file("backup.csv")}, out, err, false), 0)
        << err.str();
    ASSERT_EQ(cli::RunCli({"restore", "--port", port, "--no-snapshot", "--capture", file("restore.pcapng"),
                           file("backup.csv")}, out, err, false), 0)
        << err.str();
    board.Stop();

    EXPECT_GE(CompareWithTheCore(file("module.pcapng")), 5u);
    EXPECT_GE(CompareWithTheCore(file("backup.pcapng")), 4u);
    EXPECT_GE(CompareWithTheCore(file("restore.pcapng")), 2u * NVM_PARAMETER_COUNT);
    EXPECT_GE(CompareWithTheCore(file("sim.pcapng")), 2u * NVM_PARAMETER_COUNT);
    std::filesystem::remove_all(dir);
}

TEST(CaptureOptions, EveryCommandThatOpensTheLineTakesACaptureFile) {
    std::string error;
    for (const char* command : {"info", "watch", "defaults"})
        EXPECT_EQ(cli::ParseCliArgs({command, "--port", "COM5", "--capture", "x.pcapng"}, error)->Capture, "x.pcapng");
    EXPECT_FALSE(cli::ParseCliArgs({"ports", "--capture", "x.pcapng"}, error));
    EXPECT_EQ(error, "optie '--capture' hoort niet bij ports");
}
