#include "app/menu_letters.h"

#include <QAction>
#include <QEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QShortcutEvent>

namespace korvel {

namespace {

class TMenuLetterRelay : public QObject {
public:
    TMenuLetterRelay(QMenuBar* menuBar, QObject* parent) : QObject(parent), FMenuBar(menuBar) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Shortcut || FMenuBar == nullptr) return QObject::eventFilter(watched, event);
        QAction* menu = MenuFor(static_cast<QShortcutEvent*>(event)->key());
        if (menu == nullptr) return QObject::eventFilter(watched, event);
        Open(menu);
        return true;
    }

private:
    QAction* MenuFor(const QKeySequence& key) const {
        for (QAction* a : FMenuBar->actions()) {
            if (a->menu() != nullptr && a->isVisible() && a->isEnabled() && QKeySequence::mnemonic(a->text()) == key)
                return a;
        }
        return nullptr;
    }

    // As the menu bar's own letter does: the menu opens with its first usable command lit.
    void Open(QAction* menuAction) {
        FMenuBar->setActiveAction(menuAction);
        QMenu* menu = menuAction->menu();
        for (QAction* item : menu->actions()) {
            if (!item->isSeparator() && item->isVisible() && item->isEnabled()) {
                menu->setActiveAction(item);
                break;
            }
        }
    }

    QPointer<QMenuBar> FMenuBar;
};

}  // namespace

void GiveMenusTheirAltLetters(QMenuBar* menuBar, QWidget* rival) {
    rival->installEventFilter(new TMenuLetterRelay(menuBar, rival));
}

}  // namespace korvel
