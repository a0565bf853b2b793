// One heating or cooling curve: four entry fields, shown in the order of the grid's headings
// XMin, YMin, XMax, YMax.
#pragma once

#include <QWidget>

namespace korvel {

class TNumericField;

class TStookLijnFrame : public QWidget {
    Q_OBJECT
public:
    // name: the frame's component name ("StooklijnRL"); its fields come from the parameter table.
    TStookLijnFrame(const QString& name, int fieldWidth, int pitch, QWidget* parent = nullptr);

    // The row's caption in the grid ("Radiatoren stooklijn Laag").
    QString Caption() const;

    TNumericField* XMin = nullptr;
    TNumericField* XMax = nullptr;
    TNumericField* YMax = nullptr;
    TNumericField* YMin = nullptr;
};

}  // namespace korvel
