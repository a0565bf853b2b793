#include "charts/chart_form.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QToolBar>
#include <QVBoxLayout>
#include <qcustomplot.h>
#include <algorithm>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "datalog/locale_log_time.h"
#include "host/text_format.h"
#include "messages/realtime_report.h"

namespace korvel {

namespace {

constexpr double kWindowSeconds[] = {10 * 60, 60 * 60, 8 * 60 * 60, 0};

std::string Text(const QString& s) { return s.toStdString(); }

// The running locale's formats first, as the window and as korvel-cli write them, then every
// locale's: a log is read as it was written, also on a machine with other settings.
constexpr size_t kRunningFormats = 2;
std::vector<TLogTimeFormat> LocaleTimeFormats() {
    std::vector<TLogTimeFormat> formats{LogTimeFormatOf(QLocale()), PlatformLogTimeFormat()};
    for (const QLocale& l : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory))
        formats.push_back(LogTimeFormatOf(l));
    return formats;
}

QString Utf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QStringList ListItems(std::string_view target) {
    QStringList items;
    for (std::string_view item : ReportListItems(target)) items << Utf8(item);
    return items;
}

QColor MarkColour(TTrendMarkKind kind) {
    switch (kind) {
        case TTrendMarkKind::Mode: return QColor(40, 90, 200);
        case TTrendMarkKind::Job: return QColor(20, 140, 60);
        case TTrendMarkKind::Fault: return QColor(200, 30, 30);
    }
    return Qt::gray;
}

std::vector<TSeriesPlot::Mark> PlotMarks(const auto& marks) {
    std::vector<TSeriesPlot::Mark> out;
    for (const TTrendMark& m : marks) out.push_back({m.Time, Utf8(m.Text), MarkColour(m.Kind)});
    return out;
}

QIcon Swatch(const QColor& colour) {
    QPixmap pixmap(12, 12);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

}  // namespace

TChartForm::TChartForm(UiHost& host, QWidget* owner) : QWidget(owner, Qt::Window), host_(host), owner_(owner) {
    setObjectName(QStringLiteral("ChartForm"));
    setWindowTitle(QString::fromUtf8(CHART_CAPTION));
    // Inside the screen's free area, a small laptop's too: the newest data lies at the right edge.
    QSize size(1100, 680);
    if (const QScreen* screen = owner != nullptr && owner->screen() != nullptr ? owner->screen() : QGuiApplication::primaryScreen()) {
        const QRect free = screen->availableGeometry();
        size = size.boundedTo(free.size() - QSize(16, 40));  // room for the frame and the title bar
        move(free.topLeft() + QPoint(8, 8));
    }
    resize(size);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 0, 4, 4);
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ChartToolBar"));
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    column->addWidget(ToolBar);

    auto* windowLabel = new QLabel(QStringLiteral("&Venster: "), ToolBar);
    ToolBar->addWidget(windowLabel);
    WindowBox = new QComboBox(ToolBar);
    WindowBox->setObjectName(QStringLiteral("WindowBox"));
    windowLabel->setBuddy(WindowBox);
    WindowBox->addItems({QStringLiteral("10 min"), QStringLiteral("1 uur"), QStringLiteral("8 uur"), QStringLiteral("Alles")});
    ToolBar->addWidget(WindowBox);
    PauseAction = ToolBar->addAction(QStringLiteral("&Pauze"));
    PauseAction->setObjectName(QStringLiteral("PauseAction"));
    PauseAction->setCheckable(true);
    PauseAction->setToolTip(QStringLiteral("Beeld vasthouden; de waarden worden verder bewaard"));
    ToolBar->addSeparator();
    SavePngAction = ToolBar->addAction(QStringLiteral("Opslaan als P&NG..."));
    SavePngAction->setObjectName(QStringLiteral("SavePngAction"));
    OpenLogAction = ToolBar->addAction(QStringLiteral("&Logfile openen..."));
    OpenLogAction->setObjectName(QStringLiteral("OpenLogAction"));
    // A tool bar's button drops the access letter and takes no Tab: these three keep both.
    for (QAction* a : {PauseAction, SavePngAction, OpenLogAction}) {
        a->setIconText(a->text());
        ToolBar->widgetForAction(a)->setFocusPolicy(Qt::TabFocus);
    }

    auto* row = new QHBoxLayout;
    SeriesList = new QListWidget(this);
    SeriesList->setObjectName(QStringLiteral("SeriesList"));
    Plot = new TSeriesPlot(this);
    ViewLabel = new QLabel(this);
    ViewLabel->setObjectName(QStringLiteral("ViewLabel"));
    ViewLabel->setAlignment(Qt::AlignRight);
    auto* chart = new QVBoxLayout;
    chart->addWidget(ViewLabel);
    chart->addWidget(Plot, 1);
    row->addWidget(SeriesList);
    row->addLayout(chart, 1);
    column->addLayout(row, 1);
    setTabOrder(WindowBox, ToolBar->widgetForAction(PauseAction));
    setTabOrder(ToolBar->widgetForAction(PauseAction), ToolBar->widgetForAction(SavePngAction));
    setTabOrder(ToolBar->widgetForAction(SavePngAction), ToolBar->widgetForAction(OpenLogAction));
    setTabOrder(ToolBar->widgetForAction(OpenLogAction), SeriesList);
    setTabOrder(SeriesList, Plot->Plot());
    connect(Plot, &TSeriesPlot::XRangeMoved, this, [this] { ViewLabel->setText(Plot->ViewText()); });

    connect(WindowBox, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] {
        ShowWindow();
        Plot->Replot();
    });
    connect(PauseAction, &QAction::toggled, this, [this](bool paused) {
        if (paused) return;
        ShowWindow();
        Plot->Replot();
    });
    connect(SavePngAction, &QAction::triggered, this, [this] { SavePngAsk(); });
    connect(OpenLogAction, &QAction::triggered, this, [this] { OpenLogAsk(); });
    connect(SeriesList, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { SetSeriesShown(SeriesList->row(item), item->checkState() == Qt::Checked); });
}

TChartForm::TChartForm(TTrendHistory& history, UiHost& host, QWidget* owner) : TChartForm(host, owner) {
    setObjectName(QStringLiteral("TrendForm"));
    history_ = &history;
    std::vector<TSeriesPlot::Series> series;
    std::vector<bool> shown;
    for (const TTrendSeries& s : TrendSeries()) {
        series.push_back({QString::fromStdString(TrendCaption(s)), s.Panel, s.Axis, {}, false, ListItems(s.Target)});
        shown.push_back(s.Shown);
    }
    Build(series, shown);
    Plot->SetValueAxisLabel(TChartAxis::Left, QStringLiteral("°C"));
    Plot->SetValueAxisLabel(TChartAxis::Right, QStringLiteral("A"));
    WindowBox->setCurrentIndex(static_cast<int>(TWindow::TenMinutes));
    history_->OnChange = [this] { HistoryChanged(); };
}

TChartForm::TChartForm(TLogTable table, const QString& fileName, UiHost& host, QWidget* owner)
    : TChartForm(host, owner) {
    setObjectName(QStringLiteral("LogViewForm"));
    table_ = std::make_unique<TLogTable>(std::move(table));
    fileName_ = fileName;
    setWindowTitle(QString::fromUtf8(CHART_CAPTION) + QStringLiteral(" - ") + fileName);
    setWindowFilePath(fileName);
    PauseAction->setVisible(false);  // a file does not move

    // The columns the live trend follows come first and look as they do there; the rest wait
    // to be chosen, in file order.
    const auto columns = LogLayout().subspan(1);
    std::vector<TSeriesPlot::Series> series;
    std::vector<bool> shown;
    const auto trend = TrendSeries();
    for (size_t i = 0; i < trend.size(); ++i) {
        const TTrendSeries& t = trend[i];
        for (size_t c = 0; c < columns.size(); ++c) {
            if (columns[c].Field != t.Target) continue;
            series.push_back({QString::fromStdString(TrendCaption(t)), t.Panel, t.Axis, TSeriesPlot::PaletteColour(i),
                              false, ListItems(t.Target)});
            shown.push_back(t.Shown);
            columnOf_.push_back(c);
        }
    }
    for (size_t c = 0; c < columns.size(); ++c) {
        if (TrendSeriesIndex(columns[c].Field) >= 0) continue;
        const TLogColumnKind kind = columns[c].Kind;
        // Named as the pages name it; the log's own heading where they do not.
        const std::string_view field = columns[c].Field;
        const std::string_view fallback = ReportCaption(field).empty() ? columns[c].Header : std::string_view();
        series.push_back({QString::fromStdString(SeriesName(field, fallback)),
                          kind == TLogColumnKind::Number ? TChartPanel::Values
                          : kind == TLogColumnKind::List ? TChartPanel::States
                                                         : TChartPanel::Flags,
                          TChartAxis::Left, TSeriesPlot::PaletteColour(trend.size() + series.size()), false,
                          ListItems(field)});
        shown.push_back(false);
        columnOf_.push_back(c);
    }
    Build(series, shown);
    Plot->SetValueAxisLabel(TChartAxis::Left, QStringLiteral("°C"));
    Plot->SetValueAxisLabel(TChartAxis::Right, QStringLiteral("A"));
    WindowBox->setCurrentIndex(static_cast<int>(TWindow::All));
    Plot->SetMarks(PlotMarks(LogMarks(*table_)));
    ReloadAll();
}

TChartForm::~TChartForm() {
    if (history_ != nullptr) history_->OnChange = nullptr;
}

void TChartForm::Build(const std::vector<TSeriesPlot::Series>& series, const std::vector<bool>& shown) {
    const QSignalBlocker block(SeriesList);
    for (size_t i = 0; i < series.size(); ++i) {
        const int s = Plot->AddSeries(series[i]);
        Plot->SetSeriesShown(s, shown[i]);
        auto* item = new QListWidgetItem(Swatch(Plot->SeriesColour(s)), series[i].Caption, SeriesList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(shown[i] ? Qt::Checked : Qt::Unchecked);
        item->setToolTip(series[i].Caption);  // whole, where the list is narrower than a long name
    }
    // Wide enough for the names, but the chart keeps most of a small screen.
    int widest = 0;
    for (int i = 0; i < SeriesList->count(); ++i)
        widest = std::max(widest, SeriesList->fontMetrics().horizontalAdvance(SeriesList->item(i)->text()));
    SeriesList->setFixedWidth(std::clamp(widest + 60, 200, 300));
    connect(Plot, &TSeriesPlot::ViewMovedByUser, this, [this] {
        if (history_ != nullptr) SetPaused(true);  // the engineer looks at something: hold it
    });
}

void TChartForm::LoadSeries(int s) {
    if (!Plot->SeriesShown(s)) {
        Plot->ClearPoints(s);  // a hidden series holds no copy of its points
        return;
    }
    if (table_) {
        Plot->SetPoints(s, table_->Time, table_->Columns[columnOf_[static_cast<size_t>(s)]]);
        return;
    }
    const size_t n = history_->Size();
    std::vector<double> x(n);
    std::vector<float> y(n);
    for (size_t i = 0; i < n; ++i) {
        x[i] = history_->Time(i);
        y[i] = history_->Value(static_cast<size_t>(s), i);
    }
    Plot->SetPoints(s, x, y);
}

bool TChartForm::ShowMarks() {
    if (history_ == nullptr || history_->MarksAdded() == marksSeen_) return false;
    marksSeen_ = history_->MarksAdded();
    Plot->SetMarks(PlotMarks(history_->Marks()));
    return true;
}

void TChartForm::ReloadAll() {
    for (int s = 0; s < Plot->SeriesCount(); ++s) LoadSeries(s);
    marksSeen_ = ~uint64_t{0};
    ShowMarks();
    if (history_ != nullptr) seen_ = history_->Added();
    stale_ = false;
    ShowWindow();
    Plot->Replot();
}

void TChartForm::HistoryChanged() {
    if (!isVisible()) {
        stale_ = true;
        return;
    }
    const uint64_t added = history_->Added();
    const size_t size = history_->Size();
    if (added < seen_ || added - seen_ > size || size == 0) {
        ReloadAll();  // a new connection, more than the history keeps, or nothing at all
        return;
    }
    for (size_t i = size - static_cast<size_t>(added - seen_); i < size; ++i)
        for (int s = 0; s < Plot->SeriesCount(); ++s)
            if (Plot->SeriesShown(s)) Plot->AddPoint(s, history_->Time(i), history_->Value(static_cast<size_t>(s), i));
    seen_ = added;
    if (size == history_->Capacity()) Plot->RemoveBefore(history_->Time(0));
    const bool marked = ShowMarks();
    if (!Paused()) ShowWindow();
    // A redraw shows something new only once the view has moved by a pixel: with hours in view
    // that takes tens of seconds, so the redraw waits for it (never more than 10 s).
    const auto [lower, upper] = Plot->XRange();
    const double perPixel = (upper - lower) / std::max(1, Plot->width());
    const double latest = history_->Time(size - 1);
    if (!marked && latest >= drawnAt_ && latest - drawnAt_ < std::min(perPixel, 10.0)) return;
    drawnAt_ = latest;
    Plot->Replot();
}

void TChartForm::ShowWindow() {
    double first = 0;
    double last = 0;
    if (table_ && !table_->Time.empty()) {
        first = table_->Time.front();
        last = table_->Time.back();
    } else if (history_ != nullptr && history_->Size() > 0) {
        first = history_->Time(0);
        last = history_->Time(history_->Size() - 1);
    } else {
        last = ChartTime(QDateTime::currentDateTime());
        first = last - kWindowSeconds[0];
    }
    const double span = kWindowSeconds[std::clamp(WindowBox->currentIndex(), 0, 3)];
    if (span == 0) {
        Plot->SetXRange(first, std::max(last, first + 60));
        return;
    }
    // A held or browsed view keeps its right edge; a live one ends at the latest report.
    const double right = table_ || Paused() ? Plot->XRange().second : last;
    Plot->SetXRange(right - span, right);
}

void TChartForm::SetWindow(TWindow window) { WindowBox->setCurrentIndex(static_cast<int>(window)); }

void TChartForm::SetPaused(bool paused) { PauseAction->setChecked(paused); }

bool TChartForm::Paused() const { return PauseAction->isChecked(); }

void TChartForm::SetSeriesShown(int series, bool shown) {
    if (series < 0 || series >= Plot->SeriesCount()) return;
    {
        const QSignalBlocker block(SeriesList);
        SeriesList->item(series)->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
    }
    if (Plot->SeriesShown(series) == shown) return;
    Plot->SetSeriesShown(series, shown);
    if (isVisible() || table_) LoadSeries(series);
    Plot->Replot();
}

bool TChartForm::SavePng(const QString& path) { return SavePlotPng(*Plot, path, host_, PictureTitle()); }

QString TChartForm::PictureTitle() const {
    QStringList parts;
    if (Installation) parts << Installation();
    parts << (table_ ? fileName_ : PortName ? PortName() : QString());
    parts << Plot->ViewText();
    parts.removeAll(QString());
    return parts.join(QStringLiteral(" – "));
}

void TChartForm::SavePngAsk() {
    const QString suggested = table_ ? QFileInfo(fileName_).completeBaseName() + QStringLiteral(".png")
                                     : QStringLiteral("grafiek.png");
    SavePlotPngAsk(*Plot, suggested, host_, PictureTitle());
}

void TChartForm::OpenLogAsk() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Logfile openen"), QString(),
                                                      QStringLiteral("Logfiles (*.csv);;All files (*)"));
    if (!path.isEmpty()) OpenLog(path, host_, owner_);
}

void TChartForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (history_ != nullptr && stale_) ReloadAll();
}

void TChartForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (history_ == nullptr) return;
    // Hidden, the trend holds no copy of the history; showing it again draws it anew.
    for (int s = 0; s < Plot->SeriesCount(); ++s) Plot->ClearPoints(s);
    stale_ = true;
}

TChartForm* TChartForm::OpenLog(const QString& path, UiHost& host, QWidget* owner) {
    const std::string shown = Text(QDir::toNativeSeparators(path));
    try {
        return OpenLogUnguarded(path, host, owner);
    } catch (const std::bad_alloc&) {
        // A file within the size limit can still need more than this machine can give.
        host.MessageBox(TMsgDlgType::mtError, FormatText(MSG_LOG_UNREADABLE, {shown, MSG_LOG_NO_MEMORY}),
                        TMsgDlgButtons::mbOK);
        return nullptr;
    }
}

TChartForm* TChartForm::OpenLogUnguarded(const QString& path, UiHost& host, QWidget* owner) {
    const std::string shown = Text(QDir::toNativeSeparators(path));
    auto refuse = [&](std::string text) -> TChartForm* {
        host.MessageBox(TMsgDlgType::mtError, text, TMsgDlgButtons::mbOK);
        return nullptr;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return refuse(FormatText(MSG_LOG_UNREADABLE, {shown, Text(file.errorString())}));
    if (file.size() > kMaxLogBytes)
        return refuse(FormatText(MSG_LOG_TOO_LARGE, {shown, std::to_string(kMaxLogBytes >> 20)}));

    TLogReadResult read;
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        struct Restore {
            ~Restore() { QGuiApplication::restoreOverrideCursor(); }
        } restore;
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return refuse(FormatText(MSG_LOG_UNREADABLE, {shown, Text(file.errorString())}));
        const std::vector<TLogTimeFormat> formats = LocaleTimeFormats();
        read = ReadLog(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                       std::span(formats).first(kRunningFormats), std::span(formats).subspan(kRunningFormats));
    }
    switch (read.Status) {
        case TLogReadStatus::Empty: return refuse(FormatText(MSG_LOG_EMPTY, {shown}));
        case TLogReadStatus::Foreign: return refuse(FormatText(MSG_LOG_FOREIGN, {shown}));
        case TLogReadStatus::NoRows: return refuse(FormatText(MSG_LOG_NO_ROWS, {shown}));
        case TLogReadStatus::Unclear: break;
        case TLogReadStatus::Ok: break;
    }
    const std::string unclear =
        read.Table.UnclearRows == 0 ? std::string()
                                    : FormatText(MSG_LOG_UNCLEAR, {std::to_string(read.Table.UnclearRows), shown,
                                                                   std::to_string(read.Table.FirstUnclearLine),
                                                                   read.Table.Unclear});
    if (read.Status == TLogReadStatus::Unclear) return refuse(unclear);
    const size_t skipped = read.Table.SkippedRows;
    const size_t firstSkipped = read.Table.FirstSkippedLine;
    auto* form = new TChartForm(std::move(read.Table), QFileInfo(path).fileName(), host, owner);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    if (skipped > 0)
        host.MessageBox(TMsgDlgType::mtInformation,
                        FormatText(MSG_LOG_SKIPPED, {std::to_string(skipped), shown, std::to_string(firstSkipped)}),
                        TMsgDlgButtons::mbOK);
    if (!unclear.empty()) host.MessageBox(TMsgDlgType::mtWarning, unclear, TMsgDlgButtons::mbOK);
    return form;
}

bool SavePlotPng(TSeriesPlot& plot, const QString& path, UiHost& host, const QString& title) {
    if (plot.SavePng(path, title)) return true;
    host.MessageBox(TMsgDlgType::mtError, FormatText(MSG_PNG_NOT_SAVED, {Text(QDir::toNativeSeparators(path))}),
                    TMsgDlgButtons::mbOK);
    return false;
}

void SavePlotPngAsk(TSeriesPlot& plot, const QString& suggested, UiHost& host, const QString& title) {
    QString path = QFileDialog::getSaveFileName(plot.window(), QStringLiteral("Grafiek opslaan als PNG"), suggested,
                                                QStringLiteral("PNG (*.png)"));
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) path += QStringLiteral(".png");
    SavePlotPng(plot, path, host, title);
}

TChartForm* ShowTrend(std::unique_ptr<TChartForm>& form, TTrendHistory& history, UiHost& host, QWidget* owner) {
    if (!form) form = std::make_unique<TChartForm>(history, host, owner);
    form->show();
    form->raise();
    form->activateWindow();
    return form.get();
}

}  // namespace korvel
