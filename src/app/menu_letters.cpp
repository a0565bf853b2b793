#include "app/menu_letters.h"

#include <QAction>
#include <QHash>
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

QStringList MenuLetterClashes(const QMenuBar* menuBar) {
    QStringList clashes;
    for (const QAction* menuAction : menuBar->actions()) {
        const QMenu* menu = menuAction->menu();
        if (menu == nullptr) continue;
        QHash<QKeySequence, QString> owners;
        for (const QAction* item : menu->actions()) {
            if (item->isSeparator()) continue;
            const QKeySequence letter = QKeySequence::mnemonic(item->text());
            if (letter.isEmpty())
                clashes << menu->title() + QStringLiteral(": ") + item->text() + QStringLiteral(" has no letter");
            else if (owners.contains(letter))
                clashes << menu->title() + QStringLiteral(": ") + item->text() +
                               QStringLiteral(" shares its letter with ") + owners.value(letter);
            else
                owners.insert(letter, item->text());
        }
    }
    return clashes;
}

}  // namespace korvel
