#include "app/about_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "widgets/ovc_url.h"
#ifndef _WIN32
#include "ui_app/main_form_fixture.h"
#endif

namespace korvel {
namespace {

// The tool itself carries the version block the box shows: a resource on Windows.
const std::string kTool = KORVEL_BIN_DIR "/korvel-service" KORVEL_EXE_SUFFIX;

TEST(AboutForm, LayoutAndTexts) {
    TAboutForm about(kTool);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(about.size(), QSize(300, 77));
    EXPECT_FALSE(about.windowFlags() & Qt::WindowContextHelpButtonHint);
    EXPECT_FALSE(about.windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(about.OvcURL2->text(), QStringLiteral("Ventrabo homepage"));
    EXPECT_TRUE(about.OvcURL2->font().underline());
    EXPECT_EQ(about.OvcURL2->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(about.OvcURL2->geometry(), QRect(0, 0, 300, 16));
    EXPECT_EQ(about.VersionLabel->geometry(), QRect(0, 16, 300, 16));
    EXPECT_TRUE(about.VersionLabel->font().bold());
    EXPECT_EQ(about.VersionLabel->palette().color(QPalette::Window), QColor(192, 192, 192));
    EXPECT_EQ(about.BitBtn1->text(), QStringLiteral("&Close"));
    EXPECT_EQ(about.BitBtn1->geometry(), QRect(184, 42, 107, 24));
    EXPECT_TRUE(about.BitBtn1->isDefault());
}

TEST(AboutForm, ShowsTheFileVersionOfTheGivenFile) {
    const std::pair<std::string, const char*> rows[] = {
        {kTool, "Version: 16.6.0.0"},  // its own block, Dutch table
        {KORVEL_TEST_DATA "/comms/check_values.txt", "Version: "},  // no version information
        {KORVEL_TEST_DATA "/no_such_file", "Version: "},
    };
    for (const auto& [file, label] : rows) {
        TAboutForm about(file);
        EXPECT_EQ(about.VersionLabel->text(), QString::fromLatin1(label)) << file;
    }
    // The string table is under Dutch; the reader asks for US English, as it always did.
    TAboutForm about(kTool);
    EXPECT_EQ(about.VersionResource.VersionInfo().CompanyName, "");
    about.VersionResource.SetLanguage(lnDutch);
    EXPECT_EQ(about.VersionResource.VersionInfo().FileDescription, "KORVEL service tool for TOSHIBA unit");
}

TEST(AboutForm, LinkTurnsRedOpensItsTargetAndBeepsWhenItCannot) {
    TAboutForm about(kTool);
    TOvcURL& link = *about.OvcURL2;
    const QColor normal = link.palette().color(QPalette::WindowText);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&link, &enter);
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(Qt::red));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&link, &leave);
    EXPECT_EQ(link.palette().color(QPalette::WindowText), normal);

    std::vector<QUrl> opened;
    int beeps = 0;
    bool opens = true;
    link.Open = [&](const QUrl& url) {
        opened.push_back(url);
        return opens;
    };
    link.Beep = [&] { ++beeps; };
    QTest::mouseClick(&link, Qt::LeftButton);
    opens = false;
    QTest::mouseClick(&link, Qt::LeftButton);
    QTest::mouseClick(&link, Qt::RightButton);
    EXPECT_EQ(opened, (std::vector<QUrl>{QUrl(MAKER_HOME_PAGE), QUrl(MAKER_HOME_PAGE)}));
    EXPECT_EQ(beeps, 1);
}

#ifndef _WIN32
class AboutFromMenu : public test::MainFormTest {};

TEST_F(AboutFromMenu, OverShowsTheBoxModallyAndEveryKeyClosesItWithOk) {
    TAboutForm about(kTool);
    AboutForm = &about;
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        bool shownModal = false;
        QTimer::singleShot(0, [&] {
            shownModal = about.isVisible() && about.isModal();
            QTest::keyClick(&about, key);
        });
        form->HelpAboutAction->trigger();
        EXPECT_TRUE(shownModal) << key;
        EXPECT_FALSE(about.isVisible()) << key;
        EXPECT_EQ(about.result(), QDialog::Accepted) << key;
    }
    AboutForm = nullptr;
}
#endif

}  // namespace
}  // namespace korvel
