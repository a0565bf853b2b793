// Alt letters of the main menu against other owners of the same letter in the window.
#pragma once

#include <QStringList>

class QMenuBar;
class QWidget;

namespace korvel {

// A tab whose caption shares a menu's letter ("&Meekijken" and "&Mode") makes Qt treat Alt+M as
// ambiguous: the presses go to the two owners in turn, and on the tab's turn nothing visible
// happens. From here on rival hands a menu's letter to the menu bar, so the letter always opens
// the menu; rival keeps its other letters (tabs stay reachable with Ctrl+Tab anyway).
void GiveMenusTheirAltLetters(QMenuBar* menuBar, QWidget* rival);

// Where a letter fails inside the menus: a command without one, or a letter two commands of one
// menu share (pressing it then only moves between them). One line each; empty when none.
QStringList MenuLetterClashes(const QMenuBar* menuBar);

}  // namespace korvel
