// Display-only controls: check boxes, drop-down lists and read-only numeric fields that show what
// the board reported. The data log reads its rows back from them, so a value the engineer could
// change by hand would end up in the log as if the board had sent it.
#pragma once

class QWidget;

namespace korvel {

// Every check box, drop-down list and read-only numeric field under form refuses input from then
// on: mouse, keyboard, wheel, context menu, and Tab passes them by. Their look, tool tips and
// enabled states stay as the form made them.
void MakeDisplayOnly(QWidget* form);

}  // namespace korvel
