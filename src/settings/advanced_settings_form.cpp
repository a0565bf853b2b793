#include "settings/advanced_settings_form.h"

#include <QGroupBox>
#include <QLabel>

#include "host/ui_host.h"
#include "settings/nvm_parameters.h"
#include "settings/parameter_fields.h"
#include "settings/settings_layout.h"
#include "settings/settings_page.h"
#include "settings/time_constants_frame.h"
#include "widgets/field_builders.h"

namespace korvel {

namespace {

constexpr int kTimesX = 176;
constexpr int kTimesPitch = 56;
constexpr int kTimesFieldW = 52;
constexpr int kTableX = 120;
constexpr int kTablePitch = 34;
constexpr int kTableFieldW = 32;

QString CaptionOf(const std::string& control) {
    const TNvmParameter* p = FindNvmParameter(control);
    return Text(p->Caption);
}

QLabel* RowCaption(QWidget* box, const QString& name, const QString& text, int y, int width, QWidget* buddy) {
    auto* label = new QLabel(text, box);
    label->setObjectName(name);
    label->setGeometry(8, y + 3, width, 14);
    label->setBuddy(buddy);
    return label;
}

TTimeConstantsFrame* TimesRow(QWidget* box, const char* name, int row) {
    const int y = 40 + row * 22;
    auto* frame = new TTimeConstantsFrame(QLatin1String(name), kTimesFieldW, kTimesPitch, box);
    frame->move(kTimesX, y);
    RowCaption(box, QStringLiteral("lbl") + QLatin1String(name), CaptionOf(std::string(name) + ".X1Max"), y,
               kTimesX - 12, frame);
    return frame;
}

std::string Cell(const char* prefix, int i) { return std::string(prefix) + (i < 10 ? "0" : "") + std::to_string(i); }

// One row of the correction table: 17 cells under the headings -0.5 ... 1.1.
void TableRow(QWidget* box, const char* prefix, int y) {
    QWidget* first = nullptr;
    for (int i = 0; i < 17; ++i) {
        const TNvmParameter* p = FindNvmParameter(Cell(prefix, i));
        auto* field = MakeParameterField(box, *p, QRect(kTableX + i * kTablePitch, y, kTableFieldW, kSettingsFieldH));
        if (first == nullptr) first = field;
    }
    RowCaption(box, QStringLiteral("lbl") + QLatin1String(prefix), CaptionOf(std::string(prefix) + "00"), y,
               kTableX - 12, first);
}

}  // namespace

TAdvancedSettingsForm::TAdvancedSettingsForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AdvancedSettingsForm"));
    setWindowTitle(QString::fromUtf8(ADVANCED_SETTINGS_CAPTION));
    ApplyFormFont(this);
    setFixedSize(740, 470);

    lblTitle = new QLabel(QStringLiteral("Geavanceerd"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setPixelSize(32);
    titleFont.setUnderline(true);
    lblTitle->setFont(titleFont);
    lblTitle->move(16, 8);
    lblTitle->adjustSize();

    lblChanges = MakeChangeCount(this);
    lblChanges->move(250, 20);  // beside the title; sized to its text as it changes

    lblWarning = new QLabel(QString::fromUtf8(MSG_ADVANCED_WARNING), this);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    lblWarning->setWordWrap(true);
    QFont bold = lblWarning->font();
    bold.setBold(true);
    lblWarning->setFont(bold);
    lblWarning->setGeometry(16, 52, 708, 30);

    BoilerTimesBox = MakeGroupBox(this, QStringLiteral("BoilerTimesBox"), QString(), QRect(16, 88, 260, 70), true);
    ParameterRow(BoilerTimesBox, "onfMinBoilerOnTime", 8, 170, 60, 14);
    ParameterRow(BoilerTimesBox, "onfMinBoilerOffTime", 8, 170, 60, 40);

    FixedTempBox = MakeGroupBox(this, QStringLiteral("FixedTempBox"), QString(), QRect(284, 88, 360, 70), true);
    ParameterRow(FixedTempBox, "onfFixedTempTime", 8, 276, 60, 14);
    ParameterRow(FixedTempBox, "onfFixedTempValue", 8, 276, 60, 40);

    WeatherBox = MakeTitledGroup(this, QStringLiteral("WeatherBox"), QStringLiteral("Weersafhankelijke regeling"),
                                 QRect(16, 166, 708, 290));
    int column = 0;
    for (const char* heading : {"X1max", "X1Min", "X2Max", "X2Min", "Delta-T"})
        MakeHeading(WeatherBox, QLatin1String(heading), kTimesX + kTimesPitch * column++, kTimesFieldW, 24);
    TimeConstantsRH = TimesRow(WeatherBox, "TimeConstantsRH", 0);
    TimeConstantsRL = TimesRow(WeatherBox, "TimeConstantsRL", 1);
    TimeConstantsFH = TimesRow(WeatherBox, "TimeConstantsFH", 2);
    TimeConstantsFL = TimesRow(WeatherBox, "TimeConstantsFL", 3);

    ParameterRow(WeatherBox, "onfWCMaxRequested", 8, 320, 60, 136);
    ParameterRow(WeatherBox, "onfDifferentialTimebase", 8, 320, 60, 160);

    for (int i = 0; i < 17; ++i) {
        const std::string_view heading = FindNvmParameter(Cell("onfTableUp", i))->Column;
        MakeHeading(WeatherBox, Text(heading),
                    kTableX + i * kTablePitch, kTableFieldW, 194);
    }
    TableRow(WeatherBox, "onfTableUp", 210);
    TableRow(WeatherBox, "onfTableDown", 232);
    TableRow(WeatherBox, "onfTableSame", 254);
}

bool AskPinCode(UiHost& host) {
    const std::string entered = host.InputBox(ADVANCED_SETTINGS_CAPTION, PIN_PROMPT, PIN_PREFILL);
    if (entered == PIN_CODE) return true;
    host.MessageBox(TMsgDlgType::mtInformation, MSG_WRONG_PIN, TMsgDlgButtons::mbOK);
    return false;
}

}  // namespace korvel
