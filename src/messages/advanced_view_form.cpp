#include "messages/advanced_view_form.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>

#include "messages/realtime_report.h"
#include "messages/realtime_report_view.h"
#include "widgets/display_only.h"
#include "widgets/field_builders.h"

namespace korvel {

namespace {

constexpr int kFieldH = 20;

TNumericField* Row(QWidget* box, int labelX, int labelW, int fieldX, int fieldW, int y, const QString& name,
                   const QString& hint = {}) {
    return MakeReportField(box, QRect(labelX, y + 3, labelW, 14), name, QRect(fieldX, y, fieldW, kFieldH), hint);
}

void BuildWeatherBox(QGroupBox* box) {
    auto left = [&](int row, const char* name, const char* hint) {
        Row(box, 8, 150, 160, 76, 24 + row * 27, QLatin1String(name), QLatin1String(hint));
    };
    left(0, "onfDegMinsTimer", "Degree-minutes integrator");
    left(1, "onfDeltaTSysReq", "Required Delta-T system");
    left(2, "onfTMeanReq", "Required mean temperature");
    left(3, "onfTaReq", "Required aanvoer temperature");
    left(4, "onfTMean", "Mean value of input and output temperatures");

    auto* bevel = new QFrame(box);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::VLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(250, 22, 4, 132);

    auto right = [&](int row, const char* name, const char* hint) {
        return Row(box, 264, 160, 430, 76, 24 + row * 27, QLatin1String(name), QLatin1String(hint));
    };
    right(0, "onf_ceonboff0", "Setpoint for carrier unit");
    right(1, "onf_ceonbon", "Setpoint for carrier unit");
    right(2, "onf_beonbon", "Setpoint for boiler");
    right(3, "onf_beoffbon", "Setpoint for boiler");
    HideWithLabel(right(4, "onf_ceonboff1", "Setpoint for carrier unit"));
}

void BuildRoomBox(QGroupBox* box) {
    Row(box, 8, 176, 190, 80, 12, QStringLiteral("onfOldRoomTemperature"));
    Row(box, 8, 176, 190, 80, 40, QStringLiteral("onfDeltaRoomTemperature"));
    Row(box, 8, 176, 190, 80, 68, QStringLiteral("onfHiberTimer"),
        QStringLiteral("Hibernation delay timer"));
}

void BuildModBusBox(QGroupBox* box) {
    auto row = [&](int y, const char* name) {
        return Row(box, 6, 40, 46, 56, y, QLatin1String(name));
    };
    row(24, "nfModBus4410");
    row(50, "nfModBus4412");
    row(76, "nfModBus4413");
    row(102, "nfModBus4416");
    // Reported but unused by the outdoor unit.
    HideWithLabel(row(128, "nfModBus4414"));
    HideWithLabel(row(128, "nfModBus4415"));
    HideWithLabel(row(128, "nfModBus4411"));
}

void BuildDecisionFlags(QWidget* form) {
    struct Flag {
        const char* name;
        const char* hint;
        int top;
    };
    static const Flag flags[] = {
        {"cbU1", "U1 from document", 343}, {"cbU2", "U2 from document", 366}, {"cbU3", "U3 from document", 389},
        {"cbU4", "U4 from document", 412}, {"cbU5", "U5 from document", 435}, {"cbU6", "U6 from document", 458},
        {"cbU7", "", 482},
    };
    for (const Flag& f : flags) {
        auto* box = MakeReportBox(form, QLatin1String(f.name), QRect(29, f.top, 44, 17));
        box->setLayoutDirection(Qt::RightToLeft);  // caption left of the box
        box->setToolTip(QLatin1String(f.hint));
        const std::string_view note = FindReportBit(f.name)->Note;
        auto* label = new QLabel(QString::fromUtf8(note.data(), static_cast<qsizetype>(note.size())), form);
        label->setObjectName(QStringLiteral("lbl") + box->text());
        label->setGeometry(103, f.top + 1, 540, 15);
    }
}

}  // namespace

TAdvancedViewForm::TAdvancedViewForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AdvancedViewForm"));
    setWindowTitle(QStringLiteral("Geavanceerd"));
    ApplyFormFont(this);
    setFixedSize(659, 514);

    lblTitle = new QLabel(QStringLiteral("Geavanceerd"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont(QStringLiteral("Tahoma"));
    titleFont.setPixelSize(32);
    titleFont.setUnderline(true);
    lblTitle->setFont(titleFont);
    lblTitle->move(16, 8);
    lblTitle->adjustSize();

    WeatherBox = MakeGroupBox(this, QStringLiteral("WeatherBox"), QStringLiteral("Weersafhankelijke regeling"),
                              QRect(16, 56, 521, 165), false);
    RoomBox = MakeGroupBox(this, QStringLiteral("RoomBox"), QString(), QRect(16, 227, 281, 102), true);
    ModBusBox = MakeGroupBox(this, QStringLiteral("ModBusBox"), QStringLiteral("ModBus gegevens"),
                             QRect(540, 54, 109, 169), true);
    BuildWeatherBox(WeatherBox);
    BuildRoomBox(RoomBox);
    BuildModBusBox(ModBusBox);
    BuildDecisionFlags(this);
    lblStale = MakeStaleWord(this, QRect(250, 16, 399, 25), Qt::AlignRight);
    // The faults live in the monitor tab's "Foutmeldingen"; this window is often the one in front.
    lblFaults = MakeStaleWord(this, QRect(310, 232, 339, 94), Qt::AlignLeft);
    lblFaults->setObjectName(QStringLiteral("lblFaults"));
    lblFaults->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblFaults->setWordWrap(true);
    ShowFault(lblFaults, true);
    FFields = IndexFields(this);
    MakeDisplayOnly(this);
}

QWidget* TAdvancedViewForm::Field(std::string_view name) const {
    const auto it = FFields.find(name);
    return it == FFields.end() ? nullptr : it->second;
}

void TAdvancedViewForm::ShowFrom(const QString& mainCaption) {
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    setWindowTitle(mainCaption);
    show();
}

}  // namespace korvel
