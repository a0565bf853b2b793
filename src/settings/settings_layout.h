// Builders shared by the settings tab and the advanced settings window: a parameter's field with
// its caption from the table, group titles and grid headings.
#pragma once

#include <QRect>
#include <QString>

class QGroupBox;
class QLabel;
class QWidget;

namespace korvel {

class TNumericField;

inline constexpr int kSettingsFieldH = 20;

// The field of the table row `control`, its caption label to its left at (x, y).
TNumericField* ParameterRow(QWidget* box, const char* control, int x, int labelWidth, int fieldWidth, int y);

// A group box whose title is an underlined label inside it.
QGroupBox* MakeTitledGroup(QWidget* parent, const QString& name, const QString& title, const QRect& geometry);

// A label over a grid column, centred over the field below.
QLabel* MakeHeading(QWidget* parent, const QString& text, int x, int width, int y);

}  // namespace korvel
