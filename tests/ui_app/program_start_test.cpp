#include "app/program_start.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>

#include "app/status_strip.h"
#include <QTemporaryDir>

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
        // The strip names it and what to press.
        EXPECT_EQ(program.Form->ProgressLabel->text(),
                  QStringLiteral("Niet verbonden. ") +
                      QString::fromUtf8(MSG_STATUS_PORT_CHOSEN).arg(QString::fromStdString(port.GetCustomPortName())));
        program.Form->ConnectActionExecute();
        EXPECT_EQ(program.Form->CommsDataModule->ConnectionState(), csConnected);
    }
    EXPECT_EQ(MainForm, nullptr);
    EXPECT_EQ(AdvancedViewForm, nullptr);
    EXPECT_EQ(AdvancedSettingsForm, nullptr);
    EXPECT_EQ(AboutForm, nullptr);
}

TEST(ProgramStart, WindowPlacementsSurviveARestart) {
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    const QString file = dir.filePath(QStringLiteral("Ventrabo/KorvelSim.conf"));
    const char* sections[] = {"TMainForm", "TAdvancedViewForm", "TAdvancedSettingsForm"};
    QRect viewPlace;
    {
        TProgram first{TProgramOptions{}};
        EXPECT_EQ(first.Form->size(), QSize(907, 682));  // designed: nothing stored yet
        first.Form->show();
        first.Form->setGeometry(20, 50, 1000, 700);
        viewPlace = first.AdvancedView->geometry();
        first.Form->close();
        EXPECT_TRUE(QSettings(file, QSettings::IniFormat).childGroups().contains(QStringLiteral("TMainForm")));
    }
    // The windows never opened were saved as they went.
    QSettings stored(file, QSettings::IniFormat);
    for (const char* section : sections) {
        stored.beginGroup(QLatin1String(section));
        EXPECT_EQ(stored.childKeys(), (QStringList{"Color", "Flags", "NormalPos", "PixelsPerInch", "ShowCmd"}))
            << section;
        stored.endGroup();
    }
    {
        TProgram second{TProgramOptions{}};
        EXPECT_EQ(second.Form->geometry(), QRect(20, 50, 1000, 700));
        EXPECT_EQ(second.AdvancedView->geometry(), viewPlace);
        EXPECT_FALSE(second.AdvancedView->isVisible());
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, qEnvironmentVariable("XDG_CONFIG_HOME"));
}

QString CancelText() {
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    return buttons.button(QDialogButtonBox::Cancel)->text();
}

// The tool's own texts: captions of the window, its menus and actions, and of every label and
// button in its windows.
QStringList OwnTexts(const TProgram& program) {
    QStringList texts{program.Form->windowTitle()};
    for (QAction* menu : program.Form->ActionMainMenuBar1->actions()) texts << menu->text();
    for (const QAction* a : program.Form->ActionList) texts << a->text();
    const std::initializer_list<const QWidget*> windows = {program.Form.get(), program.AdvancedView.get(),
                                                           program.AdvancedSettings.get(), program.About.get()};
    for (const QWidget* root : windows) {
        for (const QLabel* l : root->findChildren<QLabel*>()) texts << l->text();
        for (const QAbstractButton* b : root->findChildren<QAbstractButton*>()) texts << b->text();
    }
    return texts;
}

TEST(ProgramStart, QtsOwnTextsFollowTheLanguageAndTheToolsStay) {
    QTemporaryDir placements;  // the windows store their placement when they go
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, placements.path());
    const QString english = CancelText();
    ASSERT_EQ(english, QStringLiteral("Cancel"));
    QStringList ownTexts;
    {
        TProgramOptions options;
        options.language = QLocale::c();
        TProgram program(options);
        ownTexts = OwnTexts(program);
    }
    {
        TProgramOptions options;
        options.language = QLocale(QLocale::Dutch, QLocale::Netherlands);
        TProgram program(options);
        ASSERT_NE(program.QtTranslations, nullptr) << "Qt's Dutch catalogue is missing (qt6-translations-l10n)";
        EXPECT_EQ(CancelText().toStdString(), "Annuleren");
        EXPECT_EQ(OwnTexts(program), ownTexts);
    }
    // Belgian Dutch finds the same catalogue; a language without one leaves Qt's texts English.
    EXPECT_NE(InstallQtTranslations(QLocale(QLocale::Dutch, QLocale::Belgium)), nullptr);
    EXPECT_EQ(InstallQtTranslations(QLocale::c()), nullptr);
    EXPECT_EQ(CancelText(), english);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, qEnvironmentVariable("XDG_CONFIG_HOME"));
}

}  // namespace
}  // namespace korvel
