#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>

#include "ui_app/main_form_fixture.h"

namespace korvel::test {
namespace {

// Keys as the engineer presses them, on the active window.
class MenuKeysTest : public MainFormTest {
protected:
    void Activate() {
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    QMenu* OpenMenu() const {
        for (QAction* m : form->ActionMainMenuBar1->actions())
            if (m->menu() != nullptr && m->menu()->isVisible()) return m->menu();
        return nullptr;
    }
    void CloseMenus() {
        // Escape closes the menu, a second one leaves the menu bar.
        while (QMenu* open = OpenMenu()) QTest::keyClick(open, Qt::Key_Escape);
        QTest::keyClick(form->ActionMainMenuBar1, Qt::Key_Escape);
        // The offscreen platform leaves the closed popup's window active.
        Activate();
    }
};

TEST_F(MenuKeysTest, EveryMenuOpensWithItsAltLetterWithEitherTabShown) {
    Activate();
    const struct {
        Qt::Key key;
        const char* title;
    } menus[] = {{Qt::Key_F, "&File"},
                 {Qt::Key_V, "&Verbinding"},
                 {Qt::Key_M, "&Mode"},
                 {Qt::Key_G, "&Gereedschappen"},
                 {Qt::Key_H, "&Help"}};
    for (bool service : {false, true}) {
        if (service) {
            Connect();
            ChooseService();
            ASSERT_TRUE(ServiceTabVisible());
            Activate();
        }
        for (const auto& m : menus) {
            // Twice: Qt hands an ambiguous key to its owners in turn.
            for (int press = 0; press < 2; ++press) {
                QTest::keyClick(form.get(), m.key, Qt::AltModifier);
                QMenu* open = OpenMenu();
                ASSERT_NE(open, nullptr) << m.title << (service ? " in service" : " watching") << ", press " << press;
                EXPECT_EQ(open->title(), QString::fromLatin1(m.title));
                EXPECT_NE(open->activeAction(), nullptr) << m.title;  // Enter runs the lit command
                CloseMenus();
            }
        }
        // The tab captions keep their letters.
        EXPECT_EQ(form->PageControl1->tabText(form->PageControl1->indexOf(form->TabSheetToshiba)),
                  QStringLiteral("&Meekijken"));
        EXPECT_EQ(form->PageControl1->tabText(form->PageControl1->indexOf(form->TabSheetService)),
                  QStringLiteral("&Instellingen"));
    }
}

// "&Instellingen" shares its letter with no menu: Alt+I opens nothing and leaves the page shown.
TEST_F(MenuKeysTest, SettingsTabLetterOpensNoMenu) {
    Activate();
    for (bool service : {false, true}) {
        if (service) {
            Connect();
            ChooseService();
            Activate();
        }
        QWidget* shown = form->PageControl1->currentWidget();
        QTest::keyClick(form.get(), Qt::Key_I, Qt::AltModifier);
        EXPECT_EQ(OpenMenu(), nullptr) << service;
        EXPECT_EQ(form->PageControl1->currentWidget(), shown) << service;
        EXPECT_EQ(shown, service ? form->TabSheetService : static_cast<QWidget*>(form->TabSheetToshiba));
        CloseMenus();
    }
}

}  // namespace
}  // namespace korvel::test
