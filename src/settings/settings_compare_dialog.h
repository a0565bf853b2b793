// The differences between the settings in the windows and a file or the defaults: a list the
// engineer reads and can copy.
#pragma once

#include <QDialog>
#include <span>

#include "settings/settings_file.h"

class QTableWidget;

namespace korvel {

// A table of differences: address, parameter, the fields' value, the other's (under otherHeading).
QTableWidget* MakeDifferenceTable(const QString& otherHeading, QWidget* parent);
void FillDifferenceTable(QTableWidget* table, std::span<const TSettingsDifference> differences);

class TSettingsCompareDialog : public QDialog {
    Q_OBJECT
public:
    // other: what the windows are compared with ("het bestand x.csv", "de standaardwaarden").
    TSettingsCompareDialog(std::span<const TSettingsDifference> differences, const QString& other,
                           const QString& otherHeading, QWidget* parent = nullptr);

    QTableWidget* List = nullptr;
    // The text the copy button puts on the clipboard.
    QString CopyText() const { return FCopyText; }

private:
    QString FCopyText;
};

}  // namespace korvel
