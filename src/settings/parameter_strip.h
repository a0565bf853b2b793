// Builds a row of entry fields for the table's rows "<frame>.<field>", left to right in the given
// field order: what the two settings frames have in common.
#pragma once

#include <QString>
#include <initializer_list>
#include <vector>

class QWidget;

namespace korvel {

class TNumericField;

std::vector<TNumericField*> BuildParameterStrip(QWidget* frame, std::initializer_list<const char*> fields,
                                                int fieldWidth, int pitch);

}  // namespace korvel
