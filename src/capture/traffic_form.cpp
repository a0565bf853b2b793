#include "capture/traffic_form.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QSaveFile>
#include <QScrollBar>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

#include "capture/pcapng.h"
#include "capture/wire_splitter.h"
#include "host/text_format.h"
#include "korvel_version.h"
#include "messages/message_ids.h"

namespace korvel {

namespace {

constexpr size_t kMeaningsKept = 512;
constexpr int kTooltipValues = 40;
const QColor kDamaged(200, 0, 0);
const QColor kLoader(110, 110, 110);

QString Text(const std::string& s) { return QString::fromStdString(s); }
std::string Text(const QString& s) { return s.toStdString(); }

QString HexBytes(const std::vector<uint8_t>& bytes, size_t most) {
    QString out;
    for (size_t i = 0; i < bytes.size() && i < most; ++i)
        out += QStringLiteral("%1 ").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    if (bytes.size() > most) out += QStringLiteral("...");
    return out.trimmed();
}

// What the packet's comment in a capture says, as a sentence, with the check values or the
// loader's first bytes where they help.
QString DamageText(const TCapturePacket& p) {
    QString text = QString::fromUtf8(PacketComment(p.Kind).data(), static_cast<qsizetype>(PacketComment(p.Kind).size()));
    text.remove(QStringLiteral("KORVEL: "));
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    if (p.Kind == TPacketKind::BadCheck) {
        uint16_t received = 0;
        uint16_t computed = 0;
        UnframeWire(p.Wire, &received, &computed);
        const auto hex = [](uint16_t v) { return QString::number(v, 16).toUpper().rightJustified(4, QLatin1Char('0')); };
        text += QStringLiteral(" (0x%1 ontvangen, 0x%2 berekend)").arg(hex(received), hex(computed));
    }
    if (p.Kind == TPacketKind::Loader) text += QStringLiteral(": ") + HexBytes(p.Wire, 8);
    return text;
}

bool IsFrame(TPacketKind k) { return k == TPacketKind::Block || k == TPacketKind::BadCheck; }

}  // namespace

// ---- feed ----

TTrafficFeed::TTrafficFeed(TLineRecord& record, TTrafficLog& log, QObject* parent)
    : QObject(parent), record_(record), log_(log) {
    record_.SetSink([this](const TCapturePacket& packet, const std::string& line) {
        bool first = false;
        {
            std::lock_guard lock(m_);
            first = inbox_.empty();
            inbox_.emplace_back(packet, line);
            if (inbox_.size() > log_.Capacity()) inbox_.pop_front();
        }
        // One hand-over for everything that comes before the UI thread gets to it.
        if (first) QMetaObject::invokeMethod(this, [this] { Drain(); }, Qt::QueuedConnection);
    });
}

TTrafficFeed::~TTrafficFeed() { record_.SetSink(nullptr); }

void TTrafficFeed::Drain() {
    std::deque<std::pair<TCapturePacket, std::string>> taken;
    {
        std::lock_guard lock(m_);
        taken.swap(inbox_);
    }
    if (taken.empty()) return;
    for (auto& [packet, line] : taken) log_.Add(std::move(packet), line);
    emit Added();
}

// ---- model ----

TTrafficModel::TTrafficModel(const TTrafficLog& log, QObject* parent)
    : QAbstractTableModel(parent), log_(log), next_(log.First()) {
    const QString point = QLocale().decimalPoint();
    separator_ = point.isEmpty() ? ',' : point.at(0).toLatin1();
    if (separator_ == '\0') separator_ = ',';
    Sync();
}

int TTrafficModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TTrafficModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColCount; }

bool TTrafficModel::Shown(const TCapturePacket& p) const {
    if (!hideReports_ || p.Kind != TPacketKind::Block) return true;
    const std::vector<uint8_t> block = UnframeWire(p.Wire);
    return block.empty() || block[0] != K2MSENDMONDATA;
}

void TTrafficModel::Sync() {
    // What the log let go of leaves the top; what it gained comes at the bottom.
    size_t gone = 0;
    while (gone < rows_.size() && !log_.Holds(rows_[gone])) ++gone;
    if (gone > 0) {
        beginRemoveRows({}, 0, static_cast<int>(gone) - 1);
        rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(gone));
        endRemoveRows();
    }
    const uint64_t end = log_.First() + log_.Size();
    next_ = std::max(next_, log_.First());
    std::vector<uint64_t> added;
    for (; next_ < end; ++next_)
        if (Shown(log_.At(next_))) added.push_back(next_);
    if (added.empty()) return;
    beginInsertRows({}, static_cast<int>(rows_.size()), static_cast<int>(rows_.size() + added.size()) - 1);
    rows_.insert(rows_.end(), added.begin(), added.end());
    endInsertRows();
}

void TTrafficModel::SetHideReports(bool hide) {
    if (hide == hideReports_) return;
    beginResetModel();
    hideReports_ = hide;
    rows_.clear();
    next_ = log_.First();
    const uint64_t end = log_.First() + log_.Size();
    for (; next_ < end; ++next_)
        if (Shown(log_.At(next_))) rows_.push_back(next_);
    endResetModel();
}

const TBlockMeaning& TTrafficModel::Meaning(uint64_t sequence) const {
    if (const auto it = meanings_.find(sequence); it != meanings_.end()) return it->second;
    if (meanings_.size() >= kMeaningsKept) meanings_.clear();
    const TCapturePacket& p = log_.At(sequence);
    TBlockMeaning meaning;
    if (IsFrame(p.Kind)) meaning = DescribeBlock(UnframeWire(p.Wire), separator_);
    return meanings_.emplace(sequence, std::move(meaning)).first->second;
}

QVariant TTrafficModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || !log_.Holds(SequenceAt(index.row()))) return {};
    const uint64_t sequence = SequenceAt(index.row());
    const TCapturePacket& p = log_.At(sequence);
    const bool frame = IsFrame(p.Kind);
    if (role == Qt::ForegroundRole) {
        if (IsDamaged(p.Kind)) return kDamaged;
        if (p.Kind == TPacketKind::Loader) return kLoader;
        return {};
    }
    if (role == Qt::TextAlignmentRole && index.column() == ColLength) return int(Qt::AlignRight | Qt::AlignVCenter);
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(p.TimeUs / 1000);
    if (role == Qt::ToolTipRole) {
        if (index.column() == ColTime) return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        QStringList lines;
        if (frame) {
            const TBlockMeaning& m = Meaning(sequence);
            for (size_t i = 0; i < m.Values.size() && i < static_cast<size_t>(kTooltipValues); ++i)
                lines << Text(m.Values[i].Field->Label) + QStringLiteral(": ") + Text(m.Values[i].Text);
            if (m.Values.size() > static_cast<size_t>(kTooltipValues)) lines << QStringLiteral("...");
        }
        lines << QStringLiteral("Op de lijn: ") + HexBytes(p.Wire, 48);
        return lines.join(QLatin1Char('\n'));
    }
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case ColTime: return time.toString(QStringLiteral("HH:mm:ss.zzz"));
        case ColDirection:
            return p.Direction == TLineDirection::Inbound ? QStringLiteral("bord → PC") : QStringLiteral("PC → bord");
        case ColIdentifier: {
            if (!frame) return QStringLiteral("-");
            const TBlockMeaning& m = Meaning(sequence);
            return QStringLiteral("%1 %2").arg(m.Id).arg(Text(m.Name));
        }
        case ColLength: {
            if (!frame) return static_cast<qulonglong>(p.Wire.size());
            return static_cast<qulonglong>(UnframeWire(p.Wire).size());
        }
        case ColMeaning: {
            const QString damage = DamageText(p);
            if (!frame) return damage;
            const QString summary = Text(Meaning(sequence).Summary);
            return damage.isEmpty() ? summary : damage + QStringLiteral("; ") + summary;
        }
        default: return {};
    }
}

QVariant TTrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kHeaders[] = {"Tijd", "Richting", "Identifier", "Lengte", "Betekenis"};
    return section >= 0 && section < ColCount ? QString::fromUtf8(kHeaders[section]) : QVariant();
}

// ---- window ----

TTrafficForm::TTrafficForm(const TTrafficLog& log, UiHost& host, QWidget* owner)
    : QWidget(owner, Qt::Window), host_(host), owner_(owner), log_(log) {
    setObjectName(QStringLiteral("TrafficForm"));
    setWindowTitle(QString::fromUtf8(TRAFFIC_CAPTION));
    resize(920, 560);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 0, 4, 4);
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("TrafficToolBar"));
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    column->addWidget(ToolBar);
    PauseAction = ToolBar->addAction(QStringLiteral("&Pauze"));
    PauseAction->setObjectName(QStringLiteral("PauseAction"));
    PauseAction->setCheckable(true);
    PauseAction->setToolTip(QStringLiteral("Lijst vasthouden; het verkeer wordt verder bewaard"));
    HideReportsAction = ToolBar->addAction(QStringLiteral("&Meetgegevens verbergen"));
    HideReportsAction->setObjectName(QStringLiteral("HideReportsAction"));
    HideReportsAction->setCheckable(true);
    HideReportsAction->setToolTip(QStringLiteral("De realtime rapporten (16) niet tonen"));
    ToolBar->addSeparator();
    SaveCaptureAction = ToolBar->addAction(QStringLiteral("Opslaan &als opname..."));
    SaveCaptureAction->setObjectName(QStringLiteral("SaveCaptureAction"));
    OpenCaptureAction = ToolBar->addAction(QStringLiteral("Opname &openen..."));
    OpenCaptureAction->setObjectName(QStringLiteral("OpenCaptureAction"));

    Model = new TTrafficModel(log_, this);
    List = new QTableView(this);
    List->setObjectName(QStringLiteral("TrafficList"));
    List->setModel(Model);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setWordWrap(false);
    List->setAlternatingRowColors(true);
    List->verticalHeader()->hide();
    // A hundred thousand rows: every row as high as the first, none measured.
    List->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    List->verticalHeader()->setDefaultSectionSize(List->fontMetrics().height() + 4);
    QHeaderView* header = List->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    const QFontMetrics fm = List->fontMetrics();
    header->resizeSection(TTrafficModel::ColTime, fm.horizontalAdvance(QStringLiteral("00:00:00.000")) + 16);
    header->resizeSection(TTrafficModel::ColDirection, fm.horizontalAdvance(QStringLiteral("PC → bord")) + 16);
    header->resizeSection(TTrafficModel::ColIdentifier,
                          fm.horizontalAdvance(QStringLiteral("160 PC to KORVEL: Go to service mode.")) + 16);
    header->resizeSection(TTrafficModel::ColLength, fm.horizontalAdvance(QStringLiteral("Lengte")) + 16);
    header->setStretchLastSection(true);
    column->addWidget(List, 1);
    CountLabel = new QLabel(this);
    CountLabel->setObjectName(QStringLiteral("CountLabel"));
    column->addWidget(CountLabel);

    connect(PauseAction, &QAction::toggled, this, [this](bool paused) {
        if (!paused) Refresh();
    });
    connect(HideReportsAction, &QAction::toggled, this, [this](bool hide) {
        Model->SetHideReports(hide);
        Refresh();
    });
    connect(SaveCaptureAction, &QAction::triggered, this, [this] { SaveCaptureAsk(); });
    connect(OpenCaptureAction, &QAction::triggered, this, [this] { OpenCaptureAsk(); });
}

TTrafficForm::TTrafficForm(TTrafficLog& log, TTrafficFeed& feed, UiHost& host, QWidget* owner)
    : TTrafficForm(static_cast<const TTrafficLog&>(log), host, owner) {
    connect(&feed, &TTrafficFeed::Added, this, [this] {
        if (isVisible() && !PauseAction->isChecked()) Refresh();
    });
    Refresh();
}

TTrafficForm::TTrafficForm(std::unique_ptr<TTrafficLog> file, const QString& fileName, UiHost& host, QWidget* owner)
    : TTrafficForm(*file, host, owner) {
    file_ = std::move(file);
    setObjectName(QStringLiteral("CaptureViewForm"));
    setWindowTitle(QString::fromUtf8(TRAFFIC_CAPTION) + QStringLiteral(" - ") + fileName);
    setWindowFilePath(fileName);
    PauseAction->setVisible(false);  // a file does not move
    Refresh();
    List->scrollToTop();
}

TTrafficForm::~TTrafficForm() = default;

void TTrafficForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!file_ && !PauseAction->isChecked()) Refresh();
}

void TTrafficForm::Refresh() {
    QScrollBar* bar = List->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    Model->Sync();
    CountLabel->setText(QStringLiteral("%1 getoond, %2 bewaard").arg(Model->rowCount()).arg(log_.Size()));
    if (atEnd && !file_) List->scrollToBottom();
}

void TTrafficForm::SetPaused(bool paused) { PauseAction->setChecked(paused); }
void TTrafficForm::SetHideReports(bool hide) { HideReportsAction->setChecked(hide); }

bool TTrafficForm::SaveCapture(const QString& path) {
    QSaveFile file(path);
    const std::string bytes = log_.Encode(KORVEL_PRODUCT_NAME " " KORVEL_FILE_VERSION_TEXT);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                                               static_cast<qint64>(bytes.size()) && file.commit())
        return true;
    host_.MessageBox(TMsgDlgType::mtError,
                     FormatText(MSG_CAPTURE_NOT_SAVED, {Text(QDir::toNativeSeparators(path)), Text(file.errorString())}),
                     TMsgDlgButtons::mbOK);
    return false;
}

void TTrafficForm::SaveCaptureAsk() {
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Opname opslaan als"),
        QStringLiteral("verkeer-%1.pcapng").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"))),
        QStringLiteral("Opnames (*.pcapng);;Alle bestanden (*)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pcapng");
    SaveCapture(path);
}

void TTrafficForm::OpenCaptureAsk() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Opname openen"), QString(),
                                                      QStringLiteral("Opnames (*.pcapng);;Alle bestanden (*)"));
    if (!path.isEmpty()) OpenCapture(path, host_, owner_);
}

TTrafficForm* TTrafficForm::OpenCapture(const QString& path, UiHost& host, QWidget* owner) {
    TCaptureReadResult read;
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        struct Restore {
            ~Restore() { QGuiApplication::restoreOverrideCursor(); }
        } restore;
        read = ReadCaptureFile(Text(path));
    }
    if (!read.Ok()) {
        host.MessageBox(TMsgDlgType::mtError,
                        FormatText(MSG_CAPTURE_REFUSED, {Text(QDir::toNativeSeparators(path)), read.Error}),
                        TMsgDlgButtons::mbOK);
        return nullptr;
    }
    auto log = std::make_unique<TTrafficLog>();
    log->Load(std::move(read.Interfaces), std::move(read.Packets));
    auto* form = new TTrafficForm(std::move(log), QFileInfo(path).fileName(), host, owner);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    return form;
}

TTrafficForm* ShowTraffic(std::unique_ptr<TTrafficForm>& form, TTrafficLog& log, TTrafficFeed& feed, UiHost& host,
                          QWidget* owner) {
    if (!form) form = std::make_unique<TTrafficForm>(log, feed, host, owner);
    form->show();
    form->raise();
    form->activateWindow();
    return form.get();
}

}  // namespace korvel
