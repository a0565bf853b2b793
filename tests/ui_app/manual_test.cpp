#include <QCheckBox>
#include <QPushButton>
#include <QFile>
#include <QGroupBox>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

#include "app/manual_form.h"
#include "cli/korvel_cli.h"
#include "settings/nvm_parameters.h"
#include "settings/settings_compare_dialog.h"
#include "ui_app/main_form_fixture.h"

namespace korvel::test {
namespace {

QString Page(const QString& path) {
    QFile file(QStringLiteral(":/help/") + path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// F1 opens the manual at its title, every link in it leads somewhere inside the program, and its
// tables name what the windows show.
TEST_F(MainFormTest, F1OpensTheManualWhoseLinksAllResolve) {
    form->show();
    // From the main window, and from another window of the tool.
    for (QWidget* window : {static_cast<QWidget*>(form.get()), static_cast<QWidget*>(view.get())}) {
        window->show();
        QApplication::setActiveWindow(window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_F1);
        ASSERT_TRUE(form->ManualForm && form->ManualForm->isVisible()) << window->objectName().toStdString();
        form->ManualForm->hide();
    }
    const QTextBrowser* browser = form->ManualForm->Browser;
    EXPECT_EQ(browser->source(), QUrl(QString::fromLatin1(MANUAL_HOME)));
    const QTextBlock first = browser->document()->firstBlock();
    EXPECT_EQ(first.blockFormat().headingLevel(), 1);
    EXPECT_EQ(first.text().trimmed(), QStringLiteral("Handleiding KORVEL service gereedschap"));

    const QString home = Page(QStringLiteral("handleiding.html"));
    ASSERT_FALSE(home.isEmpty());
    static const QRegularExpression reference(QStringLiteral(R"((?:href|src)="([^"]*)\")"));
    int links = 0;
    for (const auto& match : reference.globalMatch(home)) {
        ++links;
        const QString target = match.captured(1);
        const qsizetype hash = target.indexOf(QLatin1Char('#'));
        const QString file = hash < 0 ? target : target.left(hash);
        EXPECT_FALSE(file.contains(QLatin1Char(':'))) << "leaves the program: " << target.toStdString();
        const QString page = file.isEmpty() ? home : Page(file);
        EXPECT_FALSE(page.isEmpty()) << target.toStdString();
        if (hash >= 0) {
            EXPECT_TRUE(page.contains(QStringLiteral("name=\"") + target.mid(hash + 1) + '"')) << target.toStdString();
        }
    }
    EXPECT_GT(links, 10);

    // Plain text, so entities and line breaks in the HTML do not hide a caption.
    const QString text = browser->toPlainText().simplified();
    for (const QCheckBox* flag : form->TabSheetToshiba->ErrorBox->findChildren<QCheckBox*>())
        EXPECT_TRUE(text.contains(flag->text())) << flag->text().toStdString();
    for (const std::string_view mode : TestModeItems())
        EXPECT_TRUE(text.contains(QString::fromUtf8(mode.data(), static_cast<qsizetype>(mode.size())))) << mode;
}

// What the manual tells of the tool is what the tool has: the settings file's columns, the compare
// window's buttons, every exit status of korvel-cli; and Escape closes it.
TEST_F(MainFormTest, TheManualDescribesWhatTheToolHasAndEscapeClosesIt) {
    form->HelpManualActionExecute();
    TManualForm* manual = form->ManualForm.get();
    const QString text = manual->Browser->toPlainText().simplified();
    const QStringList file = QString::fromStdString(WriteSettingsFile(TNvmWords{}, "1", "2026-01-01 00:00:00", '.'))
                                 .split(QStringLiteral("\r\n"));
    for (const QString& column : file.value(1).split(QLatin1Char(';'))) EXPECT_TRUE(text.contains(column)) << column.toStdString();
    TSettingsCompareDialog compare({}, QStringLiteral("x"), QStringLiteral("y"));
    for (const QPushButton* button : compare.findChildren<QPushButton*>())
        EXPECT_TRUE(text.contains(QString(button->text()).remove(QLatin1Char('&')))) << button->text().toStdString();
    const QString usage = QString::fromStdString(cli::CliUsage());
    const QString cli = Page(QStringLiteral("handleiding.html")).section(QStringLiteral("name=\"cli\""), 1).section(QStringLiteral("<h2>"), 0, 0);
    static const QRegularExpression status(QStringLiteral(R"(^  (\d+) )"), QRegularExpression::MultilineOption);
    int statuses = 0;
    for (const auto& match : status.globalMatch(usage.section(QStringLiteral("Afsluitstatus:"), 1))) {
        ++statuses;
        EXPECT_TRUE(cli.contains(QStringLiteral("<td>") + match.captured(1) + QStringLiteral("</td>"))) << match.captured(1).toStdString();
    }
    EXPECT_GT(statuses, 5);

    QApplication::setActiveWindow(manual);
    ASSERT_TRUE(QTest::qWaitForWindowActive(manual));
    QTest::keyClick(manual->Browser, Qt::Key_Escape);
    EXPECT_FALSE(manual->isVisible());
}

}  // namespace
}  // namespace korvel::test
