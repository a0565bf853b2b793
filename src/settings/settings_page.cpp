#include "settings/settings_page.h"

#include <QAction>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "settings/curve_preview.h"
#include "settings/nvm_parameters.h"
#include "settings/parameter_fields.h"
#include "settings/settings_layout.h"
#include "settings/stook_lijn_frame.h"
#include "widgets/field_builders.h"
#include "widgets/numeric_field.h"
#include "widgets/radio_group.h"

namespace korvel {

namespace {

constexpr int kCurveX = 176;
constexpr int kCurvePitch = 44;
constexpr int kCurveFieldW = 42;

void BuildButtons(QWidget* box, std::initializer_list<QAction*> actions, QPushButton* advanced, QLabel* changes) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    for (QAction* a : actions) {
        auto* button = new QToolButton(box);
        button->setObjectName(QStringLiteral("btn") + a->objectName());
        button->setDefaultAction(a);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        row->addWidget(button);
    }
    row->addWidget(advanced);
    row->addStretch(1);
    row->addWidget(changes);
    auto* holder = new QWidget(box);
    holder->setObjectName(QStringLiteral("ButtonRow"));
    holder->setLayout(row);
    holder->setGeometry(4, 4, 884, 28);
}

void BuildGeneral(QGroupBox* box) {
    ParameterRow(box, "onfPumpStartupTime", 8, 190, 60, 26);
    ParameterRow(box, "onfDelayHibernation", 8, 190, 60, 50);
    ParameterRow(box, "onfMaxF", 8, 190, 60, 74);
    ParameterRow(box, "onfLowerMinOutsideTempForToshiba", 8, 330, 60, 74);
    ParameterRow(box, "onfLowerMaxOutsideTempForBoiler", 8, 330, 60, 98);

    auto* heading = new QLabel(QStringLiteral("Retourtemperatuur"), box);
    heading->setObjectName(QStringLiteral("lblRetourtemperatuur"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->move(470, 6);
    heading->adjustSize();
    ParameterRow(box, "onfHeatPumpPowerUpTo", 470, 300, 60, 26);
    ParameterRow(box, "onfHeatPumpConstantTo", 470, 300, 60, 50);
    ParameterRow(box, "onfHeatPumpPowerDownTo", 470, 300, 60, 74);
}

TStookLijnFrame* CurveRow(QGroupBox* box, const char* name, int row) {
    const int y = 40 + row * 22;
    auto* frame = new TStookLijnFrame(QLatin1String(name), kCurveFieldW, kCurvePitch, box);
    frame->move(kCurveX, y);
    auto* label = new QLabel(frame->Caption(), box);
    label->setObjectName(QStringLiteral("lbl") + QLatin1String(name));
    label->setGeometry(8, y + 3, kCurveX - 12, 14);
    label->setBuddy(frame->XMin);
    return frame;
}

}  // namespace

TSettingsPage::TSettingsPage(UiHost& host, QAction* getSettings, QAction* setSettings, QAction* defaultSettings,
                             QAction* flash, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheetService"));
    ApplyFormFont(this);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    ServiceBox = new QFrame(this);
    ServiceBox->setObjectName(QStringLiteral("ServiceBox"));
    page->addWidget(ServiceBox);

    btnShowAdvancedSettings = new QPushButton(QStringLiteral("Geavanceerd"), ServiceBox);
    btnShowAdvancedSettings->setObjectName(QStringLiteral("btnShowAdvancedSettings"));
    QFont bold = btnShowAdvancedSettings->font();
    bold.setBold(true);
    bold.setUnderline(true);
    btnShowAdvancedSettings->setFont(bold);
    lblChanges = MakeChangeCount(ServiceBox);
    BuildButtons(ServiceBox, {getSettings, setSettings, defaultSettings, flash}, btnShowAdvancedSettings, lblChanges);

    GeneralBox = MakeTitledGroup(ServiceBox, QStringLiteral("GeneralBox"), QStringLiteral("Algemeen"),
                                 QRect(4, 36, 884, 124));
    BuildGeneral(GeneralBox);

    HeatingBox = MakeTitledGroup(ServiceBox, QStringLiteral("HeatingBox"), QStringLiteral("Verwarmen"),
                                 QRect(4, 166, 290, 158));
    ParameterRow(HeatingBox, "onfPumpDelayHeating", 8, 210, 56, 26);
    ParameterRow(HeatingBox, "onfPump2DelayHeating", 8, 210, 56, 50);
    ParameterRow(HeatingBox, "onfNightOff", 8, 210, 56, 74);
    ParameterRow(HeatingBox, "onfDegreesMinutes", 8, 210, 56, 98);

    CoolingBox = MakeTitledGroup(ServiceBox, QStringLiteral("CoolingBox"), QStringLiteral("Koelen"),
                                 QRect(300, 166, 230, 158));
    ParameterRow(CoolingBox, "onfPumpDelayCooling", 8, 150, 56, 26);
    ParameterRow(CoolingBox, "onfPump2DelayCooling", 8, 150, 56, 50);
    ParameterRow(CoolingBox, "onfCoolingOff", 8, 150, 56, 74);
    ParameterRow(CoolingBox, "onfCoolingOn", 8, 150, 56, 98);

    CurvesBox = MakeTitledGroup(ServiceBox, QStringLiteral("CurvesBox"), QStringLiteral("Stook- en koellijnen"),
                                QRect(536, 166, 352, 158));
    int column = 0;
    for (const char* heading : {"XMin", "YMin", "XMax", "YMax"})
        MakeHeading(CurvesBox, QLatin1String(heading), kCurveX + kCurvePitch * column++, kCurveFieldW, 24);
    StooklijnCool = CurveRow(CurvesBox, "StooklijnCool", 0);
    StooklijnRH = CurveRow(CurvesBox, "StooklijnRH", 1);
    StooklijnRL = CurveRow(CurvesBox, "StooklijnRL", 2);
    StooklijnFH = CurveRow(CurvesBox, "StooklijnFH", 3);
    StooklijnFL = CurveRow(CurvesBox, "StooklijnFL", 4);

    QStringList items;
    for (std::string_view item : TestModeItems())
        items << Text(item);
    rgTestmode = new TRadioGroup(QStringLiteral("rgTestmode"), QStringLiteral("Test standen"), items, ServiceBox);
    rgTestmode->setGeometry(4, 332, 360, 124);
    rgTestmode->SetItemIndex(0);

    onfRadiatorDrop = ParameterRow(ServiceBox, "onfRadiatorDrop", 372, 190, 60, 340);

    // In the grid's order, so legend and rows read alike.
    CurvePreview = new TCurvePreview({StooklijnCool, StooklijnRH, StooklijnRL, StooklijnFH, StooklijnFL}, host,
                                     ServiceBox);
    CurvePreview->setGeometry(SpareArea());
    setMinimumSize(892, 460);
}

QLabel* MakeChangeCount(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("lblChanges"));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    // In the marks' own tint, so it reads as their legend.
    label->setAutoFillBackground(true);
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, ChangeMarkColour());
    pal.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(pal);
    label->setContentsMargins(6, 2, 6, 2);
    label->setToolTip(QStringLiteral("Velden met deze kleur wijken af van wat het KORVEL bord het laatst meldde"));
    label->hide();
    return label;
}

QRect TSettingsPage::SpareArea() const { return {372, 332, 516, 200}; }

}  // namespace korvel
