#include "widgets/numeric_field.h"

#include <QApplication>
#include <QLocale>
#include <QPalette>
#include <QValidator>
#include <cmath>
#include <limits>

#include "widgets/picture_mask.h"

namespace korvel {

namespace {

// A field takes no character its mask can never show: a letter typed by a menu's Alt key, or a
// group separator, goes nowhere. What the characters make is judged by the field (red when wrong).
class TMaskCharacters : public QValidator {
public:
    explicit TMaskCharacters(TNumericField* field) : QValidator(field), FField(field) {}

    State validate(QString& input, int&) const override {
        const QString mask = FField->PictureMask();
        const bool sign = mask.contains(QLatin1Char('#')) || mask.contains(QLatin1Char('i'));
        const QString point = mask.contains(QLatin1Char('.')) ? QLocale().decimalPoint() : QString();
        for (qsizetype i = 0; i < input.size(); ++i) {
            const QChar c = input.at(i);
            if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char(' ')) continue;
            if (c == QLatin1Char('-') && sign) continue;
            if (!point.isEmpty() && QStringView(input).mid(i).startsWith(point)) {
                i += point.size() - 1;
                continue;
            }
            return Invalid;
        }
        return Acceptable;
    }

private:
    const TNumericField* FField;
};

}  // namespace

TNumericField::TNumericField(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setReadOnly(true);
    setValidator(new TMaskCharacters(this));
    connect(this, &QLineEdit::textEdited, this, &TNumericField::OnTextEdited);
    // A finished valid entry takes the field's own format; a wrong one stays as typed, in red.
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (FEntryValid) ShowValue();
    });
    ShowValue();
}

TNumericField::TNumericField(const QString& name, TNumericDataType type, const QString& mask, QWidget* parent)
    : TNumericField(parent) {
    setObjectName(name);
    FDataType = type;
    FMask = mask;
    ShowValue();
}

void TNumericField::SetDataType(TNumericDataType type) {
    FDataType = type;
    FValue = ToDataType(FValue);
    ShowValue();
}

void TNumericField::SetPictureMask(const QString& mask) {
    FMask = mask;
    ShowValue();
    updateGeometry();
}

void TNumericField::SetRange(double minValue, double maxValue) {
    FMin = minValue;
    FMax = maxValue;
    FHasRange = true;
    ShowValue();
}

void TNumericField::ClearRange() {
    FHasRange = false;
    ShowValue();
}

void TNumericField::SetEditable(bool editable) {
    setReadOnly(!editable);
    ShowValue();
}

void TNumericField::SetHint(const QString& hint) {
    const auto bar = hint.indexOf(QLatin1Char('|'));
    const QString shortHint = bar < 0 ? hint : hint.left(bar);
    const QString longHint = bar < 0 ? hint : hint.mid(bar + 1);
    setToolTip(shortHint);
    setStatusTip(longHint);
    setWhatsThis(longHint);
}

void TNumericField::SetValue(double value) {
    FValue = ToDataType(value);
    ShowValue();
}

double TNumericField::ToDataType(double value) const { return korvel::ToDataType(FDataType, value); }

bool TNumericField::Parse(const QString& text, double& value) const {
    // The mask decides what may be typed: a field must never hold digits it cannot show. Group
    // separators are refused with it: in a comma locale "21.5" would otherwise read as 215.
    const auto parsed =
        ParsePicture(text.toStdString(), FMask.toStdString(), QLocale().decimalPoint().toStdString());
    if (!parsed || !std::isfinite(*parsed)) return false;
    const TNumericTypeLimits limits = NumericTypeLimits(FDataType);
    if (limits.integral && *parsed != std::round(*parsed)) return false;
    if (*parsed < limits.lo || *parsed > limits.hi) return false;
    value = ToDataType(*parsed);
    return true;
}

void TNumericField::ShowValue() {
    const QString point = QLocale().decimalPoint();
    const std::string text = FormatPicture(FValue, FMask.toStdString(), point.toStdString());
    setText(QString::fromStdString(text));
    FEntryPending = false;
    FEntryValid = !FHasRange || (FValue >= FMin && FValue <= FMax);
    Colour(FEntryValid);
    emit Changed();
}

void TNumericField::OnTextEdited(const QString& text) {
    double value = 0;
    const bool parsed = Parse(text, value);
    FEntryValid = parsed && (!FHasRange || (value >= FMin && value <= FMax));
    FEntryPending = !FEntryValid;
    Colour(FEntryValid);
    if (FEntryValid) {
        FValue = value;
        emit ValueEdited(value);
    }
    emit Changed();
}

QColor ChangeMarkColour() { return {255, 224, 130}; }  // amber: far from the red of a wrong entry

void TNumericField::SetMarked(bool marked) {
    if (marked == FMarked) return;
    FMarked = marked;
    Colour(!FWarning);
}

void TNumericField::Colour(bool ok) {
    // Only entry fields warn; a display field shows what the board sent.
    const bool warn = !isReadOnly() && !ok;
    const bool tint = !warn && FMarked;
    if (warn == FWarning && tint == FTinted) return;
    FWarning = warn;
    FTinted = tint;
    // Red behind black text, readable on any style; the disabled colours stay the style's, so a
    // field in a disabled group still looks greyed.
    const QPalette normal = QApplication::palette(this);
    QPalette pal = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        const QColor base = warn ? QColor(Qt::red) : tint ? ChangeMarkColour() : normal.color(group, QPalette::Base);
        pal.setColor(group, QPalette::Base, base);
        pal.setColor(group, QPalette::Text, warn || tint ? QColor(Qt::black) : normal.color(group, QPalette::Text));
    }
    setPalette(pal);
}

QSize TNumericField::sizeHint() const {
    const QFontMetrics fm(font());
    const int chars = static_cast<int>(FMask.size()) + 1;
    return {fm.horizontalAdvance(QLatin1Char('0')) * chars + 8, QLineEdit::sizeHint().height()};
}

QSize TNumericField::minimumSizeHint() const { return sizeHint(); }

}  // namespace korvel
