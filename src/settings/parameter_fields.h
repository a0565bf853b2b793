// The controls that hold the board's parameters: entry fields built from the parameter table, and
// the lookup from a table row to the control that holds it in the two settings windows.
#pragma once

#include <QRect>
#include <QString>
#include <array>
#include <string_view>

#include "settings/nvm_parameters.h"

class QWidget;

namespace korvel {

class TNumericField;
class TRadioGroup;

// Text of the table (UTF-8) as a Qt string.
inline QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The user's decimal separator where it is one of the two a settings file may carry.
char SettingsDecimalSeparator();

// An entry field for a row: type, mask, limits and editability from the table. Its object name is
// the last part of the row's control name ("XMin" for "StooklijnRL.XMin").
TNumericField* MakeParameterField(QWidget* parent, const TNvmParameter& p, const QRect& geometry);
QString FieldNameOf(const TNvmParameter& p);

// The control of every row, in table order, found in the settings tab and the advanced settings
// window. A window that does not exist (yet) leaves its rows empty.
class TParameterControls {
public:
    TParameterControls(QWidget* settingsTab, QWidget* advancedSettings);

    QWidget* Control(size_t row) const { return FControls[row]; }
    bool Complete() const;

    // The value a write sends from: the field's value, the test mode's item index.
    double Value(size_t row) const;
    std::vector<double> Values() const;
    // Puts a value into the control: the test mode's index is clamped to its items first.
    void SetValue(size_t row, double value);
    void SetValues(const std::vector<double>& values);
    // What the control shows, for messages.
    QString Shown(size_t row) const;
    // The field holds a value it shows as valid (parsed, within the mask and the limits).
    bool Valid(size_t row) const;
    // The field shows an entry it did not take: what it holds is not what it shows.
    bool Pending(size_t row) const;

private:
    std::array<QWidget*, NVM_PARAMETER_COUNT> FControls{};
};

}  // namespace korvel
