// Numeric display and entry field with a data type, a picture mask and range limits.
#pragma once

#include <QColor>
#include <QLineEdit>
#include <QString>

#include "widgets/picture_mask.h"

namespace korvel {

class TNumericField : public QLineEdit {
    Q_OBJECT
public:
    explicit TNumericField(QWidget* parent = nullptr);
    TNumericField(const QString& name, TNumericDataType type, const QString& mask, QWidget* parent = nullptr);

    void SetDataType(TNumericDataType type);
    TNumericDataType DataType() const { return FDataType; }

    void SetPictureMask(const QString& mask);
    QString PictureMask() const { return FMask; }

    // Limits for entry; an editable field shows a value outside them in red.
    void SetRange(double minValue, double maxValue);
    void ClearRange();
    bool HasRange() const { return FHasRange; }
    double MinValue() const { return FMin; }
    double MaxValue() const { return FMax; }

    // Read-only fields only display; editable fields parse what the user types.
    void SetEditable(bool editable);
    bool Editable() const { return !isReadOnly(); }

    // "short|long": the short part is the tool tip, the long part the status tip and what's this.
    void SetHint(const QString& hint);

    // Stores the value as the data type holds it and shows it through the mask.
    void SetValue(double value);
    // The last value set or validly entered.
    double Value() const { return FValue; }
    // The text parses as a number of the data type within the limits.
    bool EntryValid() const { return FEntryValid; }
    // The text holds an entry the field did not take: Value() is still the one before it.
    bool EntryPending() const { return FEntryPending; }

    // A changed value, shown by a tint that is not the red of an invalid entry (which wins).
    void SetMarked(bool marked);
    bool Marked() const { return FMarked; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Emitted when typing produced a valid value.
    void ValueEdited(double value);
    // Emitted whenever Value() or EntryValid() may have changed: a value set, an entry typed
    // (valid or not), new limits. Views that follow the field listen here.
    void Changed();

private:
    double ToDataType(double value) const;
    bool Parse(const QString& text, double& value) const;
    void ShowValue();
    void OnTextEdited(const QString& text);
    void Colour(bool ok);

    TNumericDataType FDataType = TNumericDataType::ndtReal;
    QString FMask = QStringLiteral("###.##");
    double FValue = 0.0;
    double FMin = 0.0;
    double FMax = 0.0;
    bool FHasRange = false;
    bool FEntryValid = true;
    bool FEntryPending = false;
    bool FWarning = false;
    bool FMarked = false;
    bool FTinted = false;
};

// The tint of a changed value, shared by every kind of control that can carry one.
QColor ChangeMarkColour();

}  // namespace korvel
