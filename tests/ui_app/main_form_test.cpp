#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>

#include "app/status_strip.h"
#include "scenario.h"
#include "ui_app/main_form_fixture.h"
#include "widgets/percentage_meter.h"

namespace korvel::test {
namespace {

QColor IndicatorColour(const TMainForm& f) { return f.ConnectedIndicator->palette().color(QPalette::Window); }

QStringList Texts(const QList<QAction*>& actions) {
    QStringList out;
    for (const QAction* a : actions) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

TEST_F(MainFormTest, StartsDisconnectedWatchingWithTheDocumentedCommands) {
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("Korvel Service gereedschap"));
    EXPECT_TRUE(form->ModeSnifAction->isChecked());
    EXPECT_FALSE(form->ModeServiceAction->isChecked());
    EXPECT_TRUE(MonitorTabVisible());
    EXPECT_FALSE(ServiceTabVisible());
    EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheetToshiba);
    EXPECT_EQ(IndicatorColour(*form), QColor(128, 128, 0));
    EXPECT_TRUE(form->ConnectAction->isEnabled());
    EXPECT_TRUE(form->PortOptionsAction->isEnabled());
    EXPECT_FALSE(form->DisconnectAction->isEnabled());
    EXPECT_FALSE(form->ModeServiceAction->isEnabled());
    EXPECT_FALSE(form->StopLoggingAction->isEnabled());
    EXPECT_TRUE(form->StartLoggingAction->isEnabled());
    EXPECT_FALSE(form->FlashAction->isEnabled());
    EXPECT_FALSE(form->GetSettingsAction->isEnabled());
    EXPECT_FALSE(form->SetSettingsAction->isEnabled());
    EXPECT_FALSE(form->ServiceBox->isEnabled());
    EXPECT_TRUE(form->DefaultSettingsAction->isEnabled());
    EXPECT_TRUE(form->HelpAboutAction->isEnabled());
    EXPECT_FALSE(form->KeepInServiceModeTimer->isActive());
    EXPECT_EQ(form->KeepInServiceModeTimer->interval(), 500);
    EXPECT_EQ(form->Panel2->height(), 17);
    EXPECT_EQ(form->ConnectedIndicator->toolTip() + "|" + form->ConnectedIndicator->statusTip(),
              QStringLiteral("Connected|Lit if a connection is active."));
    EXPECT_EQ(form->ProgressMeter->ForeColor(), QColor(192, 192, 192));
    EXPECT_FALSE(form->findChild<QWidget*>("C2EBox")->isEnabled());
}

TEST_F(MainFormTest, ActionListMenusAndToolBarCarryTheirCaptions) {
    ASSERT_EQ(form->ActionList.size(), 24u);
    for (const QAction* a : form->ActionList) EXPECT_FALSE(a->property("category").toString().isEmpty());

    QStringList menus;
    std::vector<QStringList> items;
    for (QAction* m : form->ActionMainMenuBar1->actions()) {
        menus << m->text();
        items.push_back(Texts(m->menu()->actions()));
    }
    EXPECT_EQ(menus, (QStringList{"&File", "&Verbinding", "&Mode", "&Gereedschappen", "&Help"}));
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0], (QStringList{"Start &Logfile...", "&Stop Loggen", "Start &Opname...", "Stop O&pname", "Sl&uiten"}));
    EXPECT_EQ(items[1], (QStringList{"&Com poort...", "-", "C&onnect", "Verbinding &verbreken"}));
    EXPECT_EQ(items[2], (QStringList{"&Meekijken", "&Instellen"}));
    // The settings file's commands follow the menu's own items.
    EXPECT_EQ(items[3], (QStringList{"&Com poort...", "&Firmware flashen...", "Instellingen &ophalen",
                                     "Instellingen &standaard", "Instellingen &wegschrijven", "-",
                                     "Instellingen opslaan &als...", "Instellingen &laden uit bestand...",
                                     "Instellingen &vergelijken...", "Vorige instellingen &terugzetten...", "-",
                                     "&Grafiek", "V&erkeer", "Fo&utgeschiedenis...", "-",
                                     "Service&rapport opslaan..."}));
    EXPECT_EQ(items[4], (QStringList{"&Handleiding", "&Over..."}));
    EXPECT_EQ(Texts(form->ActionToolBar1->actions()),
              (QStringList{"Verbinding &maken", "Verbinding &verbreken", "-", "M&eekijken", "&Instellen", "-",
                           "Start &Logfile...", "S&top Loggen", "-", "&Sluiten", "-", "&Grafiek", "Ve&rkeer"}));
}

TEST_F(MainFormTest, ProxyPlacesFollowAndDriveTheirAction) {
    QAction* toolSnif = form->ActionToolBar1->actions().at(3);
    QAction* menuConnect = form->ActionMainMenuBar1->actions().at(1)->menu()->actions().at(2);
    EXPECT_TRUE(toolSnif->isChecked());
    EXPECT_TRUE(menuConnect->isEnabled());
    // A click on the checked radio place leaves both checked.
    toolSnif->trigger();
    EXPECT_TRUE(toolSnif->isChecked());
    EXPECT_TRUE(form->ModeSnifAction->isChecked());

    Connect();
    EXPECT_FALSE(menuConnect->isEnabled());
    ChooseService();
    EXPECT_FALSE(toolSnif->isChecked());
    toolSnif->trigger();
    EXPECT_TRUE(form->ModeSnifAction->isChecked());
    EXPECT_TRUE(toolSnif->isChecked());
    EXPECT_FALSE(form->ModeServiceAction->isChecked());
}

TEST_F(MainFormTest, ModeChangesWarnOnlyWhenConnected) {
    form->ModeSnifAction->trigger();
    EXPECT_TRUE(host.Boxes().empty());

    Connect();
    EXPECT_EQ(IndicatorColour(*form), QColor(255, 255, 0));
    EXPECT_TRUE(form->ModeServiceAction->isEnabled());
    EXPECT_TRUE(form->DisconnectAction->isEnabled());
    EXPECT_FALSE(form->ConnectAction->isEnabled());
    EXPECT_FALSE(form->PortOptionsAction->isEnabled());

    view->ShowFrom("x");
    form->SettingsCollected = true;
    ChooseService();
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].type, TMsgDlgType::mtWarning);
    EXPECT_EQ(host.Boxes()[0].text, "Zet de RUN/PROGRAM schakelaar in de stand PROGRAM.");
    EXPECT_FALSE(form->SettingsCollected);
    EXPECT_TRUE(ServiceTabVisible());
    EXPECT_FALSE(MonitorTabVisible());
    EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheetService);
    EXPECT_FALSE(view->isVisible());
    // Showing the settings tab fetches once; nothing else is sent, and nothing is enabled before
    // the board answers.
    EXPECT_EQ(peer.Blocks(), (Blocks{{166}}));
    EXPECT_FALSE(form->KeepInServiceModeTimer->isActive());
    EXPECT_FALSE(form->ServiceBox->isEnabled());

    settings->show();
    form->SettingsCollected = true;
    form->ModeSnifAction->trigger();
    ASSERT_EQ(host.Boxes().size(), 2u);
    EXPECT_EQ(host.Boxes()[1].text, "Zet de RUN/PROGRAM schakelaar in de stand RUN.");
    EXPECT_FALSE(form->SettingsCollected);
    EXPECT_TRUE(MonitorTabVisible());
    EXPECT_FALSE(ServiceTabVisible());
    EXPECT_FALSE(settings->isVisible());
    EXPECT_FALSE(view->isVisible());  // not brought back by itself
}

TEST_F(MainFormTest, DisconnectInServiceModeReturnsToWatching) {
    Connect();
    ChooseService();
    Receive({48});
    Receive({32});
    ASSERT_TRUE(form->KeepInServiceModeTimer->isActive());
    ASSERT_TRUE(form->ServiceBox->isEnabled());

    host.ClearRecords();
    form->DisconnectActionExecute();
    // Service mode ends as through the mode menu: the switch is to go back to RUN.
    EXPECT_EQ(BoxTexts(host), std::vector<std::string>{MSG_SWITCH_TO_RUN});
    EXPECT_EQ(form->CommsDataModule->ConnectionState(), csDisconnected);
    EXPECT_FALSE(form->ModeServiceAction->isChecked());
    EXPECT_TRUE(form->ModeSnifAction->isChecked());
    EXPECT_FALSE(ServiceTabVisible());
    EXPECT_TRUE(MonitorTabVisible());
    EXPECT_FALSE(form->KeepInServiceModeTimer->isActive());
    EXPECT_FALSE(form->ServiceBox->isEnabled());
    EXPECT_FALSE(form->GetSettingsAction->isEnabled());
    EXPECT_EQ(IndicatorColour(*form), QColor(128, 128, 0));
    EXPECT_TRUE(form->ConnectAction->isEnabled());
}

TEST_F(MainFormTest, ClosingInServiceModeAsksForTheSwitchAtRun) {
    Connect();
    ChooseService();
    host.ClearRecords();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(BoxTexts(host), std::vector<std::string>{MSG_SWITCH_TO_RUN});
}

// The board asks as soon as its switch is at PROGRAM, also while the box saying so is open; once
// watching is chosen it is not answered, also while the box asking for RUN is open.
TEST_F(MainFormTest, TheBoardsQuestionIsAnsweredFromTheChoiceOfServiceModeOn) {
    Connect();
    std::vector<Blocks> answers;
    host.OnMessageBox = [&](const ShownBox&) {
        Receive({48});
        answers.push_back(peer.Blocks());
    };
    ChooseService();
    peer.Blocks();  // the settings tab's fetch
    form->ModeSnifAction->trigger();
    host.OnMessageBox = nullptr;
    EXPECT_EQ(answers, (std::vector<Blocks>{{{160}}, {}}));
}

// After a disconnect the last values stay, said to be stale on the monitor tab and in the
// advanced view, until the next report of a new connection.
TEST_F(MainFormTest, ValuesOfAnEndedConnectionAreShownAsStale) {
    form->Now = [] { return QDateTime(QDate(2026, 3, 14), QTime(14, 5, 9)); };
    const auto stale = [&] {
        QLabel* page = form->TabSheetToshiba->lblStale;
        EXPECT_EQ(page->isVisibleTo(form.get()), view->lblStale->isVisibleTo(view.get()));
        return page->isVisibleTo(form.get()) && page->text() == "Niet actueel: laatste waarden van 14:05:09";
    };
    Connect();
    form->DisconnectActionExecute();
    EXPECT_FALSE(stale()) << "no report, nothing to be stale";
    Connect();
    Receive(sim::ScenarioReport(0));
    form->DisconnectActionExecute();
    EXPECT_TRUE(stale());
    Connect();
    EXPECT_TRUE(stale()) << "connected, but no report yet";
    Receive(sim::ScenarioReport(1));
    EXPECT_FALSE(stale());
}

TEST_F(MainFormTest, ConnectFailureLeavesTheWindowDisconnectedAndShowsThePortError) {
    auto& port = form->CommsDataModule->ZylSerialPort;
    port.SetCustomPortName("/nonexistent/ttyKORVEL");
    port.SetPort(spCustom);
    form->ConnectAction->trigger();
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].type, TMsgDlgType::mtError);
    EXPECT_NE(host.Boxes()[0].text.find("Cannot connect to"), std::string::npos) << host.Boxes()[0].text;
    EXPECT_TRUE(form->ConnectAction->isEnabled());
    EXPECT_TRUE(form->ModeSnifAction->isChecked());
    EXPECT_EQ(IndicatorColour(*form), QColor(128, 128, 0));
}

TEST_F(MainFormTest, KeepAliveEveryFiveSecondsPostponedByTrafficNotByReports) {
    Connect();
    ChooseService();
    peer.Blocks();  // the settings tab's fetch
    Receive({48});
    EXPECT_EQ(peer.Blocks(), (Blocks{{160}}));
    EXPECT_TRUE(form->KeepInServiceModeTimer->isActive());

    // A silent board: one request every 10 ticks.
    for (int round = 0; round < 3; ++round) {
        Ticks(9);
        EXPECT_TRUE(peer.Blocks(5).empty()) << round;
        Ticks(1);
        EXPECT_EQ(peer.Blocks(), (Blocks{{160}})) << round;
    }

    // A response after 5 ticks starts the count again; a report does not.
    Ticks(5);
    Receive({35});
    Ticks(9);
    EXPECT_TRUE(peer.Blocks(5).empty());
    Receive({16});
    Ticks(1);
    EXPECT_EQ(peer.Blocks(), (Blocks{{160}}));

    // The settings request counts as traffic too.
    Ticks(5);
    form->GetSettingsActionExecute();
    EXPECT_EQ(peer.Blocks(), (Blocks{{166}}));
    Ticks(9);
    EXPECT_TRUE(peer.Blocks(5).empty());
}

TEST_F(MainFormTest, ProgressStrip) {
    bool cancel = false;
    form->ProgressNotification(nullptr, 0, 0, false, "Flashen van de firmware.", cancel);
    EXPECT_EQ(form->ProgressLabel->text(), QStringLiteral("Flashen van de firmware."));
    EXPECT_TRUE(form->ProgressMeter->isHidden());

    struct Row {
        uint32_t progress, max;
        int percent;
    };
    for (const Row& r : {Row{34816, 65536, 53}, Row{65535, 65536, 99}, Row{65536, 65536, 100}, Row{0, 65536, 0},
                         Row{7, 21, 33}}) {
        form->ProgressNotification(nullptr, r.progress, r.max, false, "Flashing firmware.", cancel);
        EXPECT_EQ(form->ProgressMeter->Percent(), r.percent) << r.progress;
        EXPECT_EQ(form->ProgressLabel->text(), QStringLiteral("Flashing firmware.: ") + QString::number(r.progress));
        EXPECT_FALSE(form->ProgressMeter->isHidden());
    }
    EXPECT_TRUE(host.Boxes().empty());

    // The last call gives the strip back to the link's status (no port yet: what to do about it).
    form->ProgressNotification(nullptr, 0, 0, false, "", cancel);
    EXPECT_EQ(form->ProgressLabel->text().toStdString(),
              std::string(MSG_STATUS_DISCONNECTED) + " " + MSG_STATUS_NO_ADAPTER);
    EXPECT_TRUE(form->ProgressMeter->isHidden());
    EXPECT_EQ(form->ProgressMeter->Percent(), 0);

    cancel = true;
    form->ProgressNotification(nullptr, 1, 2, true, "x", cancel);
    EXPECT_TRUE(cancel);
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].type, TMsgDlgType::mtError);
    EXPECT_EQ(host.Boxes()[0].text, "Er is een fout opgetreden. De gegevens zijn mogelijk niet compleet.");
}

TEST_F(MainFormTest, AdvancedViewerButtonOpensTheViewWithTheCaption) {
    form->setWindowTitle("Korvel Service gereedschap (demo)");
    form->TabSheetToshiba->btnShowAdvancedViewer->click();
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(view->windowTitle(), QStringLiteral("Korvel Service gereedschap (demo)"));
}

}  // namespace
}  // namespace korvel::test
