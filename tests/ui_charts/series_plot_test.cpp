#include "charts/series_plot.h"

#include <gtest/gtest.h>

#include <qcustomplot.h>

#include <QLocale>
#include <QTest>
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

TEST(SeriesPlot, PointerReadsEveryShownSeriesAndAMarkAndKeysStepIt) {
    const double t0 = ChartTime(QDateTime(QDate(2026, 1, 14), QTime(6, 0)));
    TSeriesPlot plot;
    const std::vector<double> x{t0, t0 + 10, t0 + 20};
    plot.SetPoints(plot.AddSeries({"Retour T (°C)", Panel::Values}), x, std::vector<double>{40.5, 41, 42});
    plot.SetPoints(plot.AddSeries({"Stand", Panel::States, {}, {}, false, {"0: Uit", "1: Aan"}}), x,
                   std::vector<double>{0, 1, 1});
    plot.SetPoints(plot.AddSeries({"Pomp", Panel::Flags}), x, std::vector<double>{0, 1, 0});
    plot.SetPoints(plot.AddSeries({"Verborgen", Panel::Values}), x, std::vector<double>{1, 2, 3});
    plot.SetSeriesShown(3, false);
    plot.SetMarks({{t0 + 10, QStringLiteral("Mode: Instellen")}});
    plot.SetXRange(t0 - 10, t0 + 30);
    plot.Plot()->setViewport(QRect(0, 0, 600, 400));  // pixels, for how near a mark the pointer is
    plot.Plot()->replot();
    const QLocale l;
    const struct {
        double at;
        QStringList lines;  // after the time
    } cases[] = {
        {t0 - 5, {}},  // before the first point: nothing to read
        {t0 + 5, {"Retour T (°C): " + l.toString(40.5), "Stand: 0: Uit", "Pomp: uit"}},
        {t0 + 10, {"Mode: Instellen", "Retour T (°C): 41", "Stand: 1: Aan", "Pomp: aan"}},
    };
    for (const auto& c : cases) {
        plot.SetCursorAt(c.at);
        QStringList lines = plot.ReadoutText().split(QLatin1Char('\n'));
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_TRUE(lines.takeFirst().endsWith(QDateTime::fromSecsSinceEpoch(static_cast<qint64>(c.at), Qt::UTC)
                                                   .toString(QStringLiteral("HH:mm:ss"))));
        EXPECT_EQ(lines, c.lines) << c.at;
    }
    // From point to point, and the view follows off its edge.
    QTest::keyClick(plot.Plot(), Qt::Key_Right);
    EXPECT_EQ(plot.CursorAt(), t0 + 20);
    QTest::keyClick(plot.Plot(), Qt::Key_Left);
    QTest::keyClick(plot.Plot(), Qt::Key_Left);
    EXPECT_EQ(plot.CursorAt(), t0);
    plot.SetXRange(t0 + 15, t0 + 30);
    plot.SetCursorAt(t0 + 20);
    QTest::keyClick(plot.Plot(), Qt::Key_Left);
    EXPECT_EQ(plot.CursorAt(), t0 + 10);
    EXPECT_LE(plot.XRange().first, t0 + 10);
    QTest::keyClick(plot.Plot(), Qt::Key_Escape);
    EXPECT_FALSE(plot.CursorAt());
}

TEST(SeriesPlot, TicksCarryTheDateWhenTheViewHoldsMoreThanOneDay) {
    TSeriesPlot plot;
    auto at = [](int day, int h, int m) { return ChartTime(QDateTime(QDate(2026, 1, day), QTime(h, m))); };
    const QString date = QLocale().dateFormat(QLocale::ShortFormat);
    const struct {
        double lower, upper;
        bool date;
    } cases[] = {
        {at(14, 6, 0), at(14, 16, 0), false},
        {at(14, 23, 50), at(15, 0, 10), true},  // over midnight
        {at(14, 6, 0), at(16, 6, 0), true},
    };
    for (const auto& c : cases) {
        plot.SetXRange(c.lower, c.upper);
        auto ticker = plot.Plot()->xAxis->ticker().dynamicCast<QCPAxisTickerDateTime>();
        ASSERT_TRUE(ticker);
        EXPECT_EQ(ticker->dateTimeFormat().startsWith(date), c.date) << ticker->dateTimeFormat().toStdString();
        const QStringList ends = plot.ViewText().split(QStringLiteral(" – "));
        ASSERT_EQ(ends.size(), 2);
        EXPECT_TRUE(ends[1].endsWith(QDateTime::fromSecsSinceEpoch(static_cast<qint64>(c.upper), Qt::UTC)
                                         .toString(QStringLiteral("HH:mm:ss"))));
    }
}

TEST(SeriesPlot, APictureWithATitleLeavesTheChartAsItWas) {
    TSeriesPlot plot;
    plot.resize(400, 300);
    plot.SetPoints(plot.AddSeries({"T"}), std::vector<double>{0, 1}, std::vector<double>{1, 2});
    const int rows = plot.Plot()->plotLayout()->rowCount();
    const QString path = QDir::temp().filePath(QStringLiteral("korvel-title-test.png"));
    ASSERT_TRUE(plot.SavePng(path, QStringLiteral("COM5")));
    EXPECT_EQ(plot.Plot()->plotLayout()->rowCount(), rows);
    QFile::remove(path);
}

}  // namespace
}  // namespace korvel
