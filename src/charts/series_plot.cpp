#include "charts/series_plot.h"

#include <qcustomplot.h>

#include <QKeyEvent>
#include <QLocale>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <optional>

namespace korvel {

namespace {

// Distinct on screen and in print; after these the hues repeat darker.
const QColor kPalette[] = {
    QColor(31, 119, 180), QColor(214, 39, 40),   QColor(44, 160, 44),   QColor(255, 127, 14),
    QColor(148, 103, 189), QColor(23, 190, 207), QColor(140, 86, 75),   QColor(227, 119, 194),
    QColor(127, 127, 127), QColor(188, 189, 34), QColor(0, 0, 128),     QColor(128, 0, 0),
    QColor(0, 100, 0),     QColor(184, 134, 11),
};
constexpr double kLaneHeight = 0.6;
constexpr int kMarkReach = 4;  // pixels either side of a mark that count as on it  // of a flag's lane of 1; the rest keeps lanes apart

// The time with its date in the user's notation.
QString DateTimeText(double x) {
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(x * 1000)), Qt::UTC);
    const QLocale locale;
    return locale.toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') + t.toString(QStringLiteral("HH:mm:ss"));
}

QVector<QCPGraphData> Points(std::span<const double> x, auto y, double scale, double offset) {
    const size_t n = std::min(x.size(), y.size());
    QVector<QCPGraphData> points(static_cast<qsizetype>(n));
    for (size_t i = 0; i < n; ++i) points[static_cast<qsizetype>(i)] = QCPGraphData(x[i], offset + scale * y[i]);
    return points;
}

}  // namespace

double ChartTime(const QDateTime& local) {
    return static_cast<double>(local.toMSecsSinceEpoch() + qint64{local.offsetFromUtc()} * 1000) / 1000.0;
}

TSeriesPlot::TSeriesPlot(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    plot_ = new QCustomPlot(this);
    plot_->setObjectName(QStringLiteral("ChartPlot"));
    layout->addWidget(plot_);
    // The legend's rows would otherwise set the least width: the window must fit a small screen.
    plot_->setMinimumSize(300, 200);
    // Axis numbers and dates in the user's notation (a decimal comma in Dutch), years without a
    // thousands mark.
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    plot_->setLocale(locale);
    plot_->setNoAntialiasingOnDrag(true);
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);

    values_ = plot_->axisRect();
    states_ = new QCPAxisRect(plot_);
    flags_ = new QCPAxisRect(plot_);
    auto* margins = new QCPMarginGroup(plot_);
    for (QCPAxisRect* rect : {values_, states_, flags_}) {
        rect->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
        rect->setRangeDrag(Qt::Horizontal);
        rect->setRangeZoom(Qt::Horizontal);
        rect->setRangeDragAxes(rect->axis(QCPAxis::atBottom), nullptr);
        rect->setRangeZoomAxes(rect->axis(QCPAxis::atBottom), nullptr);
        rect->axis(QCPAxis::atRight)->setVisible(true);
        rect->axis(QCPAxis::atRight)->setTickLabels(rect == values_);
        connect(rect->axis(QCPAxis::atBottom), qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
                [this](const QCPRange& range) { XRangeChanged(range); });
    }
    auto fixed = QSharedPointer<QCPAxisTickerFixed>::create();
    fixed->setTickStep(1);
    fixed->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
    states_->axis(QCPAxis::atLeft)->setTicker(fixed);
    flags_->axis(QCPAxis::atLeft)->setTicker(QSharedPointer<QCPAxisTickerText>::create());
    flags_->axis(QCPAxis::atLeft)->grid()->setVisible(false);

    flags_->axis(QCPAxis::atLeft)->setTickLabels(false);  // the lanes carry their names inside

    // Rows: the legend above the chart, where it hides no line, then the three panels. A panel
    // without a shown series keeps its row at no height.
    QCPLayoutGrid* grid = plot_->plotLayout();
    grid->insertRow(0);
    grid->addElement(2, 0, states_);
    grid->addElement(3, 0, flags_);
    SetLegendBeside(false);
    plot_->legend->setVisible(true);
    plot_->legend->setBorderPen(Qt::NoPen);
    QFont small = plot_->legend->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    plot_->legend->setFont(small);
    for (QCPAxisRect* rect : {values_, states_, flags_}) rect->setSizeConstraintRect(QCPLayoutElement::scrOuterRect);

    // Series on the right axis (a current among temperatures) lie under the others.
    plot_->addLayer(QStringLiteral("under"), plot_->layer(QStringLiteral("main")), QCustomPlot::limBelow);

    // The pointer's line and readout live on the top layer, which redraws alone: moving the pointer
    // over a week of data does not draw the week again.
    for (QCPAxisRect* rect : {values_, states_, flags_}) {
        auto* line = new QCPItemStraightLine(plot_);
        line->setLayer(QStringLiteral("overlay"));
        line->setClipAxisRect(rect);
        for (QCPItemPosition* p : {line->point1, line->point2}) {
            p->setAxisRect(rect);
            p->setAxes(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
        }
        line->setPen(QPen(QColor(60, 60, 60), 1, Qt::DashLine));
        line->setVisible(false);
        cursorLines_.push_back(line);
    }
    readout_ = new QCPItemText(plot_);
    readout_->setLayer(QStringLiteral("overlay"));
    readout_->setClipToAxisRect(false);
    readout_->setTextAlignment(Qt::AlignLeft);
    readout_->setPadding(QMargins(4, 2, 4, 2));
    readout_->setBrush(QColor(255, 255, 255, 225));
    readout_->setPen(QPen(QColor(160, 160, 160)));
    readout_->setVisible(false);
    plot_->setMouseTracking(true);
    plot_->setFocusPolicy(Qt::StrongFocus);
    plot_->installEventFilter(this);
    connect(plot_, &QCustomPlot::mouseMove, this, [this](QMouseEvent* e) {
        if (e->buttons() != Qt::NoButton) return;  // a drag moves the view, not the readout
        SetCursorAt(values_->axis(QCPAxis::atBottom)->pixelToCoord(e->position().x()));
    });

    connect(plot_, &QCustomPlot::mousePress, this, [this] { emit ViewMovedByUser(); });
    connect(plot_, &QCustomPlot::mouseWheel, this, [this] { emit ViewMovedByUser(); });
    SetTimeAxis(true);
    UpdateLayout();
}

QCPAxisRect* TSeriesPlot::Rect(TChartPanel panel) const {
    switch (panel) {
        case TChartPanel::Values: return values_;
        case TChartPanel::States: return states_;
        case TChartPanel::Flags: return flags_;
    }
    return values_;
}

QCPAxis* TSeriesPlot::ValueAxis(const Series& s) const {
    QCPAxisRect* rect = Rect(s.Panel);
    return rect->axis(s.Panel == TChartPanel::Values && s.Axis == TChartAxis::Right ? QCPAxis::atRight
                                                                                    : QCPAxis::atLeft);
}

void TSeriesPlot::SetTimeAxis(bool time) {
    timeAxis_ = time;
    for (QCPAxisRect* rect : {values_, states_, flags_}) {
        if (time) {
            auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
            ticker->setDateTimeSpec(Qt::UTC);  // x holds local time as it stands
            rect->axis(QCPAxis::atBottom)->setTicker(ticker);
        } else {
            rect->axis(QCPAxis::atBottom)->setTicker(QSharedPointer<QCPAxisTicker>::create());
        }
    }
    UpdateTimeFormat();
}

void TSeriesPlot::SetXLabel(const QString& text) {
    xLabel_ = text;
    UpdateLayout();
}

void TSeriesPlot::SetValueAxisLabel(TChartAxis axis, const QString& text) {
    values_->axis(axis == TChartAxis::Left ? QCPAxis::atLeft : QCPAxis::atRight)->setLabel(text);
}

void TSeriesPlot::SetLegendBeside(bool beside) {
    QCPLayoutGrid* grid = plot_->plotLayout();
    if (QCPLayout* holder = plot_->legend->layout()) holder->take(plot_->legend);
    if (beside) {
        grid->addElement(1, 1, plot_->legend);  // beside the values panel
        grid->setColumnStretchFactor(1, 0.001);  // no more room than its captions need
        plot_->legend->setWrap(0);
        plot_->legend->setFillOrder(QCPLegend::foRowsFirst);
    } else {
        grid->addElement(0, 0, plot_->legend);
        plot_->legend->setWrap(4);
        plot_->legend->setFillOrder(QCPLegend::foColumnsFirst);
    }
}

int TSeriesPlot::AddSeries(const Series& series) {
    Entry e;
    e.Def = series;
    if (!e.Def.Colour.isValid()) e.Def.Colour = PaletteColour(series_.size());
    e.Graph = plot_->addGraph(Rect(series.Panel)->axis(QCPAxis::atBottom), ValueAxis(series));
    e.Graph->setName(series.Caption);
    // One pixel wide: a wider pen strokes a dense line as one outline, seconds for a week of data.
    e.Graph->setPen(QPen(e.Def.Colour, series.Marked ? 2 : 1));
    if (series.Marked) e.Graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 6));
    if (series.Panel == TChartPanel::Values && series.Axis == TChartAxis::Right) e.Graph->setLayer(QStringLiteral("under"));
    if (series.Panel != TChartPanel::Values) e.Graph->setLineStyle(QCPGraph::lsStepLeft);
    if (series.Panel == TChartPanel::Flags) e.Graph->removeFromLegend();  // named in its lane
    series_.push_back(e);
    UpdateLayout();
    return static_cast<int>(series_.size()) - 1;
}

QColor TSeriesPlot::SeriesColour(int i) const { return series_[i].Def.Colour; }

QColor TSeriesPlot::PaletteColour(size_t i) {
    const size_t n = std::size(kPalette);
    return i < n ? kPalette[i] : kPalette[i % n].darker(150);
}

void TSeriesPlot::SetPoints(int series, std::span<const double> x, std::span<const double> y) {
    Entry& e = series_[series];
    const double scale = e.Def.Panel == TChartPanel::Flags ? kLaneHeight : 1.0;
    e.Graph->data()->set(Points(x, y, scale, e.Offset), true);
}

void TSeriesPlot::SetPoints(int series, std::span<const double> x, std::span<const float> y) {
    Entry& e = series_[series];
    const double scale = e.Def.Panel == TChartPanel::Flags ? kLaneHeight : 1.0;
    e.Graph->data()->set(Points(x, y, scale, e.Offset), true);
}

void TSeriesPlot::AddPoint(int series, double x, double y) {
    Entry& e = series_[series];
    const double scale = e.Def.Panel == TChartPanel::Flags ? kLaneHeight : 1.0;
    e.Graph->addData(x, e.Offset + scale * y);
}

void TSeriesPlot::ClearPoints(int series) { series_[series].Graph->data()->clear(); }

void TSeriesPlot::RemoveBefore(double x) {
    for (Entry& e : series_) e.Graph->data()->removeBefore(x);
}

int TSeriesPlot::PointCount(int series) const { return series_[series].Graph->data()->size(); }

void TSeriesPlot::SetSeriesShown(int series, bool shown) {
    Entry& e = series_[series];
    if (e.Shown == shown) return;
    e.Shown = shown;
    e.Graph->setVisible(shown);
    if (e.Def.Panel != TChartPanel::Flags) {
        if (shown)
            e.Graph->addToLegend();
        else
            e.Graph->removeFromLegend();
    }
    UpdateLayout();
}

void TSeriesPlot::UpdateLayout() {
    // Flags take the lanes from the bottom up in the order they were added; moving a flag to
    // another lane moves its points with it.
    for (QCPItemText* label : laneLabels_) plot_->removeItem(label);
    laneLabels_.clear();
    int lanes = 0;
    for (Entry& e : series_) {
        if (e.Def.Panel != TChartPanel::Flags || !e.Shown) continue;
        const double lane = lanes++;
        if (lane != e.Offset) {
            for (auto it = e.Graph->data()->begin(); it != e.Graph->data()->end(); ++it) it->value += lane - e.Offset;
            e.Offset = lane;
        }
        auto* label = new QCPItemText(plot_);
        label->setClipAxisRect(flags_);
        label->position->setAxisRect(flags_);
        label->position->setAxes(flags_->axis(QCPAxis::atBottom), flags_->axis(QCPAxis::atLeft));
        label->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
        label->position->setTypeY(QCPItemPosition::ptPlotCoords);
        label->position->setCoords(0.004, lane + kLaneHeight / 2);
        label->setPositionAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setPadding(QMargins(2, 0, 2, 0));
        label->setText(e.Def.Caption);
        label->setColor(e.Def.Colour.darker(130));
        label->setBrush(QColor(255, 255, 255, 200));
        laneLabels_.push_back(label);
    }
    for (QCPAxis* axis : {flags_->axis(QCPAxis::atLeft), flags_->axis(QCPAxis::atRight)})
        axis->setRange(-0.15, std::max(lanes, 1) - 0.15);

    auto shownIn = [this](TChartPanel panel) {
        return std::any_of(series_.begin(), series_.end(),
                           [panel](const Entry& e) { return e.Def.Panel == panel && e.Shown; });
    };
    // The top panel stays when nothing is shown, so an empty chart still shows its axes.
    const bool anyBelow = shownIn(TChartPanel::States) || shownIn(TChartPanel::Flags);
    const struct {
        QCPAxisRect* Rect;
        bool Shown;
        double Stretch;
    } rows[] = {
        {values_, shownIn(TChartPanel::Values) || !anyBelow, 5.0},
        {states_, shownIn(TChartPanel::States), 1.2},
        {flags_, shownIn(TChartPanel::Flags), 0.45 * lanes + 0.3},
    };
    QCPLayoutGrid* grid = plot_->plotLayout();
    grid->setRowStretchFactor(0, 0.001);  // the legend: no more than it needs
    QCPAxisRect* bottom = values_;
    for (size_t i = 0; i < std::size(rows); ++i) {
        QCPAxisRect* rect = rows[i].Rect;
        rect->setVisible(rows[i].Shown);
        rect->setMaximumSize(QWIDGETSIZE_MAX, rows[i].Shown ? QWIDGETSIZE_MAX : 0);
        // A lane needs the height of its name.
        const int least = rect == flags_ ? 18 * lanes + 12 : 40;
        // Not 0 when hidden: that leaves the least height to the axes' margins, some 30 pixels.
        rect->setMinimumSize(0, rows[i].Shown ? least : 1);
        grid->setRowStretchFactor(static_cast<int>(i) + 1, rows[i].Shown ? rows[i].Stretch : 0.001);
        if (rows[i].Shown) bottom = rect;
    }
    // The right axis numbers only what is drawn against it.
    values_->axis(QCPAxis::atRight)->setTickLabels(std::any_of(series_.begin(), series_.end(), [](const Entry& e) {
        return e.Shown && e.Def.Panel == TChartPanel::Values && e.Def.Axis == TChartAxis::Right;
    }));
    for (const auto& row : rows) {
        row.Rect->axis(QCPAxis::atBottom)->setTickLabels(row.Rect == bottom);
        row.Rect->axis(QCPAxis::atBottom)->setLabel(row.Rect == bottom ? xLabel_ : QString());
    }
    plot_->legend->setVisible(plot_->legend->itemCount() > 0);
}

std::pair<double, double> TSeriesPlot::XRange() const {
    const QCPRange r = values_->axis(QCPAxis::atBottom)->range();
    return {r.lower, r.upper};
}

void TSeriesPlot::SetXRange(double lower, double upper) {
    values_->axis(QCPAxis::atBottom)->setRange(lower, upper);
}

void TSeriesPlot::XRangeChanged(const QCPRange& range) {
    if (syncing_) return;
    syncing_ = true;
    for (QCPAxisRect* rect : {values_, states_, flags_}) rect->axis(QCPAxis::atBottom)->setRange(range);
    syncing_ = false;
    UpdateTimeFormat();
    FitValues();
    emit XRangeMoved();
}

void TSeriesPlot::UpdateTimeFormat() {
    if (!timeAxis_) return;
    const QCPRange r = values_->axis(QCPAxis::atBottom)->range();
    // The date where the view holds more than one: past midnight or longer than a day.
    const bool days = std::floor(r.lower / 86400) != std::floor(r.upper / 86400) || r.size() > 86400;
    const QString time = r.size() <= 1800 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    const QString format = days ? QLocale().dateFormat(QLocale::ShortFormat) + QLatin1Char('\n') + time : time;
    for (QCPAxisRect* rect : {values_, states_, flags_}) {
        auto ticker = rect->axis(QCPAxis::atBottom)->ticker().dynamicCast<QCPAxisTickerDateTime>();
        if (ticker && ticker->dateTimeFormat() != format) ticker->setDateTimeFormat(format);
    }
}

std::optional<QCPRange> TSeriesPlot::ShownRange(QCPAxis* valueAxis, const QCPRange* keys) const {
    std::optional<QCPRange> all;
    for (const Entry& e : series_) {
        if (!e.Shown || (valueAxis != nullptr && e.Graph->valueAxis() != valueAxis)) continue;
        bool found = false;
        const QCPRange r = keys != nullptr ? e.Graph->getValueRange(found, QCP::sdBoth, *keys) : e.Graph->getKeyRange(found);
        if (!found) continue;
        if (all)
            all->expand(r);
        else
            all = r;
    }
    return all;
}

void TSeriesPlot::FitValues() {
    // Values to what is in view, so a zoomed stretch fills the height.
    const QCPRange keys = values_->axis(QCPAxis::atBottom)->range();
    for (QCPAxis* axis : {values_->axis(QCPAxis::atLeft), values_->axis(QCPAxis::atRight), states_->axis(QCPAxis::atLeft)}) {
        std::optional<QCPRange> all = ShownRange(axis, &keys);
        if (!all) continue;
        // The right axis carries a current: from zero, so a steady one does not look jumpy.
        if (axis == values_->axis(QCPAxis::atRight)) all->expand(0.0);
        const double pad = axis == states_->axis(QCPAxis::atLeft) ? 0.5 : std::max(all->size() * 0.05, 0.5);
        axis->setRange(all->lower - pad, all->upper + pad);
        if (axis == states_->axis(QCPAxis::atLeft)) states_->axis(QCPAxis::atRight)->setRange(axis->range());
    }
}

void TSeriesPlot::FitAll(double margin) {
    if (const std::optional<QCPRange> all = ShownRange(nullptr, nullptr)) {
        const double pad = all->size() * margin;
        SetXRange(all->lower - pad, all->size() > 0 ? all->upper + pad : all->lower + 1);
    }
    FitValues();
}

void TSeriesPlot::Replot() {
    FitValues();
    if (cursor_) readout_->setText(ReadoutText());  // new points under a resting pointer
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

bool TSeriesPlot::SavePng(const QString& path, const QString& title) {
    FitValues();
    const bool cursor = readout_->visible();
    if (cursor) HideCursor();
    if (title.isEmpty()) return plot_->savePng(path, plot_->width(), plot_->height());
    // The title takes a row above the legend for the picture's sake only.
    QCPLayoutGrid* grid = plot_->plotLayout();
    grid->insertRow(0);
    QFont font = plot_->font();
    font.setBold(true);
    // A line too long for a narrow chart is broken at its parts rather than cut.
    QString text = title;
    if (QFontMetrics(font).horizontalAdvance(text) > plot_->width() - 16) text.replace(QStringLiteral(" – "), QStringLiteral("\n"));
    auto* heading = new QCPTextElement(plot_, text, font);
    grid->addElement(0, 0, heading);
    grid->setRowStretchFactor(0, 0.001);
    const bool saved = plot_->savePng(path, plot_->width(), plot_->height());
    grid->remove(heading);
    grid->simplify();
    plot_->replot(QCustomPlot::rpQueuedReplot);
    return saved;
}

void TSeriesPlot::SetMarks(const std::vector<Mark>& marks) {
    for (QCPAbstractItem* item : markItems_) plot_->removeItem(item);
    markItems_.clear();
    marks_ = marks;
    for (const Mark& m : marks_)
        for (QCPAxisRect* rect : {values_, states_, flags_}) {
            auto* line = new QCPItemStraightLine(plot_);
            line->setLayer(QStringLiteral("grid"));  // behind the lines it marks
            line->setClipAxisRect(rect);
            for (QCPItemPosition* p : {line->point1, line->point2}) {
                p->setAxisRect(rect);
                p->setAxes(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
            }
            line->point1->setCoords(m.X, 0);
            line->point2->setCoords(m.X, 1);
            line->setPen(QPen(m.Colour, 1));
            markItems_.push_back(line);
        }
}

int TSeriesPlot::MarkNear(double x) const {
    QCPAxis* axis = values_->axis(QCPAxis::atBottom);
    const double at = axis->coordToPixel(x);
    int best = -1;
    double bestDistance = kMarkReach + 1;
    for (size_t i = 0; i < marks_.size(); ++i) {
        const double d = std::abs(axis->coordToPixel(marks_[i].X) - at);
        if (d < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = d;
        }
    }
    return best;
}

void TSeriesPlot::SetCursorAt(double x) {
    cursor_ = x;
    DrawCursor();
}

void TSeriesPlot::HideCursor() {
    cursor_.reset();
    DrawCursor();
}

QString TSeriesPlot::ReadoutText() const {
    if (!cursor_) return {};
    const double x = *cursor_;
    QStringList lines{timeAxis_ ? DateTimeText(x) : QLocale().toString(x, 'g', 6)};
    if (const int m = MarkNear(x); m >= 0) lines << marks_[static_cast<size_t>(m)].Text;
    const QLocale locale;
    for (const Entry& e : series_) {
        if (!e.Shown) continue;
        // The last point at or before the pointer: what the chart shows there.
        auto it = e.Graph->data()->findEnd(x, false);
        if (it == e.Graph->data()->constBegin()) continue;
        --it;
        const double scale = e.Def.Panel == TChartPanel::Flags ? kLaneHeight : 1.0;
        const double v = (it->value - e.Offset) / scale;
        if (std::isnan(v)) continue;
        QString value;
        if (e.Def.Panel == TChartPanel::Flags) {
            value = v > 0.5 ? QStringLiteral("aan") : QStringLiteral("uit");
        } else if (const auto i = static_cast<qsizetype>(std::llround(v)); i >= 0 && i < e.Def.Items.size()) {
            value = e.Def.Items[i];
        } else {
            value = locale.toString(v, 'g', 6);
        }
        lines << e.Def.Caption + QStringLiteral(": ") + value;
    }
    return lines.join(QLatin1Char('\n'));
}

void TSeriesPlot::DrawCursor() {
    const bool shown = cursor_.has_value();
    QCPAxisRect* top = nullptr;
    for (size_t i = 0; i < cursorLines_.size(); ++i) {
        QCPItemStraightLine* line = cursorLines_[i];
        QCPAxisRect* rect = line->clipAxisRect();
        line->setVisible(shown && rect->visible());
        if (!shown) continue;
        line->point1->setCoords(*cursor_, 0);
        line->point2->setCoords(*cursor_, 1);
        if (top == nullptr && rect->visible()) top = rect;
    }
    readout_->setVisible(shown && top != nullptr);
    if (shown && top != nullptr) {
        readout_->setText(ReadoutText());
        // Beside the line on the side with room, else as near it as the chart lets it stand.
        const int width = QFontMetrics(readout_->font()).boundingRect(QRect(), 0, readout_->text()).width() + 12;
        const double at = top->axis(QCPAxis::atBottom)->coordToPixel(*cursor_);
        const double x = at + 8 + width <= plot_->width() ? at + 8 : std::max(0.0, at - 8 - width);
        readout_->position->setType(QCPItemPosition::ptAbsolute);
        readout_->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
        readout_->position->setCoords(x, top->top() + 4);
        readout_->setPadding(QMargins(4, 2, 4, 2));
    }
    if (QCPLayer* layer = plot_->layer(QStringLiteral("overlay")); layer != nullptr && plot_->isVisible())
        layer->replot();
}

void TSeriesPlot::StepCursor(int direction) {
    const QCPRange view = values_->axis(QCPAxis::atBottom)->range();
    const double from = cursor_ ? *cursor_ : direction < 0 ? view.upper : view.lower;
    std::optional<double> to;
    for (const Entry& e : series_) {
        if (!e.Shown || e.Graph->data()->isEmpty()) continue;
        const auto& data = *e.Graph->data();
        if (direction > 0) {
            auto it = data.findEnd(from, false);  // the first point after
            if (it != data.constEnd() && (!to || it->key < *to)) to = it->key;
        } else {
            auto it = data.findBegin(from, false);  // the first at or after; the one before it
            if (it != data.constBegin() && (!to || std::prev(it)->key > *to)) to = std::prev(it)->key;
        }
    }
    if (!to) return;
    // The view follows the readout off its edge.
    if (*to < view.lower || *to > view.upper) {
        const double shift = *to < view.lower ? *to - view.lower : *to - view.upper;
        SetXRange(view.lower + shift, view.upper + shift);
        emit ViewMovedByUser();
        plot_->replot(QCustomPlot::rpQueuedReplot);
    }
    SetCursorAt(*to);
}

bool TSeriesPlot::eventFilter(QObject* watched, QEvent* event) {
    if (watched == plot_) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Left || key == Qt::Key_Right) {
                StepCursor(key == Qt::Key_Left ? -1 : 1);
                return true;
            }
            if (key == Qt::Key_Escape && cursor_) {
                HideCursor();
                return true;
            }
        } else if (event->type() == QEvent::Resize && plot_->legend->fillOrder() == QCPLegend::foColumnsFirst) {
            // As many names a row as the width holds, so none is cut off.
            const int columns = std::clamp(plot_->width() / 210, 1, 5);
            if (plot_->legend->wrap() != columns) {
                plot_->legend->setWrap(columns);
                plot_->legend->setFillOrder(QCPLegend::foColumnsFirst, true);  // flowed anew
            }
        } else if (event->type() == QEvent::Leave && !plot_->hasFocus()) {
            HideCursor();
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString TSeriesPlot::ViewText() const {
    const auto [lower, upper] = XRange();
    if (!timeAxis_) return QLocale().toString(lower, 'g', 6) + QStringLiteral(" – ") + QLocale().toString(upper, 'g', 6);
    return DateTimeText(lower) + QStringLiteral(" – ") + DateTimeText(upper);
}

}  // namespace korvel
