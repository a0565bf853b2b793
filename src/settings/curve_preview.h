// The heating and cooling curves of the settings tab drawn as their fields hold them, outdoor
// temperature against water temperature, so a wrong point shows before it is written. The
// picture follows every change of a field: typing, a fetch from the board, the defaults, a file.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QAction;

namespace korvel {

class TSeriesPlot;
class TStookLijnFrame;
class UiHost;

class TCurvePreview : public QWidget {
    Q_OBJECT
public:
    // One series per frame, in the given order, named by the frame's caption.
    TCurvePreview(std::vector<TStookLijnFrame*> curves, UiHost& host, QWidget* parent = nullptr);

    bool SavePng(const QString& path);  // a failure is told to the user

    TSeriesPlot* Plot = nullptr;
    QAction* SavePngAction = nullptr;  // in the chart's context menu
    // The saved picture's title line: which installation and board the curves were for.
    std::function<QString()> Title;

private:
    void Follow(size_t curve);

    std::vector<TStookLijnFrame*> curves_;
    UiHost& host_;
};

}  // namespace korvel
