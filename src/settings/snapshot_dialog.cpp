#include "settings/snapshot_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "settings/settings_compare_dialog.h"
#include "widgets/field_builders.h"

namespace korvel {

TSnapshotDialog::TSnapshotDialog(std::vector<TSnapshotEntry> entries, const QString& folder, QWidget* parent)
    : QDialog(parent), FEntries(std::move(entries)) {
    setObjectName(QStringLiteral("SnapshotDialog"));
    setWindowTitle(QStringLiteral("Vorige instellingen terugzetten"));
    ApplyFormFont(this);
    auto* column = new QVBoxLayout(this);

    auto* intro = new QLabel(
        QStringLiteral("Wat het KORVEL bord had vlak voor elk wegschrijven en elke firmware-update (bewaard in %1). "
                       "Kies een momentopname om te zien waarin ze verschilt van de velden.")
            .arg(folder),
        this);
    intro->setObjectName(QStringLiteral("lblIntro"));
    intro->setWordWrap(true);
    column->addWidget(intro);

    SnapshotList = new QTableWidget(static_cast<int>(FEntries.size()), 5, this);
    SnapshotList->setObjectName(QStringLiteral("SnapshotList"));
    SnapshotList->setHorizontalHeaderLabels({QStringLiteral("Tijd"), QStringLiteral("Verschillen met de velden"),
                                             QStringLiteral("Installatie"), QStringLiteral("Firmware"),
                                             QStringLiteral("Daarna")});
    SnapshotList->verticalHeader()->hide();
    SnapshotList->verticalHeader()->setDefaultSectionSize(SnapshotList->fontMetrics().height() + 6);
    SnapshotList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SnapshotList->setSelectionBehavior(QAbstractItemView::SelectRows);
    SnapshotList->setSelectionMode(QAbstractItemView::SingleSelection);
    for (size_t i = 0; i < FEntries.size(); ++i) {
        const TSnapshotEntry& e = FEntries[i];
        QString count;
        if (!e.Read || !e.Read->Ok())
            count = QStringLiteral("onleesbaar: ") + QString::fromStdString(e.Read ? e.Read->Error : std::string());
        else if (e.Differences.empty())
            count = QStringLiteral("gelijk");
        else
            count = QString::number(e.Differences.size());
        const int row = static_cast<int>(i);
        SnapshotList->setItem(row, 0, new QTableWidgetItem(e.Time));
        SnapshotList->setItem(row, 1, new QTableWidgetItem(count));
        const TVisitStamp stamp = e.Read ? e.Read->Stamp : TVisitStamp{};
        SnapshotList->setItem(row, 2, new QTableWidgetItem(QString::fromStdString(stamp.Installation)));
        SnapshotList->setItem(row, 3, new QTableWidgetItem(QString::fromStdString(stamp.Firmware)));
        SnapshotList->setItem(row, 4, new QTableWidgetItem(e.Outcome));
    }
    SnapshotList->resizeColumnsToContents();
    SnapshotList->horizontalHeader()->setStretchLastSection(true);
    column->addWidget(SnapshotList, 2);

    lblDifferences = new QLabel(this);
    lblDifferences->setObjectName(QStringLiteral("lblDifferences"));
    column->addWidget(lblDifferences);
    DifferenceList = MakeDifferenceTable(QStringLiteral("In de momentopname"), this);
    column->addWidget(DifferenceList, 3);

    auto* buttons = new QDialogButtonBox(this);
    btnLoad = buttons->addButton(QStringLiteral("In de &velden zetten"), QDialogButtonBox::AcceptRole);
    btnLoad->setObjectName(QStringLiteral("btnLoad"));
    buttons->addButton(QStringLiteral("&Sluiten"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);

    connect(SnapshotList, &QTableWidget::itemSelectionChanged, this, &TSnapshotDialog::ShowSelected);
    Select(FEntries.empty() ? -1 : 0);
    ShowSelected();
    resize(680, 520);
}

void TSnapshotDialog::Select(int row) {
    if (row >= 0) SnapshotList->selectRow(row);
}

const TSnapshotEntry* TSnapshotDialog::Chosen() const {
    const auto rows = SnapshotList->selectionModel()->selectedRows();
    if (rows.isEmpty()) return nullptr;
    const TSnapshotEntry& e = FEntries[static_cast<size_t>(rows.first().row())];
    return e.Read && e.Read->Ok() ? &e : nullptr;
}

void TSnapshotDialog::ShowSelected() {
    const TSnapshotEntry* e = Chosen();
    btnLoad->setEnabled(e != nullptr);
    FillDifferenceTable(DifferenceList, e != nullptr ? std::span(e->Differences) : std::span<const TSettingsDifference>());
    if (e == nullptr)
        lblDifferences->setText(QStringLiteral("Geen momentopname gekozen die te laden is."));
    else if (e->Differences.empty())
        lblDifferences->setText(QStringLiteral("De momentopname van %1 is gelijk aan de velden.").arg(e->Time));
    else
        lblDifferences->setText(
            QStringLiteral("%1 instelling(en) in de velden wijken af van de momentopname van %2:")
                .arg(e->Differences.size())
                .arg(e->Time));
}

}  // namespace korvel
