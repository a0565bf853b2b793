// The main window's part in the visit: the installation field, the fault history's list and the
// service report.
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QToolBar>

#include "app/global_data_module.h"
#include "app/main_form.h"
#include "app/recent_addresses.h"
#include "app/version_info.h"
#include "charts/chart_form.h"
#include "charts/series_plot.h"
#include "host/text_format.h"
#include "messages/monitor_page.h"
#include "messages/realtime_report.h"
#include "settings/curve_preview.h"
#include "settings/settings_page.h"
#include "visit/fault_list_form.h"
#include "visit/service_report.h"
#include "widgets/field_builders.h"

#include <korvel_version.h>
#include <qcustomplot.h>

namespace korvel {

void TMainForm::BuildInstallationField() {
    // A row of its own: beside the commands it would fall into the bar's overflow on a small screen.
    auto* bar = new QToolBar(QStringLiteral("Installatie"), this);
    bar->setObjectName(QStringLiteral("VisitToolBar"));
    bar->setMovable(false);
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, bar);
    auto* label = new QLabel(QStringLiteral(" Installatie: "), bar);
    label->setObjectName(QStringLiteral("lblInstallation"));
    cbInstallation = new QComboBox(bar);
    cbInstallation->setObjectName(QStringLiteral("cbInstallation"));
    cbInstallation->setEditable(true);
    cbInstallation->setInsertPolicy(QComboBox::NoInsert);
    cbInstallation->setMinimumWidth(320);
    cbInstallation->setToolTip(QStringLiteral("Installatie|Adres of klantnummer van de installatie van dit bezoek"));
    cbInstallation->lineEdit()->setPlaceholderText(QStringLiteral("adres of klantnummer"));
    label->setBuddy(cbInstallation);
    bar->addWidget(label);
    bar->addWidget(cbInstallation);
    for (const std::string& name : ReadRecentInstallations(GlobalDataModule->OvcRegistryStore))
        cbInstallation->addItem(QString::fromStdString(name));
    cbInstallation->setCurrentIndex(-1);
    cbInstallation->setEditText(QString());
    connect(cbInstallation->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { SetInstallation(cbInstallation->currentText()); });
    connect(cbInstallation, &QComboBox::textActivated, this, [this](const QString& text) { SetInstallation(text); });
}

void TMainForm::SetInstallation(const QString& typed) {
    Visit.SetInstallation(typed.toStdString());
    const QString kept = QString::fromStdString(Visit.Installation());
    if (cbInstallation->currentText() != kept) cbInstallation->setEditText(kept);
    if (kept.isEmpty()) return;
    try {
        RememberInstallation(GlobalDataModule->OvcRegistryStore, Visit.Installation());
    } catch (const std::exception& e) {
        host_.Trace(std::string("Installation not remembered: ") + e.what());
    }
}

void TMainForm::VisitBlock(const uint8_t* Data, int32_t Size) {
    if (Data == nullptr || Size < 2) return;
    const double time = ChartTime(Now());
    const size_t size = static_cast<size_t>(Size - 2);
    if (Data[0] == K2MSENDMONDATA) {
        const uint64_t seen = Visit.Faults().Added();
        if (Visit.RealtimeReport(time, Data, size) && Visit.Faults().Added() != seen && FaultListForm)
            FaultListForm->Refresh();
    } else if (Data[0] == K2PRGETNVM || Data[0] == K2PRFLASHNVM) {
        if (const auto words = NvmWordsOfReport({Data, size})) Visit.ParameterReport(time, *words);
    }
}

void TMainForm::FaultHistoryActionExecute() {
    if (!FaultListForm) FaultListForm = std::make_unique<TFaultListForm>(Visit.Faults(), this);
    FaultListForm->Refresh();
    FaultListForm->show();
    FaultListForm->raise();
    FaultListForm->activateWindow();
}

std::vector<std::pair<QString, QString>> TMainForm::LiveValues() const {
    std::vector<std::pair<QString, QString>> values;
    if (Visit.LastReport().empty()) return values;
    for (const TReportField& f : RealtimeReportFields()) {
        if (f.Target.empty()) continue;
        QWidget* w = TabSheetToshiba->Field(f.Target);
        if (w == nullptr || w->isHidden()) continue;
        const auto* label = TabSheetToshiba->findChild<QLabel*>(LabelNameFor(w->objectName()));
        const auto* group = qobject_cast<const QGroupBox*>(w->parentWidget());
        // A list without a label of its own is named by its group ("KORVEL bedrijfsstand").
        QString caption = label != nullptr ? label->text() : group != nullptr ? group->title() : QString();
        caption.remove(QLatin1Char('&'));
        QString value;
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            value = edit->text().trimmed();
            if (!f.Unit.empty() && !value.isEmpty())
                value += QLatin1Char(' ') + QString::fromUtf8(f.Unit.data(), static_cast<qsizetype>(f.Unit.size()));
        } else if (auto* list = qobject_cast<QComboBox*>(w)) {
            value = list->currentText();
        }
        if (caption.isEmpty() || value.isEmpty()) continue;  // a box: the faults and states have their own place
        values.emplace_back(caption, value);
    }
    return values;
}

bool TMainForm::ServiceReportAccept(const QString& path) {
    TServiceReportExtras extras;
    extras.Tool = QString::fromUtf8(MAIN_CAPTION) + QStringLiteral(" ") + QStringLiteral(KORVEL_PRODUCT_VERSION_TEXT);
    extras.Now = ChartTime(Now());
    extras.LineUp = CommsDataModule->ConnectionState() == csConnected && !FValuesStale;
    extras.LiveValues = LiveValues();
    extras.LiveTime = Visit.LastReportTime();
    extras.DecimalSeparator = QLocale().decimalPoint().at(0).toLatin1();
    if (extras.DecimalSeparator != ',') extras.DecimalSeparator = '.';
    if (Visit.LastParameters() && TabSheetService->CurvePreview != nullptr)
        extras.Curves = TabSheetService->CurvePreview->Plot->Plot()->toPixmap(1200, 600, 2.0).toImage();
    if (TrendHistory.Size() > 0) {
        // Drawn by a chart of its own, so the trend window keeps its view; the history's hook is the
        // open window's, and goes back to it.
        const auto hook = TrendHistory.OnChange;
        {
            TChartForm chart(TrendHistory, host_, this);
            chart.setAttribute(Qt::WA_DontShowOnScreen);
            chart.resize(1100, 650);
            const double span = TrendHistory.Time(TrendHistory.Size() - 1) - TrendHistory.Time(0);
            chart.SetWindow(span > 3600 ? TChartForm::TWindow::Hour : TChartForm::TWindow::All);
            chart.show();
            extras.Trend = chart.Plot->Plot()->toPixmap(1200, 650, 2.0).toImage();
            chart.hide();
        }
        TrendHistory.OnChange = hook;
    }
    if (WriteServiceReport(path, Visit, extras)) return true;
    host_.MessageBox(TMsgDlgType::mtError,
                     FormatText(MSG_REPORT_NOT_SAVED, {QDir::toNativeSeparators(path).toStdString()}),
                     TMsgDlgButtons::mbOK);
    return false;
}

void TMainForm::ServiceReportActionExecute() {
    TServiceReportDialog dialog(QString::fromStdString(Visit.Installation()), QString::fromStdString(Visit.Engineer),
                                QString::fromStdString(Visit.Notes), this);
    if (dialog.exec() != QDialog::Accepted) return;
    SetInstallation(dialog.Installation());
    Visit.Engineer = dialog.Engineer().trimmed().toStdString();
    Visit.Notes = dialog.Notes().trimmed().toStdString();
    const QString proposed =
        QString::fromStdString(ServiceReportFileName(Visit.Installation(), ChartTime(Now())));
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Servicerapport opslaan"), proposed,
                                                QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
    ServiceReportAccept(path);
}

}  // namespace korvel
