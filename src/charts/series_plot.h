// The chart helper: series of points, drawn by QCustomPlot in up to three stacked panels that
// share one x axis, a time or a plain number. Measured values go in the top panel against a left
// or a right axis, list-valued states as steps in the middle one, on/off flags as steps, each in
// a lane of its own, at the bottom. A panel without a shown series gives its room to the others.
//
// The trend and the log viewer use it with a time axis; a curve (say a heating curve, x the
// outside temperature) needs no more than:
//     plot->SetTimeAxis(false);
//     plot->SetXLabel("Buitentemperatuur (°C)");
//     const int s = plot->AddSeries({"Stooklijn"});
//     plot->SetPoints(s, xs, ys);
//     plot->FitAll();
#pragma once

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "charts/trend_history.h"

class QCustomPlot;
class QCPAxisRect;
class QCPItemText;
class QCPItemStraightLine;
class QCPAbstractItem;
class QCPGraph;
class QCPAxis;
class QCPRange;

namespace korvel {

// A wall-clock time as the chart's x: seconds since 1970 of the local date and time, read as they
// stand (no zone), so a live trend and a log's written times meet on one axis.
double ChartTime(const QDateTime& local);

class TSeriesPlot : public QWidget {
    Q_OBJECT
public:
    struct Series {
        QString Caption;
        TChartPanel Panel = TChartPanel::Values;
        TChartAxis Axis = TChartAxis::Left;
        QColor Colour = QColor();  // invalid: the next of the plot's own
        bool Marked = false;       // a handful of points: each one marked, joined by a bolder line
        QStringList Items = {};    // a state's names by its number, for the readout
    };
    // A moment drawn as a vertical line through every panel; its text shows when the pointer is on it.
    struct Mark {
        double X = 0;
        QString Text;
        QColor Colour = QColor(120, 120, 120);
    };

    explicit TSeriesPlot(QWidget* parent = nullptr);

    void SetTimeAxis(bool time);  // default on
    void SetXLabel(const QString& text);
    void SetValueAxisLabel(TChartAxis axis, const QString& text);
    // The legend in a column right of the chart instead of in rows above it: for a small chart
    // whose captions are long.
    void SetLegendBeside(bool beside);

    int AddSeries(const Series& series);  // its number, counting from 0
    int SeriesCount() const { return static_cast<int>(series_.size()); }
    const Series& SeriesAt(int i) const { return series_[i].Def; }
    QColor SeriesColour(int i) const;
    static QColor PaletteColour(size_t i);  // the colour the i-th series gets by default

    // x ascending. NaN in y leaves a gap.
    void SetPoints(int series, std::span<const double> x, std::span<const double> y);
    void SetPoints(int series, std::span<const double> x, std::span<const float> y);
    void AddPoint(int series, double x, double y);  // x not before the series' last point
    void ClearPoints(int series);
    void RemoveBefore(double x);  // from every series
    int PointCount(int series) const;

    void SetSeriesShown(int series, bool shown);
    bool SeriesShown(int series) const { return series_[series].Shown; }

    std::pair<double, double> XRange() const;
    void SetXRange(double lower, double upper);
    // x to all points of the shown series, widened on either side by margin (a share of their
    // span), so points at the ends stay clear of the frame; values to what is in view.
    void FitAll(double margin = 0);
    void Replot();  // queued: many calls in one pass of the event loop draw once

    void SetMarks(const std::vector<Mark>& marks);
    int MarkCount() const { return static_cast<int>(marks_.size()); }

    // The pointer's readout: a vertical line at x and, beside it, the time, the text of a mark under
    // the pointer, and each shown series' value there. The mouse sets it; with the chart focused
    // Left and Right step it from point to point.
    void SetCursorAt(double x);
    void HideCursor();
    std::optional<double> CursorAt() const { return cursor_; }
    QString ReadoutText() const;

    // "14-01-2026 06:00:00 – 14-01-2026 16:00:00": the first and the last moment in view.
    QString ViewText() const;

    // title, when set, stands above the chart in the picture.
    bool SavePng(const QString& path, const QString& title = {});
    QCustomPlot* Plot() const { return plot_; }

signals:
    void ViewMovedByUser();  // a drag or a turn of the wheel on the chart
    void XRangeMoved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        Series Def;
        QCPGraph* Graph = nullptr;
        bool Shown = true;
        double Offset = 0;  // a flag's lane, added to its values
    };

    QCPAxisRect* Rect(TChartPanel panel) const;
    QCPAxis* ValueAxis(const Series& s) const;
    void XRangeChanged(const QCPRange& range);
    // The union of the shown series' values on valueAxis within keys, or of their keys when both
    // are null; nothing when no shown series has a point there.
    std::optional<QCPRange> ShownRange(QCPAxis* valueAxis, const QCPRange* keys) const;
    void FitValues();
    void UpdateLayout();
    void UpdateTimeFormat();
    void StepCursor(int direction);
    void DrawCursor();
    int MarkNear(double x) const;  // a mark within a few pixels of x, or -1

    QCustomPlot* plot_ = nullptr;
    QCPAxisRect* values_ = nullptr;
    QCPAxisRect* states_ = nullptr;
    QCPAxisRect* flags_ = nullptr;
    std::vector<Entry> series_;
    std::vector<QCPItemText*> laneLabels_;
    QString xLabel_;
    bool timeAxis_ = true;
    bool syncing_ = false;
    std::vector<Mark> marks_;
    std::vector<QCPAbstractItem*> markItems_;
    std::optional<double> cursor_;
    std::vector<QCPItemStraightLine*> cursorLines_;  // one a panel
    QCPItemText* readout_ = nullptr;
};

}  // namespace korvel
