// Alt letters of the main menu against other owners of the same letter in the window.
#pragma once

class QMenuBar;
class QWidget;

namespace korvel {

// A tab whose caption shares a menu's letter ("&Meekijken" and "&Mode") makes Qt treat Alt+M as
// ambiguous: the presses go to the two owners in turn, and on the tab's turn nothing visible
// happens. From here on rival hands a menu's letter to the menu bar, so the letter always opens
// the menu; rival keeps its other letters (tabs stay reachable with Ctrl+Tab anyway).
void GiveMenusTheirAltLetters(QMenuBar* menuBar, QWidget* rival);

}  // namespace korvel
