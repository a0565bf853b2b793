#include "visit/fault_list_form.h"

#include <QBrush>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "visit/service_visit.h"

namespace korvel {

TFaultListForm::TFaultListForm(const TFaultHistory& history, QWidget* parent) : QDialog(parent), history_(history) {
    setObjectName(QStringLiteral("FaultListForm"));
    setWindowTitle(QString::fromUtf8(FAULT_LIST_CAPTION));
    auto* layout = new QVBoxLayout(this);
    FaultList = new QTreeWidget(this);
    FaultList->setObjectName(QStringLiteral("FaultList"));
    FaultList->setRootIsDecorated(false);
    FaultList->setHeaderLabels({QStringLiteral("Tijd"), QStringLiteral("Melding"), QStringLiteral("Wat")});
    FaultList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    FaultList->setAlternatingRowColors(true);
    lblNone = new QLabel(QString::fromUtf8(MSG_NO_FAULTS), this);
    lblNone->setObjectName(QStringLiteral("lblNone"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Sluiten"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(lblNone);
    layout->addWidget(FaultList, 1);
    layout->addWidget(buttons);
    resize(520, 320);
    Refresh();
}

void TFaultListForm::Refresh() {
    const auto& events = history_.Events();
    const uint64_t added = history_.Added();
    if (added < seen_ || added - seen_ > events.size()) {
        FaultList->clear();
        seen_ = added - events.size();
    }
    const std::vector<TFaultLine> lines = FaultLines(history_);
    for (size_t i = events.size() - static_cast<size_t>(added - seen_); i < lines.size(); ++i) {
        auto* item = new QTreeWidgetItem(FaultList, {QString::fromStdString(lines[i].Time),
                                                     QString::fromStdString(lines[i].Name),
                                                     QString::fromStdString(lines[i].What)});
        if (events[i].Appeared)
            for (int c = 0; c < 3; ++c) item->setForeground(c, QBrush(QColor(0xC0, 0x00, 0x00)));
    }
    // The oldest go as the history lets them go.
    while (FaultList->topLevelItemCount() > static_cast<int>(events.size())) delete FaultList->takeTopLevelItem(0);
    seen_ = added;
    lblNone->setVisible(events.empty());
    FaultList->setVisible(!events.empty());
    if (FaultList->topLevelItemCount() > 0) FaultList->scrollToItem(FaultList->topLevelItem(FaultList->topLevelItemCount() - 1));
}

}  // namespace korvel
