#include "app/program_start.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace korvel {
namespace {

TEST(ProgramStart, DemoCreatesEveryWindowHiddenAndPreselectsTheStandIn) {
    {
        TProgramOptions options;
        options.demo = true;
        TProgram program(options);
        EXPECT_EQ(MainForm, program.Form.get());
        ASSERT_NE(AboutForm, nullptr);
        ASSERT_NE(AdvancedViewForm, nullptr);
        ASSERT_NE(AdvancedSettingsForm, nullptr);
        EXPECT_FALSE(AboutForm->isVisible());
        EXPECT_FALSE(AdvancedViewForm->isVisible());
        EXPECT_FALSE(AdvancedSettingsForm->isVisible());
        EXPECT_EQ(program.Form->windowTitle(), QStringLiteral("Korvel Service gereedschap (demo)"));
        const auto& port = program.Form->CommsDataModule->ZylSerialPort;
        EXPECT_EQ(port.GetPort(), spCustom);
        struct stat st {};
        EXPECT_EQ(stat(port.GetCustomPortName().c_str(), &st), 0) << port.GetCustomPortName();
        program.Form->ConnectActionExecute();
        EXPECT_EQ(program.Form->CommsDataModule->ConnectionState(), csConnected);
    }
    EXPECT_EQ(MainForm, nullptr);
    EXPECT_EQ(AdvancedViewForm, nullptr);
    EXPECT_EQ(AdvancedSettingsForm, nullptr);
    EXPECT_EQ(AboutForm, nullptr);
}

}  // namespace
}  // namespace korvel
