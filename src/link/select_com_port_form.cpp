#include "link/select_com_port_form.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <algorithm>

#include "link/net_address.h"
#include "link/port_names.h"

namespace korvel {

namespace {
constexpr int kListHeight = 168;
constexpr int kAddressRowHeight = 28;  // the network address, between the list and the buttons
constexpr int kClientHeight = 200 + kAddressRowHeight;
constexpr int kMinWidth = 260;  // room for an address in the row below the list
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
        if (port.Name == current || (!current.empty() && port.DevicePath == current)) ListBox->setCurrentItem(item);
    }
    // A device path given on the command line is the choice: listed, so that OK takes what is shown.
    const bool address = IsNetAddress(current);
    if (ListBox->currentItem() == nullptr && !current.empty() && !address && PortNumberFromName(current) == 0)
        ListBox->setCurrentItem(new QTreeWidgetItem(ListBox, {QString::fromStdString(current)}));
    // A single port is the one to take, unless an address is: Enter confirms it.
    if (ListBox->currentItem() == nullptr && !address && ListBox->topLevelItemCount() == 1)
        ListBox->setCurrentItem(ListBox->topLevelItem(0));
    int width = 2 * ListBox->frameWidth();
    for (int c = 0; c < ListBox->columnCount(); ++c) {
        ListBox->resizeColumnToContents(c);
        ListBox->setColumnWidth(c, ListBox->columnWidth(c) + kColumnGap);
        width += ListBox->columnWidth(c);
    }
    width = std::clamp(width, kMinWidth, kMaxWidth);
    ListBox->setGeometry(0, 0, width, kListHeight);
    ListBox->installEventFilter(this);
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
    BuildAddressRow(current, width);

    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(3, 172 + kAddressRowHeight, 75, 25);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(79, 172 + kAddressRowHeight, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(width, kClientHeight);
    ListBox->setFocus();
    SetAllowances();
}

bool TSelectCOMPortForm::eventFilter(QObject* watched, QEvent* event) {
    // With nothing selected the list's focus still marks its first row as current, so the first
    // arrow would skip that row: let it select the row instead.
    if (watched == ListBox && event->type() == QEvent::KeyPress && ListBox->selectedItems().isEmpty()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Down || key == Qt::Key_Up) && ListBox->topLevelItemCount() > 0) {
            ListBox->setCurrentItem(ListBox->topLevelItem(0));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TSelectCOMPortForm::BuildAddressRow(const std::string& current, int width) {
    auto* label = new QLabel(QString::fromUtf8(ADDRESS_LABEL), this);
    label->setObjectName(QStringLiteral("AddressLabel"));
    label->setGeometry(3, kListHeight + 4, 56, 24);
    AddressBox = new QComboBox(this);
    AddressBox->setObjectName(QStringLiteral("AddressBox"));
    AddressBox->setEditable(true);
    AddressBox->setInsertPolicy(QComboBox::NoInsert);
    AddressBox->setGeometry(60, kListHeight + 4, width - 63, 24);
    AddressBox->lineEdit()->setPlaceholderText(QString::fromUtf8(ADDRESS_HINT));
    AddressBox->setToolTip(QStringLiteral("Adres"));
    AddressBox->setStatusTip(QStringLiteral(
        "Een bord achter een seriële server op het netwerk: rfc2217://naam:poort of tcp://naam:poort."));
    label->setBuddy(AddressBox);
    if (IsNetAddress(current)) AddressBox->setEditText(QString::fromStdString(current));
    else AddressBox->setEditText({});
    // A port or an address, never both: what was touched last is what OK confirms.
    connect(AddressBox, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (!text.isEmpty()) ListBox->clearSelection();
        SetAllowances();
    });
    connect(ListBox, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!ListBox->selectedItems().isEmpty()) AddressBox->setEditText({});
    });
    // Picking the address already shown changes no text, and is a choice all the same.
    connect(AddressBox, &QComboBox::activated, this, [this] {
        ListBox->clearSelection();
        SetAllowances();
    });
    connect(AddressBox->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (BitBtn1->isEnabled()) accept();
    });
}

void TSelectCOMPortForm::SetRecentAddresses(const std::vector<std::string>& addresses) {
    // Filling the list edits the text on the way; unheard, it leaves the chosen port selected.
    const QSignalBlocker quiet(AddressBox);
    const QString typed = AddressBox->currentText();
    AddressBox->clear();
    for (const std::string& a : addresses) AddressBox->addItem(QString::fromStdString(a));
    AddressBox->setEditText(typed);
}

void TSelectCOMPortForm::SetAllowances() {
    const std::string typed = AddressBox ? AddressBox->currentText().trimmed().toStdString() : std::string();
    std::string problem;
    const bool addressOk = !typed.empty() && ParseNetAddress(typed, &problem).has_value();
    if (AddressBox) {
        // A malformed address says what is wrong with it where the engineer looks.
        QPalette palette = AddressBox->lineEdit()->palette();
        palette.setColor(QPalette::Text, typed.empty() || addressOk ? QColor(Qt::black) : QColor(Qt::red));
        AddressBox->lineEdit()->setPalette(palette);
        AddressBox->lineEdit()->setToolTip(addressOk || typed.empty() ? QString() : QString::fromStdString(problem));
    }
    BitBtn1->setEnabled(!ListBox->selectedItems().isEmpty() || addressOk);
}

void TSelectCOMPortForm::ListBoxDblClick() {
    if (!ListBox->selectedItems().isEmpty()) accept();
}

std::string TSelectCOMPortForm::SelectedPort() const {
    const QList<QTreeWidgetItem*> selected = ListBox->selectedItems();
    if (!selected.isEmpty()) return selected.first()->text(0).toStdString();
    const auto address = ParseNetAddress(AddressBox->currentText().trimmed().toStdString());
    return address ? NetAddressText(*address) : std::string();
}

}  // namespace korvel
