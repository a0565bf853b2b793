// "Vorige instellingen terugzetten...": the snapshots with their time and how many parameters
// differ from the fields; the differences of the one selected; and the choice to put it into the
// fields (nothing is sent until the engineer writes).
#pragma once

#include <QDialog>
#include <span>
#include <vector>

#include "settings/settings_transfer.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace korvel {

class TSnapshotDialog : public QDialog {
    Q_OBJECT
public:
    TSnapshotDialog(std::vector<TSnapshotEntry> entries, const QString& folder, QWidget* parent = nullptr);

    QTableWidget* SnapshotList = nullptr;
    QTableWidget* DifferenceList = nullptr;
    QLabel* lblDifferences = nullptr;
    QPushButton* btnLoad = nullptr;

    void Select(int row);
    // The entry chosen; null until one is selected that can be loaded.
    const TSnapshotEntry* Chosen() const;

private:
    void ShowSelected();

    std::vector<TSnapshotEntry> FEntries;
};

}  // namespace korvel
