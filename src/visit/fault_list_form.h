// "Foutgeschiedenis": the session's faults, when each appeared and cleared, newest at the bottom.
// Opened by the engineer whenever he likes; it follows the history while it is open.
#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;
class QTreeWidget;

namespace korvel {

class TFaultHistory;

inline constexpr char FAULT_LIST_CAPTION[] = "Foutgeschiedenis";
inline constexpr char MSG_NO_FAULTS[] = "Geen foutmeldingen gezien in deze sessie.";

class TFaultListForm : public QDialog {
    Q_OBJECT
public:
    TFaultListForm(const TFaultHistory& history, QWidget* parent);

    // Adds what the history has gained since the last call; all anew after a Clear.
    void Refresh();

    QTreeWidget* FaultList = nullptr;
    QLabel* lblNone = nullptr;

private:
    const TFaultHistory& history_;
    uint64_t seen_ = 0;
};

}  // namespace korvel
