#include "link/select_com_port_form.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>

namespace korvel {

namespace {
constexpr int kListHeight = 168;
constexpr int kClientHeight = 200;
constexpr int kMinWidth = 156;
constexpr int kMaxWidth = 640;
constexpr int kColumnGap = 12;
}  // namespace

TSelectCOMPortForm::TSelectCOMPortForm(const TPortList& ports, const std::string& current, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("SelectCOMPortForm"));
    setWindowTitle(QString::fromUtf8(SELECT_PORT_CAPTION));

    // Name, device and USB device side by side: a Linux user knows the adapter by its device,
    // and two identical adapters only by their serial numbers.
    ListBox = new QTreeWidget(this);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    ListBox->setColumnCount(3);
    ListBox->setHeaderHidden(true);
    ListBox->setRootIsDecorated(false);
    ListBox->setFrameShape(QFrame::NoFrame);
    ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox->setToolTip(QStringLiteral("Port"));
    ListBox->setStatusTip(QStringLiteral("Double-click the port that has the USB in it."));
    ListBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (const TPortListItem& port : ports) {
        auto* item = new QTreeWidgetItem(ListBox, {QString::fromStdString(port.Name), QString::fromStdString(port.DevicePath),
                                                   QString::fromStdString(port.UsbDevice)});
        item->setData(0, Qt::UserRole, port.Number);
        if (port.Name == current) ListBox->setCurrentItem(item);
    }
    int width = 2 * ListBox->frameWidth();
    for (int c = 0; c < ListBox->columnCount(); ++c) {
        ListBox->resizeColumnToContents(c);
        ListBox->setColumnWidth(c, ListBox->columnWidth(c) + kColumnGap);
        width += ListBox->columnWidth(c);
    }
    width = std::clamp(width, kMinWidth, kMaxWidth);
    ListBox->setGeometry(0, 0, width, kListHeight);
    connect(ListBox, &QTreeWidget::itemDoubleClicked, this, [this] { ListBoxDblClick(); });
    connect(ListBox, &QTreeWidget::itemSelectionChanged, this, [this] { SetAllowances(); });

    NoPortsLabel = new QLabel(QString::fromUtf8(MSG_NO_PORTS), ListBox);
    NoPortsLabel->setObjectName(QStringLiteral("NoPortsLabel"));
    NoPortsLabel->setWordWrap(true);
    NoPortsLabel->setAlignment(Qt::AlignCenter);
    NoPortsLabel->setGeometry(8, 8, width - 16, kListHeight - 16);
    NoPortsLabel->setVisible(ports.empty());

    // Below the rows, while they leave room for it: on Windows without the adapter's driver, or
    // under wine, the list holds only the machine's own ports.
    NoAdapterLabel = new QLabel(QString::fromUtf8(MSG_NO_ADAPTER), ListBox);
    NoAdapterLabel->setObjectName(QStringLiteral("NoAdapterLabel"));
    NoAdapterLabel->setWordWrap(true);
    NoAdapterLabel->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    const int noteHeight = NoAdapterLabel->heightForWidth(width - 16);
    NoAdapterLabel->setGeometry(8, kListHeight - 8 - noteHeight, width - 16, noteHeight);
    const bool anyAdapter =
        std::any_of(ports.begin(), ports.end(), [](const TPortListItem& p) { return !p.UsbDevice.empty(); });
    const int rowsEnd = ports.empty() ? 0 : ListBox->sizeHintForRow(0) * static_cast<int>(ports.size());
    NoAdapterLabel->setVisible(!ports.empty() && !anyAdapter && rowsEnd + 4 <= NoAdapterLabel->y());

    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(3, 172, 75, 25);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(79, 172, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(width, kClientHeight);
    ListBox->setFocus();
    SetAllowances();
}

void TSelectCOMPortForm::SetAllowances() { BitBtn1->setEnabled(!ListBox->selectedItems().isEmpty()); }

void TSelectCOMPortForm::ListBoxDblClick() {
    if (!ListBox->selectedItems().isEmpty()) accept();
}

std::string TSelectCOMPortForm::SelectedPort() const {
    const QList<QTreeWidgetItem*> selected = ListBox->selectedItems();
    return selected.isEmpty() ? std::string() : selected.first()->text(0).toStdString();
}

}  // namespace korvel
