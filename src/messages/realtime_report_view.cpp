#include "messages/realtime_report_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <string>

#include "messages/advanced_view_form.h"
#include "messages/monitor_page.h"
#include "messages/realtime_report.h"
#include "visit/fault_history.h"
#include "widgets/display_only.h"
#include "widgets/field_builders.h"
#include "widgets/numeric_field.h"

namespace korvel {

namespace {

QWidget* FindField(std::string_view name, const TMonitorPage& page, const TAdvancedViewForm& view) {
    if (QWidget* w = page.Field(name)) return w;
    return view.Field(name);
}

}  // namespace

QString ReportCaptionText(const QString& name) {
    const std::string_view caption = ReportCaption(name.toStdString());
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

QCheckBox* MakeReportBox(QWidget* parent, const QString& name, const QRect& geometry) {
    return MakeCheckBox(parent, name, ReportCaptionText(name), geometry);
}

TNumericField* MakeReportField(QWidget* parent, const QRect& labelGeometry, const QString& name,
                               const QRect& fieldGeometry, const QString& hint) {
    const QString caption = ReportCaptionText(name);
    const TReportField* f = FindReportField(name.toStdString());
    const auto type = f != nullptr ? f->Shown : TNumericDataType::ndtReal;
    const QString mask = f != nullptr ? QString::fromLatin1(f->Mask.data(), static_cast<qsizetype>(f->Mask.size()))
                                      : QStringLiteral("###.##");
    return MakeLabelledField(parent, caption, labelGeometry, name, type, mask, fieldGeometry, hint);
}

QComboBox* MakeReportList(QWidget* parent, const QString& name, const QRect& geometry) {
    QStringList items;
    for (const std::string_view item : ReportListItems(name.toStdString()))
        items << QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size()));
    return MakeDropDownList(parent, name, items, geometry);
}

void ShowRealtimeReport(const uint8_t* Data, int32_t Size, TMonitorPage& page, TAdvancedViewForm& view,
                        UiHost& host) {
    // Reading a short report at the fixed offsets would show its check bytes and bytes of earlier
    // blocks as values, so it is left out.
    const size_t blockSize = Data == nullptr ? 0 : ReceivedBlockBytes(Size);
    if (blockSize < REALTIME_REPORT_SIZE) {
        host.Trace("Realtime report ignored: " + std::to_string(blockSize) + " bytes, " +
                   std::to_string(REALTIME_REPORT_SIZE) + " expected");
        return;
    }

    const std::vector<TReportValue> values = DecodeRealtimeReport(Data, blockSize);
    for (const TReportValue& value : values) {
        QWidget* widget = FindField(value.Target, page, view);
        switch (value.ValueKind) {
            case TReportValue::Kind::Number:
                if (auto* field = qobject_cast<TNumericField*>(widget)) field->SetValue(value.Number);
                break;
            case TReportValue::Kind::ListIndex:
                if (auto* list = qobject_cast<QComboBox*>(widget))
                    list->setCurrentIndex(value.Index < list->count() ? value.Index : -1);
                break;
            case TReportValue::Kind::Flag:
                if (auto* box = qobject_cast<QCheckBox*>(widget)) box->setChecked(value.Checked);
                break;
        }
    }
    ShowFaults(FaultStateOf(values), page, view);
}

void ShowFaults(const TFaultState& state, TMonitorPage& page, TAdvancedViewForm& view) {
    QStringList active;
    for (size_t s = 0; s < FAULT_SOURCE_COUNT; ++s) {
        const TFaultSource& source = FaultSources()[s];
        ShowFault(FindField(source.Target, page, view), state[s] != 0);
        if (state[s] != 0) active << QString::fromStdString(FaultName({0, s, true, state[s]}));
    }
    if (view.lblFaults == nullptr) return;
    view.lblFaults->setText(active.isEmpty() ? QString() : QStringLiteral("Foutmeldingen: ") + active.join(QStringLiteral(", ")));
    view.lblFaults->setVisible(!active.isEmpty());
}

}  // namespace korvel
