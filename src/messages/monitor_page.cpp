#include "messages/monitor_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "messages/realtime_report_view.h"
#include "widgets/display_only.h"
#include "widgets/field_builders.h"

namespace korvel {

namespace {

constexpr int kFieldH = 20;
constexpr int kCheckH = 14;

// Label left of its field, on one row.
TNumericField* Row(QWidget* box, int labelX, int fieldX, int y, int labelW, int fieldW, const QString& name,
                   const QString& hint = {}) {
    return MakeReportField(box, QRect(labelX, y + 3, labelW, 14), name, QRect(fieldX, y, fieldW, kFieldH), hint);
}

// Label above its field, in a column.
TNumericField* Column(QWidget* box, int x, int width, const QString& name, const QString& hint = {}) {
    return MakeReportField(box, QRect(x, 21, width, 14), name, QRect(x, 38, 60, kFieldH), hint);
}

void BuildStateBox(QGroupBox* box) {
    MakeReportList(box, QStringLiteral("ocbKorvelState"), QRect(8, 20, 330, 20));
    Row(box, 420, 514, 20, 90, 52, QStringLiteral("onfFirmLo"), QStringLiteral("Firmware version|Firmware version"));

    Row(box, 8, 96, 43, 86, 56, QStringLiteral("onfNTC1"), QStringLiteral("T1|NTC1 temperatuur"));
    Row(box, 180, 284, 43, 100, 56, QStringLiteral("onfRefrigOut"), QStringLiteral("Refrigerant temperature|Refrigerant exiting heat exchanger temperature"));
    Row(box, 368, 508, 43, 136, 56, QStringLiteral("onfCompCurrent"),
        QStringLiteral("Current|Compressor current"));

    Row(box, 8, 96, 65, 86, 56, QStringLiteral("onfNTC2"), QStringLiteral("T2|NTC2 temperatuur"));
    Row(box, 180, 284, 65, 100, 56, QStringLiteral("onfRefrigIn"), QStringLiteral("Refrigerant temperature|Refrigerant into heat exchanger temperature"));
    Row(box, 368, 508, 65, 136, 56, QStringLiteral("onfSMT"));

    // The group is 206 high: eight rows of boxes fit only at a 14-pixel pitch.
    const int top = 87;
    auto check = [&](int x, int row, const char* name, int width = 280) {
        MakeReportBox(box, QLatin1String(name), QRect(x, top + row * kCheckH, width, kCheckH));
    };
    check(8, 0, "cbTapwaterDetectBoiler");
    check(8, 1, "cbHeatProductionRequested");
    check(8, 2, "cbColdProductionRequested");
    check(8, 3, "cbHeatingAllowed");
    check(300, 3, "cbKorvelDisabled", 266);
    check(8, 4, "cbCoolingAllowed");
    check(300, 4, "cbCoolDisabled", 266);
    check(8, 5, "cbCoolingSupported");
    check(8, 6, "cbLowTout");
    check(8, 7, "cbU7copy", 558);
}

void BuildToshibaBox(QGroupBox* box) {
    auto* mode = MakeReportList(box, QStringLiteral("ocbOpMode"), QRect(8, 38, 84, 20));
    MakeFieldLabel(box, mode, ReportCaptionText(QStringLiteral("ocbOpMode")), QRect(8, 21, 90, 14));
    MakeReportBox(box, QStringLiteral("cbOnOff"), QRect(104, 39, 50, 17));
    Column(box, 170, 110, QStringLiteral("onfSetpoint"), QStringLiteral("Water temperature|Requested water temperature setpoint"));
    Column(box, 290, 90, QStringLiteral("onfWaterIn"), QStringLiteral("Water temperature|Water entering heat exchanger temperature"));
    Column(box, 390, 110, QStringLiteral("onfOutsideAir"), QStringLiteral("Outside temperature|Outside air temperature"));
    Column(box, 500, 68, QStringLiteral("onfDefrost"));

    // Kept for the log, never shown: it lies under "Ontdooien".
    auto* waterOut = Column(box, 500, 68, QStringLiteral("onfWaterOut"),
                            QStringLiteral("Water temperature|Water exiting heat exchanger temperature"));
    HideWithLabel(waterOut);
}

void BuildOpenThermBox(QGroupBox* box) {
    Column(box, 8, 104, QStringLiteral("onfRoomSetpoint"), QStringLiteral("Room|Setpoint for the room temperature, from thermostat"));
    Column(box, 120, 104, QStringLiteral("onfTRoomTemperature"), QStringLiteral("Room temperature|Measured room temperature, from thermostat"));
    Column(box, 232, 104, QStringLiteral("onfWaterSetpoint"), QStringLiteral("Setpoint|Setpoint for the water temperature, from thermostat"));
    Column(box, 344, 104, QStringLiteral("onfCVSetpoint"), QStringLiteral("Boiler temperature requested|Setpoint for the water temperature, requested from boiler"));
    Column(box, 456, 110, QStringLiteral("onfSmartGrid"));
}

void BuildErrorBox(QGroupBox* box) {
    Column(box, 8, 140, QStringLiteral("onfDiagCodes1"), QStringLiteral("Error|Error code"));
    Column(box, 156, 140, QStringLiteral("onfStickyDiagCodes1"), QStringLiteral("Error|Error code"));

    const int top = 66;
    const int pitch = 20;
    auto check = [&](int x, int row, const char* name, int width = 290) {
        MakeReportBox(box, QLatin1String(name), QRect(x, top + row * pitch, width, 17));
    };
    check(8, 0, "cbOTBoilerFault");
    check(8, 1, "cbOTBoilerNotFound");
    check(8, 2, "cbOTThermostatNotFound");
    check(8, 3, "cbNTC1Error", 142);
    check(156, 3, "cbNTC2Error", 142);
    check(8, 4, "cbSmartecError");
    check(8, 5, "cbPumpFlowError");
    check(8, 6, "cbToshibaCommsError");
    check(8, 7, "cbToshibaReportsError");
}

void BuildDipSwitches(QGroupBox* box, int firstNumber) {
    // The switch groups are narrow; one pixel less type keeps the longest captions whole.
    QFont font = box->font();
    font.setPixelSize(10);
    for (int i = 0; i < 8; ++i) {
        auto* dip = MakeReportBox(box, QStringLiteral("cbDIP%1").arg(firstNumber + i), QRect(4, 19 + i * 16, box->width() - 6, 16));
        dip->setFont(font);
    }
}

}  // namespace

TMonitorPage::TMonitorPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MonitorPage"));
    ApplyFormFont(this);

    KorvelStateBox = MakeGroupBox(this, QStringLiteral("KorvelStateBox"), ReportCaptionText(QStringLiteral("ocbKorvelState")),
                                  QRect(3, 3, 574, 206), false);
    C2EBox = MakeGroupBox(this, QStringLiteral("C2EBox"), QStringLiteral("Toshiba"), QRect(3, 223, 574, 66), false);
    OpenThermBox = MakeGroupBox(this, QStringLiteral("OpenThermBox"), QStringLiteral("OpenTherm"),
                                QRect(3, 308, 574, 66), false);
    // Enabled, so the fault boxes read clearly; they take no input all the same (below).
    ErrorBox = MakeGroupBox(this, QStringLiteral("ErrorBox"), QStringLiteral("Foutmeldingen"),
                            QRect(583, 3, 306, 251), true);
    DipSwitchABox = MakeGroupBox(this, QStringLiteral("DipSwitchABox"), QStringLiteral("DIP switch A"),
                                 QRect(583, 260, 129, 150), false);
    DipSwitchBBox = MakeGroupBox(this, QStringLiteral("DipSwitchBBox"), QStringLiteral("DIP switch B"),
                                 QRect(718, 260, 171, 151), false);

    BuildStateBox(KorvelStateBox);
    BuildToshibaBox(C2EBox);
    BuildOpenThermBox(OpenThermBox);
    BuildErrorBox(ErrorBox);
    BuildDipSwitches(DipSwitchABox, 1);
    BuildDipSwitches(DipSwitchBBox, 9);

    btnShowAdvancedViewer = new QPushButton(QStringLiteral("Geavanceerd"), this);
    btnShowAdvancedViewer->setObjectName(QStringLiteral("btnShowAdvancedViewer"));
    QFont bold = btnShowAdvancedViewer->font();
    bold.setBold(true);
    bold.setUnderline(true);
    btnShowAdvancedViewer->setFont(bold);
    btnShowAdvancedViewer->setGeometry(3, 382, 97, 25);

    // Values the board reports that nobody needs to see; kept for completeness of the report.
    auto hidden = [this](int x, const QString& name, const QString& hint) {
        HideWithLabel(MakeReportField(this, QRect(x, 387, 116, 14), name, QRect(x + 120, 384, 70, kFieldH), hint));
    };
    hidden(110, QStringLiteral("onfStateTimer"), QStringLiteral("Timer for various purposes|Timer for various purposes"));
    hidden(310, QStringLiteral("onfTrReq"), QStringLiteral("Required retour temperature|Required retour temperature"));
    hidden(510, QStringLiteral("onfTPlexorReq"), QStringLiteral("Setpoint from Plexor|Setpoint from Plexor"));

    lblStale = MakeStaleWord(this, QRect(110, 382, 468, 25), Qt::AlignLeft);

    setMinimumSize(892, 414);
    FFields = IndexFields(this);
    MakeDisplayOnly(this);
}

QWidget* TMonitorPage::Field(std::string_view name) const {
    const auto it = FFields.find(name);
    return it == FFields.end() ? nullptr : it->second;
}

}  // namespace korvel
