#include "charts/chart_form.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QTemporaryDir>
#include <qcustomplot.h>
#include <array>
#include <cmath>

#include "charts/log_reader.h"
#include "datalog/locale_log_time.h"
#include "host/text_format.h"
#include "scenario.h"
#include "visit/fault_history.h"
#include "support/fake_ui_host.h"
#include "ui_app/main_form_fixture.h"
#include "widgets/numeric_field.h"

namespace korvel::test {
namespace {

const double kMorning = ChartTime(QDateTime(QDate(2026, 1, 14), QTime(6, 0)));

void Feed(TTrendHistory& h, double from, int n) {
    for (int i = 0; i < n; ++i) {
        const double t = from + i;
        const std::vector<uint8_t> r = sim::ScenarioReport(t);
        h.AddReport(t, r.data(), r.size());
    }
}

class ChartFormTest : public ::testing::Test {
protected:
    FakeUiHost host;
    QWidget owner;
    QTemporaryDir dir;

    QString WriteFile(const char* name, const std::string& text) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), static_cast<qint64>(text.size()));
        return path;
    }
};

TEST_F(ChartFormTest, TrendFollowsTheHistoryWhileShown) {
    TTrendHistory history(500);
    std::unique_ptr<TChartForm> trend;
    TChartForm* form = ShowTrend(trend, history, host, &owner);
    ASSERT_EQ(form, trend.get());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Grafiek"));
    ASSERT_EQ(form->Plot->SeriesCount(), static_cast<int>(TrendSeries().size()));
    EXPECT_EQ(form->SeriesList->count(), form->Plot->SeriesCount());
    TSeriesPlot& plot = *form->Plot;

    Feed(history, kMorning, 100);
    const double last = kMorning + 99;
    EXPECT_EQ(plot.PointCount(0), 100);
    EXPECT_EQ(plot.XRange(), std::make_pair(last - 600, last));  // ten minutes up to the latest
    form->SetWindow(TChartForm::TWindow::All);
    EXPECT_EQ(plot.XRange(), std::make_pair(kMorning, last));

    // Held, the view stays while the history goes on; let go, it catches up.
    form->SetPaused(true);
    Feed(history, last + 1, 10);
    EXPECT_EQ(plot.XRange(), std::make_pair(kMorning, last));
    EXPECT_EQ(plot.PointCount(0), 110);
    form->SetPaused(false);
    EXPECT_EQ(plot.XRange().second, last + 10);
    // A drag or a wheel turn holds it too.
    emit plot.ViewMovedByUser();
    EXPECT_TRUE(form->Paused());
    form->SetPaused(false);

    form->SetSeriesShown(0, false);
    EXPECT_EQ(plot.PointCount(0), 0);
    EXPECT_EQ(form->SeriesList->item(0)->checkState(), Qt::Unchecked);
    form->SeriesList->item(0)->setCheckState(Qt::Checked);  // as the engineer ticks it
    EXPECT_EQ(plot.PointCount(0), 110);

    // Hidden it holds no copy; shown again it has what came meanwhile.
    form->hide();
    EXPECT_EQ(plot.PointCount(1), 0);
    Feed(history, last + 11, 5);
    form->show();
    EXPECT_EQ(plot.PointCount(1), 115);

    // At the history's bound the chart lets go of the oldest as well.
    Feed(history, last + 16, 500);
    EXPECT_EQ(plot.PointCount(1), 500);
    history.Clear();
    EXPECT_EQ(plot.PointCount(1), 0);
}

TEST_F(ChartFormTest, LogOpensInAWindowNamedAfterItsFile) {
    const std::string text = sim::ScenarioLog(100, kMorning, 5, sim::LogStyle::Dutch);
    const QString path = WriteFile("week.csv", text);
    TChartForm* form = TChartForm::OpenLog(path, host, &owner);
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(host.Boxes().empty());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Grafiek - week.csv"));
    EXPECT_FALSE(form->PauseAction->isVisible());
    // The trend's series first, shown; the log's other columns listed, not shown.
    EXPECT_EQ(form->SeriesList->item(0)->text(), QStringLiteral("Retour T (°C)"));
    EXPECT_EQ(form->Plot->PointCount(0), 100);
    EXPECT_EQ(form->Plot->SeriesCount(), 48);
    EXPECT_EQ(form->Plot->PointCount(47), 0);
    EXPECT_EQ(form->Plot->XRange(), std::make_pair(kMorning, kMorning + 99 * 5));
    form->SetSeriesShown(47, true);
    EXPECT_EQ(form->Plot->PointCount(47), 100);
    form->close();  // deletes itself
}

TEST_F(ChartFormTest, SkippedRowsAreCountedInAMessage) {
    std::string text = sim::ScenarioLog(10, kMorning, 5, sim::LogStyle::English);
    text += "garbage\r\n3/14/26 1:05:09 PM;cut off\r\n";
    const QString path = WriteFile("damaged.csv", text);
    ASSERT_NE(TChartForm::OpenLog(path, host, &owner), nullptr);
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].type, TMsgDlgType::mtInformation);
    EXPECT_EQ(host.Boxes()[0].text, FormatText(MSG_LOG_SKIPPED, {"2", path.toStdString(), "12"}));
}

TEST_F(ChartFormTest, FilesThatCannotBeShownAreRefusedWithTheirReason) {
    const QString foreign = WriteFile("other.csv", "Datum;Temperatuur\r\n14-03-2026;21,5\r\n");
    const QString empty = WriteFile("empty.csv", "");
    const QString headerOnly = WriteFile("new.csv", std::string(LOGFILEHEADER) + "\r\n");
    const QString missing = dir.filePath("missing.csv");
    const struct {
        QString path;
        std::string text;
    } cases[] = {
        {foreign, FormatText(MSG_LOG_FOREIGN, {foreign.toStdString()})},
        {empty, FormatText(MSG_LOG_EMPTY, {empty.toStdString()})},
        {headerOnly, FormatText(MSG_LOG_NO_ROWS, {headerOnly.toStdString()})},
        {missing, FormatText(MSG_LOG_UNREADABLE, {missing.toStdString(), "No such file or directory"})},
    };
    for (const auto& c : cases) {
        host.ClearRecords();
        EXPECT_EQ(TChartForm::OpenLog(c.path, host, &owner), nullptr) << c.text;
        ASSERT_EQ(host.Boxes().size(), 1u) << c.text;
        EXPECT_EQ(host.Boxes()[0].type, TMsgDlgType::mtError);
        EXPECT_EQ(host.Boxes()[0].text, c.text);
    }
}

TEST_F(ChartFormTest, ChartSavesAsPngOrSaysItCannot) {
    TTrendHistory history;
    Feed(history, kMorning, 60);
    std::unique_ptr<TChartForm> trend;
    TChartForm* form = ShowTrend(trend, history, host, &owner);
    const QString path = dir.filePath("trend.png");
    ASSERT_TRUE(form->SavePng(path));
    const QImage image(path);
    EXPECT_EQ(image.size(), form->Plot->Plot()->size());
    EXPECT_TRUE(host.Boxes().empty());

    const QString bad = dir.filePath("no/such/dir/trend.png");
    EXPECT_FALSE(form->SavePng(bad));
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].text, FormatText(MSG_PNG_NOT_SAVED, {bad.toStdString()}));
}

TEST_F(ChartFormTest, EveryValueListedByItsPageNameAndUnitTheAdvancedOnesUnticked) {
    TTrendHistory history;
    std::unique_ptr<TChartForm> trend;
    TChartForm* form = ShowTrend(trend, history, host, &owner);
    const struct {
        const char* target;
        QString name;
        bool ticked;
    } cases[] = {
        {"onfNTC1", QStringLiteral("Retour T (°C)"), true},
        {"onfCompCurrent", QStringLiteral("Compressor stroom (A)"), true},
        {"cbOnOff", QStringLiteral("Toshiba ON"), true},
        {"nfModBus4410", QStringLiteral("Tevap (°C)"), false},
        {"nfModBus4416", QStringLiteral("Tliq (°C)"), false},
        {"cbU7", QStringLiteral("U7"), false},
    };
    for (const auto& c : cases) {
        const int row = TrendSeriesIndex(c.target);
        ASSERT_GE(row, 0) << c.target;
        const QListWidgetItem* item = form->SeriesList->item(row);
        EXPECT_EQ(item->text(), c.name);
        EXPECT_EQ(item->checkState() == Qt::Checked, c.ticked) << c.target;
        EXPECT_EQ(form->Plot->SeriesShown(row), c.ticked) << c.target;
        EXPECT_EQ(item->toolTip(), c.name);
    }
    for (int i = 0; i < form->SeriesList->count(); ++i)
        EXPECT_LE(form->SeriesList->fontMetrics().horizontalAdvance(form->SeriesList->item(i)->text()) + 40,
                  form->SeriesList->width());
}

TEST_F(ChartFormTest, MarksWhereAFaultCameOrWentAndWhereTheEngineerActed) {
    // The pump's flow fault on from the 5th report to the 8th.
    TTrendHistory history;
    for (int i = 0; i < 10; ++i) {
        std::vector<uint8_t> r = sim::ScenarioReport(kMorning + i);
        r[49] = static_cast<uint8_t>((r[49] & ~0x20) | (i >= 5 && i < 8 ? 0x20 : 0));
        history.AddReport(kMorning + i, r.data(), r.size());
    }
    history.AddMark(kMorning + 9, TTrendMarkKind::Job, "Instellingen wegschrijven: Geprogrammeerd.");
    std::vector<std::string> texts;
    for (const TTrendMark& m : history.Marks()) texts.push_back(m.Text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Flow probleem verschenen", "Flow probleem verdwenen",
                                               "Instellingen wegschrijven: Geprogrammeerd."}));
    std::unique_ptr<TChartForm> trend;
    TChartForm* form = ShowTrend(trend, history, host, &owner);
    EXPECT_EQ(form->Plot->MarkCount(), 3);
    form->Plot->SetCursorAt(kMorning + 5);
    EXPECT_TRUE(form->Plot->ReadoutText().contains(QStringLiteral("Flow probleem verschenen")));

    // A log has its flags alone.
    TLogTable table;
    table.Time = {kMorning, kMorning + 5, kMorning + 10, kMorning + 15};
    table.Columns.assign(LogLayout().size() - 1, std::vector<float>(4, 0.0f));
    const int column = FaultLogColumn(static_cast<size_t>(FaultSourceIndex("cbPumpFlowError")));
    ASSERT_GE(column, 0);
    table.Columns[static_cast<size_t>(column)] = {0, 1, 1, 0};
    TChartForm log(std::move(table), QStringLiteral("dag.csv"), host, &owner);
    EXPECT_EQ(log.Plot->MarkCount(), 2);
}

TEST_F(ChartFormTest, KeysReachEveryControlAndTheWindowFitsTheScreen) {
    TTrendHistory history;
    std::unique_ptr<TChartForm> trend;
    TChartForm* form = ShowTrend(trend, history, host, &owner);
    const struct {
        QAction* action;
        QKeySequence key;
    } cases[] = {
        {form->PauseAction, QKeySequence(Qt::ALT | Qt::Key_P)},
        {form->SavePngAction, QKeySequence(Qt::ALT | Qt::Key_N)},
        {form->OpenLogAction, QKeySequence(Qt::ALT | Qt::Key_L)},
    };
    for (const auto& c : cases) {
        auto* button = qobject_cast<QToolButton*>(form->ToolBar->widgetForAction(c.action));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(QKeySequence::mnemonic(button->text()), c.key) << button->text().toStdString();
    }
    // Tab from the window's list on goes through every control and comes back.
    QList<QWidget*> wanted{form->WindowBox, form->SeriesList, form->Plot->Plot()};
    for (const auto& c : cases) wanted << form->ToolBar->widgetForAction(c.action);
    QWidget* w = form->WindowBox;
    for (int i = 0; i < 50 && !wanted.isEmpty(); ++i) {
        if (w->focusPolicy() & Qt::TabFocus) wanted.removeAll(w);
        w = w->nextInFocusChain();
    }
    EXPECT_TRUE(wanted.isEmpty());
    const QRect free = form->screen()->availableGeometry();
    EXPECT_TRUE(free.contains(form->frameGeometry()))
        << form->frameGeometry().width() << "x" << form->frameGeometry().height() << " in " << free.width() << "x"
        << free.height();
}

TEST_F(ChartFormTest, APictureNamesTheInstallationThePortAndTheTime) {
    TTrendHistory history;
    Feed(history, kMorning, 60);
    std::unique_ptr<TChartForm> trend;
    TChartForm* form = ShowTrend(trend, history, host, &owner);
    EXPECT_EQ(form->PictureTitle(), form->Plot->ViewText());  // nothing known but the time
    form->Installation = [] { return QStringLiteral("Fam. Jansen, Dorpsstraat 1"); };
    form->PortName = [] { return QStringLiteral("COM5"); };
    EXPECT_EQ(form->PictureTitle(), QStringLiteral("Fam. Jansen, Dorpsstraat 1 – COM5 – ") + form->Plot->ViewText());
}

class ChartMainFormTest : public MainFormTest {
protected:
    void ReceiveReport(double t) {
        std::array<uint8_t, 515> data{};
        const std::vector<uint8_t> r = sim::ScenarioReport(t);
        std::copy(r.begin(), r.end(), data.begin());
        form->DatablockNotification(nullptr, static_cast<int32_t>(r.size() + 2), data.data());
    }
    void TearDown() override {
        MainFormTest::TearDown();
        QLocale::setDefault(QLocale::c());
    }
    QTemporaryDir dir;
};

TEST_F(ChartMainFormTest, ReportsFeedTheTrendFromConnectOn) {
    QDateTime now(QDate(2026, 1, 14), QTime(6, 0));
    form->Now = [&now] { return now; };
    form->ChartAction->trigger();
    ASSERT_NE(form->TrendForm, nullptr);
    EXPECT_TRUE(form->TrendForm->isVisible());
    Connect();  // the chart open before the first connection: the history is cleared while empty
    EXPECT_EQ(form->TrendForm->Plot->PointCount(0), 0);

    ReceiveReport(0);
    now = now.addSecs(1);
    ReceiveReport(1);
    Receive({35});  // no report
    const std::vector<uint8_t> r = sim::ScenarioReport(2);
    Receive(std::vector<uint8_t>(r.begin(), r.end() - 1));  // a report cut short
    ASSERT_EQ(form->TrendHistory.Size(), 2u);
    EXPECT_EQ(form->TrendHistory.Time(1), ChartTime(now));
    EXPECT_EQ(form->TrendForm->Plot->PointCount(0), 2);

    // Disconnecting keeps the history for a look afterwards; the next connection starts anew.
    form->DisconnectActionExecute();
    EXPECT_EQ(form->TrendForm->Plot->PointCount(0), 2);
    Connect();
    EXPECT_EQ(form->TrendHistory.Size(), 0u);
    EXPECT_EQ(form->TrendForm->Plot->PointCount(0), 0);
}

TEST_F(ChartMainFormTest, ModeChangesAreMarkedAndTheWindowKeepsItsPlace) {
    form->ChartAction->trigger();
    Connect();
    form->ModeServiceAction->setChecked(true);
    form->ChangeModeActionExecute();
    ASSERT_FALSE(form->TrendHistory.Marks().empty());
    EXPECT_EQ(form->TrendHistory.Marks().back().Text, "Mode: Instellen");
    EXPECT_EQ(form->TrendHistory.Marks().back().Kind, TTrendMarkKind::Mode);

    ASSERT_NE(form->TrendFormState, nullptr);  // its place kept as the other windows keep theirs
}

// The reader against logs the tool itself writes: times and values come back as the trend had them.
TEST_F(ChartMainFormTest, LogsTheToolWritesReadBackInEitherLocale) {
    const QLocale locales[] = {
        QLocale(QLocale::Dutch, QLocale::Netherlands),
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::Arabic, QLocale::Egypt),  // digits of its own
        QLocale(QLocale::Greek, QLocale::Greece),  // its own word for p.m.
    };
    for (const QLocale& l : locales) {
        QLocale::setDefault(l);
        const QString path = dir.filePath(l.name() + QStringLiteral(".csv"));
        QDateTime now(QDate(2026, 1, 14), QTime(23, 59, 50));  // over midnight
        form->Now = [&now] { return now; };
        form->TrendHistory.Clear();
        form->StartLoggingActionAccept(path);
        for (int i = 0; i < 6; ++i) {
            ReceiveReport(ChartTime(now));
            now = now.addSecs(5);
        }
        form->StopLoggingActionExecute();

        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const TLogReadResult r =
            ReadLog(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), LogTimeFormatOf(l));
        ASSERT_EQ(r.Status, TLogReadStatus::Ok) << l.name().toStdString();
        EXPECT_EQ(r.Table.SkippedRows, 0u);
        ASSERT_EQ(r.Table.Time.size(), 6u);
        const TTrendHistory& h = form->TrendHistory;
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(r.Table.Time[i], h.Time(i)) << i;
            // NTC 1 is column 18; shown with two decimals as the trend has it.
            EXPECT_NEAR(r.Table.Columns[16][i], h.Value(0, i), 0.0051) << i;
            EXPECT_EQ(r.Table.Columns[0][i], h.Value(static_cast<size_t>(TrendSeriesIndex("ocbKorvelState")), i));
        }
    }
}

}  // namespace
}  // namespace korvel::test
