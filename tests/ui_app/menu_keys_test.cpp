#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include "app/menu_letters.h"
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

// Each command is reached by its letter once its menu is open, and the common keys run theirs.
// The commands' own work (file dialogs, requests to the board) is not what is tested: their
// handlers are detached and the commands enabled, as in service mode with the report in.
TEST_F(MenuKeysTest, LettersInTheMenuAndShortcutKeysRunTheirCommands) {
    EXPECT_EQ(MenuLetterClashes(form->ActionMainMenuBar1), QStringList());
    Activate();
    const struct {
        QAction* action;
        Qt::Key letter;  // in "&Gereedschappen"
        QKeySequence shortcut;
    } commands[] = {
        {form->SaveSettingsAction, Qt::Key_A, QKeySequence(Qt::CTRL | Qt::Key_S)},
        {form->LoadSettingsAction, Qt::Key_L, {}},
        {form->CompareSettingsAction, Qt::Key_V, {}},
        {form->RestoreSnapshotAction, Qt::Key_T, {}},
        {form->ChartAction, Qt::Key_G, {}},
        {form->GetSettingsAction, Qt::Key_O, QKeySequence(Qt::Key_F5)},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.action->objectName().toStdString());
        QObject::disconnect(c.action, &QAction::triggered, form.get(), nullptr);
        c.action->setEnabled(true);
        QSignalSpy triggered(c.action, &QAction::triggered);
        QTest::keyClick(form.get(), Qt::Key_G, Qt::AltModifier);
        ASSERT_NE(OpenMenu(), nullptr);
        QTest::keyClick(OpenMenu(), c.letter);
        EXPECT_EQ(triggered.count(), 1);
        EXPECT_EQ(OpenMenu(), nullptr);
        CloseMenus();
        if (c.shortcut.isEmpty()) continue;
        QTest::keySequence(form.get(), c.shortcut);
        EXPECT_EQ(triggered.count(), 2);
    }
}

}  // namespace
}  // namespace korvel::test
