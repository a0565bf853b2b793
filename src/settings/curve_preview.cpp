#include "settings/curve_preview.h"

#include <qcustomplot.h>

#include <QAction>
#include <QVBoxLayout>
#include <array>
#include <utility>

#include "charts/chart_form.h"
#include "charts/series_plot.h"
#include "settings/stook_lijn_frame.h"
#include "widgets/numeric_field.h"

namespace korvel {

TCurvePreview::TCurvePreview(std::vector<TStookLijnFrame*> curves, UiHost& host, QWidget* parent)
    : QWidget(parent), curves_(std::move(curves)), host_(host) {
    setObjectName(QStringLiteral("CurvePreview"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Plot = new TSeriesPlot(this);
    layout->addWidget(Plot);
    Plot->SetTimeAxis(false);
    Plot->SetXLabel(QStringLiteral("Buitentemperatuur (°C)"));
    Plot->SetValueAxisLabel(TChartAxis::Left, QStringLiteral("Watertemperatuur (°C)"));
    Plot->SetLegendBeside(true);
    // A picture of the fields, not a chart to browse: nothing to drag or zoom.
    Plot->Plot()->setInteractions(QCP::Interactions());

    SavePngAction = new QAction(QStringLiteral("Opslaan als P&NG..."), this);
    SavePngAction->setObjectName(QStringLiteral("SaveCurvesPngAction"));
    connect(SavePngAction, &QAction::triggered, this,
            [this] { SavePlotPngAsk(*Plot, QStringLiteral("stooklijnen.png"), host_, Title ? Title() : QString()); });
    Plot->Plot()->setContextMenuPolicy(Qt::ActionsContextMenu);
    Plot->Plot()->addAction(SavePngAction);
    Plot->Plot()->setToolTip(QStringLiteral("Stook- en koellijnen zoals ingevuld; rechtsklik: Opslaan als PNG..."));

    for (size_t i = 0; i < curves_.size(); ++i) {
        TSeriesPlot::Series series;
        series.Caption = curves_[i]->Caption();
        series.Marked = true;
        Plot->AddSeries(series);
        const TStookLijnFrame* f = curves_[i];
        for (TNumericField* field : {f->XMin, f->YMin, f->XMax, f->YMax})
            connect(field, &TNumericField::Changed, this, [this, i] { Follow(i); });
        Follow(i);
    }
}

void TCurvePreview::Follow(size_t curve) {
    const TStookLijnFrame& f = *curves_[curve];
    const int series = static_cast<int>(curve);
    // A field shown red holds no point to draw: its last good value would be a point nobody
    // entered. The curve stays out until all four are right again.
    if (!f.XMin->EntryValid() || !f.YMin->EntryValid() || !f.XMax->EntryValid() || !f.YMax->EntryValid()) {
        Plot->ClearPoints(series);
    } else {
        // Colder outside, warmer water: the water temperature falls from YMax at XMin to YMin at
        // XMax. A cooling curve too gives the coldest water at the warmest day.
        std::array<double, 2> x{f.XMin->Value(), f.XMax->Value()};
        std::array<double, 2> y{f.YMax->Value(), f.YMin->Value()};
        if (x[0] > x[1]) {  // drawn as entered, in key order
            std::swap(x[0], x[1]);
            std::swap(y[0], y[1]);
        }
        Plot->SetPoints(series, x, y);
    }
    Plot->FitAll(0.05);
    Plot->Replot();
}

bool TCurvePreview::SavePng(const QString& path) { return SavePlotPng(*Plot, path, host_, Title ? Title() : QString()); }

}  // namespace korvel
