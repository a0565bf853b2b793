// The time constants of one curve's weather-dependent control: five entry fields in a row.
#pragma once

#include <QWidget>

namespace korvel {

class TNumericField;

class TTimeConstantsFrame : public QWidget {
    Q_OBJECT
public:
    // name: the frame's component name ("TimeConstantsRL"); its fields come from the parameter table.
    TTimeConstantsFrame(const QString& name, int fieldWidth, int pitch, QWidget* parent = nullptr);

    TNumericField* X1Max = nullptr;
    TNumericField* X1Min = nullptr;
    TNumericField* X2Max = nullptr;
    TNumericField* X2Min = nullptr;
    TNumericField* DeltaT = nullptr;
};

}  // namespace korvel
