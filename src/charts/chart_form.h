// The window "Grafiek": a chart of the live trend (the reports since the connection began) or of a
// log file's rows, with the series to show, the time window, pause, zoom and export to PNG.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "charts/log_reader.h"
#include "charts/series_plot.h"
#include "charts/trend_history.h"
#include "host/ui_host.h"

class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QToolBar;

namespace korvel {

inline constexpr char CHART_CAPTION[] = "Grafiek";
inline constexpr char MSG_LOG_UNREADABLE[] = "Het bestand \"%s\" kan niet gelezen worden: %s";
inline constexpr char MSG_LOG_TOO_LARGE[] = "Het bestand \"%s\" is te groot om te tonen (meer dan %s MB).";
inline constexpr char MSG_LOG_NO_MEMORY[] = "er is niet genoeg geheugen vrij";
inline constexpr char MSG_PNG_NOT_SAVED[] = "De grafiek kan niet opgeslagen worden als \"%s\".";

class TChartForm : public QWidget {
    Q_OBJECT
public:
    enum class TWindow { TenMinutes, Hour, EightHours, All };
    static constexpr qint64 kMaxLogBytes = qint64{512} << 20;

    // The live trend. owner: the window whose life the chart shares (the main window).
    TChartForm(TTrendHistory& history, UiHost& host, QWidget* owner);
    // A log file's rows; fileName names the window.
    TChartForm(TLogTable table, const QString& fileName, UiHost& host, QWidget* owner);
    ~TChartForm() override;

    // Reads a log and shows it in a window of its own; tells the user and returns nullptr when
    // the file cannot be read or is no log of this tool, and how many rows it skipped.
    static TChartForm* OpenLog(const QString& path, UiHost& host, QWidget* owner);

    void SetWindow(TWindow window);
    void SetPaused(bool paused);
    bool Paused() const;
    void SetSeriesShown(int series, bool shown);
    bool SavePng(const QString& path);  // a failure is told to the user
    // The picture's title line: the installation when known, the port (or the log's file), and the
    // time in view.
    QString PictureTitle() const;
    // Where the title finds the installation and the port; unset, it leaves them out.
    std::function<QString()> Installation;
    std::function<QString()> PortName;

    TSeriesPlot* Plot = nullptr;
    QToolBar* ToolBar = nullptr;
    QComboBox* WindowBox = nullptr;
    QListWidget* SeriesList = nullptr;
    QAction* PauseAction = nullptr;
    QAction* SavePngAction = nullptr;
    QAction* OpenLogAction = nullptr;
    QLabel* ViewLabel = nullptr;  // the first and last moment in view

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    TChartForm(UiHost& host, QWidget* owner);
    static TChartForm* OpenLogUnguarded(const QString& path, UiHost& host, QWidget* owner);
    void Build(const std::vector<TSeriesPlot::Series>& series, const std::vector<bool>& shown);
    void LoadSeries(int series);
    void ReloadAll();
    void HistoryChanged();
    void ShowWindow();
    void SavePngAsk();
    void OpenLogAsk();
    bool ShowMarks();  // true when they changed

    UiHost& host_;
    QWidget* owner_;
    TTrendHistory* history_ = nullptr;
    std::unique_ptr<TLogTable> table_;
    std::vector<size_t> columnOf_;  // table column of each series
    QString fileName_;
    uint64_t seen_ = 0;  // history samples already in the plot
    uint64_t marksSeen_ = ~uint64_t{0};  // history marks already in the plot
    double drawnAt_ = 0;  // time of the latest sample in the last live redraw
    bool stale_ = true;
};

// A chart's picture as PNG: saved to path, or to a file the user picks (suggested: a file name),
// with ".png" added when the name has no such ending. A failure is told to the user.
bool SavePlotPng(TSeriesPlot& plot, const QString& path, UiHost& host, const QString& title = {});
void SavePlotPngAsk(TSeriesPlot& plot, const QString& suggested, UiHost& host, const QString& title = {});

// The live trend's window, created on first use.
TChartForm* ShowTrend(std::unique_ptr<TChartForm>& form, TTrendHistory& history, UiHost& host, QWidget* owner);

}  // namespace korvel
