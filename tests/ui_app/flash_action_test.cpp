#include <QGuiApplication>
#include <QLabel>
#include <QTimer>

#include "app/status_strip.h"
#include "host/text_format.h"
#include "ui_app/main_form_fixture.h"
#include "widgets/percentage_meter.h"

namespace korvel::test {
namespace {

class FlashActionTest : public MainFormTest {
protected:
    // Connected, in service mode, the board has answered: the state the action starts from.
    void InService() {
        Connect();
        ChooseService();
        Receive({48});
        Receive({32});
        peer.Blocks();
        host.ClearRecords();
        ASSERT_TRUE(form->KeepInServiceModeTimer->isActive());
        ASSERT_TRUE(form->FlashAction->isEnabled());
    }
    void ExpectRestored() {
        EXPECT_TRUE(form->isEnabled());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(form->ModeServiceAction->isChecked());
        EXPECT_TRUE(ServiceTabVisible());
        EXPECT_FALSE(MonitorTabVisible());
        // The service functions come back only with the board's answers.
        EXPECT_FALSE(form->KeepInServiceModeTimer->isActive());
        EXPECT_FALSE(form->FlashAction->isEnabled());
        EXPECT_TRUE(form->ProgressMeter->isHidden());
        // The strip is the link status's again.
        const QString label = form->ProgressLabel->text();
        EXPECT_TRUE(label.startsWith(QStringLiteral("Verbonden met %1.").arg(peer.Path().c_str())))
            << label.toStdString();
    }
};

TEST_F(FlashActionTest, CancelledWarningChangesNothing) {
    InService();
    host.ScriptAnswers({TModalResult::mrCancel});
    form->FlashActionExecute(KORVEL_TEST_DATA "/firmware/srec_cat_small.a43");
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].type, TMsgDlgType::mtWarning);
    EXPECT_EQ(host.Boxes()[0].buttons, TMsgDlgButtons::mbOKCancel);
    EXPECT_EQ(host.Boxes()[0].text,
              "U gaat nu nieuwe firmware naar het KORVEL bord sturen.\n"
              "Mocht dit mislukken dan moet het bord terug naar de fabrikant voor service.");
    EXPECT_TRUE(form->ModeServiceAction->isChecked());
    EXPECT_TRUE(ServiceTabVisible());
    EXPECT_TRUE(form->KeepInServiceModeTimer->isActive());
    EXPECT_TRUE(form->FlashAction->isEnabled());
    EXPECT_TRUE(peer.RawBytes().empty());
}

TEST_F(FlashActionTest, UnreadableFileRestoresTheWindowAndShowsTheError) {
    InService();
    form->Guarded([&] { form->FlashActionExecute("/nonexistent/firmware.a43"); });
    ExpectRestored();
    const auto boxes = host.Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    // The board has not reported its settings: no snapshot, and the engineer is asked.
    EXPECT_EQ(boxes[1].text, FormatText(MSG_SNAPSHOT_NO_REPORT, {"het flashen"}));
    EXPECT_EQ(boxes[2].type, TMsgDlgType::mtError);
    // Nothing of the download went out; the reopened settings tab fetches.
    EXPECT_EQ(peer.Blocks(), (Blocks{{166}}));
}

TEST_F(FlashActionTest, SilentBoardTimesOutWithTheWindowLockedMeanwhile) {
    InService();
    bool sawDisabled = false, sawCursor = false, sawEnabled = false, sawStatus = false;
    host.OnProcessEvents = [&] {
        (form->isEnabled() ? sawEnabled : sawDisabled) = true;
        if (QGuiApplication::overrideCursor() != nullptr) sawCursor = true;
        form->StatusStrip->Refresh();
        if (form->ProgressLabel->text().startsWith(QStringLiteral("Verbonden"))) sawStatus = true;
    };
    form->FlashActionExecute(KORVEL_TEST_DATA "/firmware/srec_cat_small.a43");
    host.OnProcessEvents = nullptr;
    EXPECT_TRUE(sawDisabled);
    EXPECT_FALSE(sawEnabled);
    EXPECT_TRUE(sawCursor);
    EXPECT_FALSE(sawStatus);  // the download's progress keeps the strip while it runs
    ExpectRestored();
    const auto boxes = host.Boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, "KORVEL bord geeft geen antwoord.");
    const std::vector<uint8_t> raw = peer.RawBytes();
    const std::vector<uint8_t> fetch = EncodeFrame(std::vector<uint8_t>{166}.data(), 1);
    ASSERT_GT(raw.size(), fetch.size());
    // "X" was the download's last byte; the reopened settings tab's fetch follows it.
    EXPECT_EQ(raw[raw.size() - fetch.size() - 1], 'X');
    EXPECT_TRUE(std::equal(fetch.begin(), fetch.end(), raw.end() - static_cast<long>(fetch.size())));
}

TEST_F(FlashActionTest, DisconnectedErrorLeavesTheWindowWatching) {
    form->Guarded([&] { form->FlashActionExecute(KORVEL_TEST_DATA "/firmware/srec_cat_small.a43"); });
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(form->ModeServiceAction->isChecked());
    EXPECT_TRUE(form->ModeSnifAction->isChecked());
    EXPECT_TRUE(MonitorTabVisible());
    ASSERT_FALSE(host.Boxes().empty());
    EXPECT_EQ(host.Boxes().back().type, TMsgDlgType::mtError);
}

}  // namespace
}  // namespace korvel::test
