// Display-only controls: check boxes, drop-down lists and read-only numeric fields that show what
// the board reported. The data log reads its rows back from them, so a value the engineer could
// change by hand would end up in the log as if the board had sent it.
#pragma once

#include <Qt>

class QLabel;
class QRect;
class QString;
class QWidget;

namespace korvel {

// Every check box, drop-down list and read-only numeric field under form refuses input from then
// on: mouse, keyboard, wheel, context menu, and Tab passes them by. Their tool tips and enabled
// states stay as the form made them; a disabled group no longer greys what it holds, so the values
// read as normal text (nothing in such a group takes input anyway).
void MakeDisplayOnly(QWidget* form);

// The word that says values are stale: bold, in a warning colour, hidden until then.
QLabel* MakeStaleWord(QWidget* parent, const QRect& geometry, Qt::Alignment alignment);

// A display control that shows an active fault: red and bold, until fault is false again. Kept
// through ShowValuesStale, paler while the values are stale.
void ShowFault(QWidget* w, bool fault);

// The values under form are the last ones of a connection that has ended: shown muted, with word
// (a label of the form's own) showing text. An empty text shows them as live again.
void ShowValuesStale(QWidget* form, QLabel* word, const QString& text);

}  // namespace korvel
