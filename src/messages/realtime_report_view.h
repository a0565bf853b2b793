// Shows a real-time report in the monitor tab and the advanced view.
#pragma once

#include <QRect>
#include <QString>
#include <cstdint>

#include "host/ui_host.h"
#include "visit/fault_history.h"

class QCheckBox;
class QComboBox;
class QWidget;

namespace korvel {

class TNumericField;
class TMonitorPage;
class TAdvancedViewForm;

// Data: the received block (identifier first); Size: its length plus the two check bytes.
// A block too short for the report is ignored with a trace line, so no field shows stale bytes.
void ShowRealtimeReport(const uint8_t* Data, int32_t Size, TMonitorPage& page, TAdvancedViewForm& view,
                        UiHost& host);

// The active faults in red: their fields on the monitor page, their names in the advanced view.
void ShowFaults(const TFaultState& state, TMonitorPage& page, TAdvancedViewForm& view);

// A display field of the report with its label: its type, mask and caption come from the report's
// layout, where the data log and the trend take them too. The list of an index the report
// selects, with its items. A box of the report with its caption.
TNumericField* MakeReportField(QWidget* parent, const QRect& labelGeometry, const QString& name,
                               const QRect& fieldGeometry, const QString& hint = {});
QComboBox* MakeReportList(QWidget* parent, const QString& name, const QRect& geometry);
QCheckBox* MakeReportBox(QWidget* parent, const QString& name, const QRect& geometry);
QString ReportCaptionText(const QString& name);

}  // namespace korvel
