#include "charts/series_plot.h"

#include <qcustomplot.h>

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
constexpr double kLaneHeight = 0.6;  // of a flag's lane of 1; the rest keeps lanes apart

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
        plot_->legend->setWrap(5);
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
}

void TSeriesPlot::UpdateTimeFormat() {
    if (!timeAxis_) return;
    const QCPRange r = values_->axis(QCPAxis::atBottom)->range();
    const QString format = r.size() <= 1800        ? QStringLiteral("HH:mm:ss")
                           : r.size() <= 2 * 86400 ? QStringLiteral("HH:mm")
                                                   : QStringLiteral("dd-MM\nHH:mm");
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
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

bool TSeriesPlot::SavePng(const QString& path) {
    FitValues();
    return plot_->savePng(path, plot_->width(), plot_->height());
}

}  // namespace korvel
