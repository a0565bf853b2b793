#include "settings/settings_compare_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "settings/parameter_fields.h"
#include "widgets/field_builders.h"

namespace korvel {

QTableWidget* MakeDifferenceTable(const QString& otherHeading, QWidget* parent) {
    auto* table = new QTableWidget(0, 4, parent);
    table->setObjectName(QStringLiteral("DifferenceList"));
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Adres"), QStringLiteral("Omschrijving"), QStringLiteral("In de vensters"), otherHeading});
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void FillDifferenceTable(QTableWidget* table, std::span<const TSettingsDifference> differences) {
    table->setRowCount(static_cast<int>(differences.size()));
    int row = 0;
    for (const TSettingsDifference& d : differences) {
        const QStringList cells = {QString::number(d.Parameter->Address),
                                   QString::fromStdString(NvmDisplayName(*d.Parameter)), QString::fromStdString(d.A),
                                   QString::fromStdString(d.B)};
        for (int c = 0; c < cells.size(); ++c) table->setItem(row, c, new QTableWidgetItem(cells[c]));
        ++row;
    }
    table->resizeColumnsToContents();
}

TSettingsCompareDialog::TSettingsCompareDialog(std::span<const TSettingsDifference> differences,
                                               const QString& other, const QString& otherHeading, QWidget* parent)
    : QDialog(parent), FCopyText(QString::fromStdString(SettingsDifferencesText(differences))) {
    setObjectName(QStringLiteral("SettingsCompareDialog"));
    setWindowTitle(QStringLiteral("Instellingen vergelijken"));
    ApplyFormFont(this);
    auto* column = new QVBoxLayout(this);

    const QString summary =
        differences.empty()
            ? QStringLiteral("De instellingen in de vensters zijn gelijk aan %1.").arg(other)
            : QStringLiteral("%1 instelling(en) in de vensters wijken af van %2:").arg(differences.size()).arg(other);
    auto* label = new QLabel(summary, this);
    label->setObjectName(QStringLiteral("lblSummary"));
    column->addWidget(label);

    List = MakeDifferenceTable(otherHeading, this);
    FillDifferenceTable(List, differences);
    List->setVisible(!differences.empty());
    column->addWidget(List, 1);

    auto* buttons = new QDialogButtonBox(this);
    auto* copy = buttons->addButton(QStringLiteral("&Kopiëren"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("btnCopy"));
    copy->setEnabled(!differences.empty());
    auto* close = buttons->addButton(QStringLiteral("&Sluiten"), QDialogButtonBox::RejectRole);
    close->setDefault(true);
    connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(FCopyText); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
    resize(640, differences.empty() ? 120 : 420);
}

}  // namespace korvel
