#include "charts/series_plot.h"

#include <gtest/gtest.h>

#include <qcustomplot.h>

#include <vector>

namespace korvel {
namespace {

using Panel = TChartPanel;

std::vector<double> Values(const TSeriesPlot& plot, int series) {
    std::vector<double> out;
    const auto data = plot.Plot()->graph(series)->data();
    for (auto it = data->constBegin(); it != data->constEnd(); ++it) out.push_back(it->value);
    return out;
}

TEST(SeriesPlot, FlagsKeepALaneEachAndMoveDownWhenOneIsSwitchedOff) {
    TSeriesPlot plot;
    const std::vector<double> x{0, 1};
    const std::vector<double> y{0, 1};
    for (const char* name : {"a", "b", "c"}) plot.SetPoints(plot.AddSeries({name, Panel::Flags}), x, y);
    EXPECT_EQ(Values(plot, 0), (std::vector<double>{0, 0.6}));
    EXPECT_EQ(Values(plot, 2), (std::vector<double>{2, 2.6}));
    plot.SetSeriesShown(1, false);
    EXPECT_EQ(Values(plot, 2), (std::vector<double>{1, 1.6}));
    plot.AddPoint(2, 2, 0);
    EXPECT_EQ(Values(plot, 2).back(), 1.0);
    plot.SetSeriesShown(1, true);
    EXPECT_EQ(Values(plot, 2), (std::vector<double>{2, 2.6, 2}));
}

TEST(SeriesPlot, APanelWithoutAShownSeriesGivesUpItsRoom) {
    TSeriesPlot plot;
    const int value = plot.AddSeries({"T", Panel::Values});
    const int state = plot.AddSeries({"S", Panel::States});
    const int flag = plot.AddSeries({"F", Panel::Flags});
    auto visible = [&](int series) { return plot.Plot()->graph(series)->keyAxis()->axisRect()->visible(); };
    const struct {
        bool value, state, flag;
        bool valuesPanel, statesPanel, flagsPanel;
        int legendItems;
    } cases[] = {
        {true, true, true, true, true, true, 2},
        {false, true, true, false, true, true, 1},
        {false, false, true, false, false, true, 0},
        {false, false, false, true, false, false, 0},  // an empty chart still shows its axes
        {true, false, false, true, false, false, 1},
    };
    for (const auto& c : cases) {
        plot.SetSeriesShown(value, c.value);
        plot.SetSeriesShown(state, c.state);
        plot.SetSeriesShown(flag, c.flag);
        EXPECT_EQ(visible(value), c.valuesPanel);
        EXPECT_EQ(visible(state), c.statesPanel);
        EXPECT_EQ(visible(flag), c.flagsPanel);
        EXPECT_EQ(plot.Plot()->legend->itemCount(), c.legendItems);
    }
    // The values alone take the height: hidden panels keep none for their axes' margins.
    plot.Plot()->setViewport(QRect(0, 0, 400, 300));
    plot.Plot()->replot();
    EXPECT_GT(plot.Plot()->graph(value)->keyAxis()->axisRect()->outerRect().bottom(), 300 - 15);
}

TEST(SeriesPlot, ValuesFitWhatIsInViewAndACurrentStandsOnZero) {
    TSeriesPlot plot;
    const int t = plot.AddSeries({"T", Panel::Values, TChartAxis::Left});
    const int a = plot.AddSeries({"A", Panel::Values, TChartAxis::Right});
    plot.SetPoints(t, std::vector<double>{0, 10, 20}, std::vector<double>{100, 20, 30});
    plot.SetPoints(a, std::vector<double>{0, 10, 20}, std::vector<double>{8, 8, 8});
    plot.SetXRange(5, 25);  // the 100 at 0 is out of view
    const QCPRange left = plot.Plot()->graph(t)->valueAxis()->range();
    const QCPRange right = plot.Plot()->graph(a)->valueAxis()->range();
    EXPECT_LT(left.lower, 20);
    EXPECT_GT(left.upper, 30);
    EXPECT_LT(left.upper, 40);
    EXPECT_LT(right.lower, 0);
    EXPECT_GT(right.upper, 8);
}

TEST(SeriesPlot, ACurveAgainstAPlainNumber) {
    TSeriesPlot plot;
    plot.SetTimeAxis(false);
    plot.SetXLabel(QStringLiteral("Buitentemperatuur (°C)"));
    const int s = plot.AddSeries({QStringLiteral("Stooklijn")});
    plot.SetPoints(s, std::vector<double>{-10, 0, 15}, std::vector<double>{45, 38, 28});
    plot.FitAll();
    EXPECT_EQ(plot.XRange(), std::make_pair(-10.0, 15.0));
    const QCPAxis* x = plot.Plot()->graph(s)->keyAxis();
    EXPECT_TRUE(x->ticker().dynamicCast<QCPAxisTickerDateTime>().isNull());
    EXPECT_EQ(x->label(), QStringLiteral("Buitentemperatuur (°C)"));
}

TEST(SeriesPlot, ChartTimeIsTheWallClockAsItStands) {
    const QDate day(2026, 7, 1);
    const double expected = QDateTime(day, QTime(14, 30), Qt::UTC).toSecsSinceEpoch();
    for (int offset : {-5 * 3600, 0, 3600, 2 * 3600})
        EXPECT_EQ(ChartTime(QDateTime(day, QTime(14, 30), Qt::OffsetFromUTC, offset)), expected) << offset;
}

}  // namespace
}  // namespace korvel
