// The board's last word beside the controls: the last complete parameter report as it came, kept
// only to compare with. A control whose value would send another word than the board holds is
// marked, with the board's value in its tool tip, and both settings windows count the marks. The
// controls stay the only copy of the values the engineer works on.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <array>
#include <bitset>
#include <functional>
#include <optional>

#include "settings/nvm_parameters.h"
#include "settings/parameter_fields.h"

class QLabel;

namespace korvel {

class TChangeMarks : public QObject {
    Q_OBJECT
public:
    // settingsTab: where the tab's controls are; the advanced window is found as it comes, since
    // it is made after the main window.
    TChangeMarks(std::function<QWidget*()> settingsTab, QObject* parent = nullptr);

    void SetBoardWords(const TNvmWords& words, const QDateTime& when);
    const std::optional<TNvmWords>& BoardWords() const { return FBoard; }
    const QDateTime& BoardTime() const { return FBoardTime; }

    // Follows the controls not followed yet (the advanced window's once it exists) and takes
    // every row anew.
    void Refresh();

    // Changes not written: rows whose control differs from the board's report, or shows an
    // entry it did not take. None before the board has reported.
    size_t Count() const { return FChanged.count(); }
    size_t Count(TNvmWindow window) const;
    bool Changed(size_t row) const { return FChanged[row]; }

    // "Op het KORVEL bord: 45", the board's value of a row as its control would show it.
    QString BoardText(size_t row) const;

    // "3 wijzigingen niet weggeschreven (1 in Geavanceerd)" as a window shows it; empty for none.
    QString CountText(TNvmWindow window) const;

signals:
    void CountChanged(size_t count);

private:
    void TakeRow(size_t row);
    void ShowCount();

    std::function<QWidget*()> FSettingsTab;
    TParameterControls FControls{nullptr, nullptr};
    std::array<QPointer<QWidget>, NVM_PARAMETER_COUNT> FFollowed{};
    std::optional<TNvmWords> FBoard;
    QDateTime FBoardTime;
    std::bitset<NVM_PARAMETER_COUNT> FChanged;
    size_t FShownCount = 0;
};

}  // namespace korvel
