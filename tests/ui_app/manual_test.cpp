#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

#include "app/manual_form.h"
#include "settings/nvm_parameters.h"
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

}  // namespace
}  // namespace korvel::test
