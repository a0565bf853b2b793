#include "messages/monitor_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "messages/advanced_view_form.h"
#include "messages/realtime_report.h"
#include "widgets/numeric_field.h"

namespace korvel {
namespace {

QString Name(std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

QLabel* LabelOf(QWidget* root, QWidget* field) {
    for (QLabel* label : root->findChildren<QLabel*>())
        if (label->buddy() == field) return label;
    return nullptr;
}

// Every place the report writes exists exactly once, in one of the two windows, as the kind of
// widget the value needs; otherwise a value would silently go nowhere.
TEST(MonitorPage, EveryReportTargetIsAWidgetOfTheRightKind) {
    TMonitorPage page;
    TAdvancedViewForm view;
    std::vector<uint8_t> report(REALTIME_REPORT_SIZE, 0);
    for (const TReportValue& v : DecodeRealtimeReport(report.data(), report.size())) {
        const QString name = Name(v.Target);
        const auto inPage = page.findChildren<QWidget*>(name);
        const auto inView = view.findChildren<QWidget*>(name);
        ASSERT_EQ(inPage.size() + inView.size(), 1) << name.toStdString();
        QWidget* w = inPage.isEmpty() ? inView.front() : inPage.front();
        switch (v.ValueKind) {
            case TReportValue::Kind::Number: EXPECT_NE(qobject_cast<TNumericField*>(w), nullptr) << name.toStdString(); break;
            case TReportValue::Kind::ListIndex: EXPECT_NE(qobject_cast<QComboBox*>(w), nullptr) << name.toStdString(); break;
            case TReportValue::Kind::Flag: EXPECT_NE(qobject_cast<QCheckBox*>(w), nullptr) << name.toStdString(); break;
        }
    }
}

TEST(MonitorPage, GroupsAtTheirPlacesAndStates) {
    TMonitorPage page;
    struct G {
        QGroupBox* box;
        const char* name;
        const char* title;
        QRect rect;
        bool enabled;
    };
    const G groups[] = {
        {page.KorvelStateBox, "KorvelStateBox", "KORVEL bedrijfsstand", {3, 3, 574, 206}, false},
        {page.C2EBox, "C2EBox", "Toshiba", {3, 223, 574, 66}, false},
        {page.OpenThermBox, "OpenThermBox", "OpenTherm", {3, 308, 574, 66}, false},
        {page.ErrorBox, "ErrorBox", "Foutmeldingen", {583, 3, 306, 251}, true},
        {page.DipSwitchABox, "DipSwitchABox", "DIP switch A", {583, 260, 129, 150}, false},
        {page.DipSwitchBBox, "DipSwitchBBox", "DIP switch B", {718, 260, 171, 151}, false},
    };
    for (const auto& g : groups) {
        ASSERT_NE(g.box, nullptr) << g.name;
        EXPECT_EQ(g.box->objectName(), QLatin1String(g.name));
        EXPECT_EQ(g.box->title(), QString::fromUtf8(g.title));
        EXPECT_EQ(g.box->geometry(), g.rect) << g.name;
        EXPECT_EQ(g.box->isEnabled(), g.enabled) << g.name;
        // Contents stay inside their frame.
        for (QWidget* child : g.box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(QRect(QPoint(0, 0), g.box->size()).contains(child->geometry()))
                << child->objectName().toStdString();
    }
    ASSERT_NE(page.btnShowAdvancedViewer, nullptr);
    EXPECT_EQ(page.btnShowAdvancedViewer->text(), QStringLiteral("Geavanceerd"));
    EXPECT_TRUE(page.btnShowAdvancedViewer->font().bold());
    EXPECT_TRUE(page.btnShowAdvancedViewer->font().underline());
    EXPECT_GE(page.btnShowAdvancedViewer->y(), 374);  // below the groups
}

TEST(MonitorPage, FieldLabelsAndHints) {
    TMonitorPage page;
    struct F {
        const char* field;
        const char* caption;
        const char* mask;
        const char* tip;
    };
    const F fields[] = {
        {"onfNTC1", "Retour T", "###.##", "T1"},
        {"onfNTC2", "Aanvoer T", "###.##", "T2"},
        {"onfFirmLo", "Firmware versie", "999", "Firmware version"},
        {"onfWaterOut", "Water uit (invisible)", "##.#", "Water temperature"},
        {"onfOutsideAir", "Buitentemperatuur", "##.#", "Outside temperature"},
        {"onfDiagCodes1", "Toshiba foutcode", "99999", "Error"},
        {"onfRefrigIn", "Koelmiddel in", "##.#", "Refrigerant temperature"},
        {"onfRefrigOut", "Koelmiddel uit", "###.#", "Refrigerant temperature"},
        {"onfWaterIn", "Ta = 15.0", "##.#", "Water temperature"},
        {"onfCompCurrent", "Compressor stroom", "##.#", "Current"},
        {"onfDefrost", "Ontdooien", "99999", ""},
        {"onfSetpoint", "Gevraagd setpoint", "iiiiii", "Water temperature"},
        {"onfWaterSetpoint", "Thermostaat vraag", "###.#", "Setpoint"},
        {"onfRoomSetpoint", "Kamer gewenst", "##.#", "Room"},
        {"onfTRoomTemperature", "Kamertemperatuur", "###.#", "Room temperature"},
        {"onfCVSetpoint", "Gevraagd ketel", "###.#", "Boiler temperature requested"},
        {"onfSMT", "Externe buitenvoeler", "###.##", ""},
        {"onfStateTimer", "Tijdbasis (invisible)", "iiiiiiiiiii", "Timer for various purposes"},
        {"onfTrReq", "Gevraagde T retour (invisible)", "###.#", "Required retour temperature"},
        {"onfTPlexorReq", "Thermostaat setpoint (invisible)", "###.#", "Setpoint from Plexor"},
        {"onfStickyDiagCodes1", "Sticky foutcode", "99999", "Error"},
        {"onfSmartGrid", "Smartgrid sturing", "999", ""},
    };
    for (const auto& f : fields) {
        auto* field = page.findChild<TNumericField*>(QLatin1String(f.field));
        ASSERT_NE(field, nullptr) << f.field;
        QLabel* label = LabelOf(&page, field);
        ASSERT_NE(label, nullptr) << f.field;
        EXPECT_EQ(label->text(), QString::fromUtf8(f.caption)) << f.field;
        EXPECT_EQ(field->PictureMask(), QLatin1String(f.mask)) << f.field;
        EXPECT_EQ(field->toolTip(), QLatin1String(f.tip)) << f.field;
        EXPECT_TRUE(field->isReadOnly()) << f.field;
    }
    auto* ntc1 = page.findChild<TNumericField*>(QStringLiteral("onfNTC1"));
    EXPECT_EQ(ntc1->statusTip(), QStringLiteral("NTC1 temperatuur"));
    EXPECT_EQ(LabelOf(&page, page.findChild<QComboBox*>(QStringLiteral("ocbOpMode")))->text(),
              QStringLiteral("Toshiba mode"));
}

TEST(MonitorPage, CheckBoxCaptions) {
    TMonitorPage page;
    const std::pair<const char*, const char*> boxes[] = {
        {"cbHeatProductionRequested", "Verwarming gevraagd"},
        {"cbColdProductionRequested", "Koelen gevraagd"},
        {"cbHeatingAllowed", "Verwarmen mag"},
        {"cbCoolingAllowed", "Koelen mag"},
        {"cbCoolingSupported", "Koelen wordt ondersteund"},
        {"cbLowTout", "Toshiba buitentemperatuur te laag"},
        {"cbOTBoilerFault", "Fout vlag van OpenTherm ketel"},
        {"cbOTBoilerNotFound", "OT ketel gekozen maar niet gevonden"},
        {"cbNTC2Error", "NTC sensor 2 fout"},
        {"cbNTC1Error", "NTC sensor 1 fout"},
        {"cbSmartecError", "Externe buitenvoeler fout"},
        {"cbPumpFlowError", "Flow probleem"},
        {"cbToshibaCommsError", "Toshiba communiceert niet"},
        {"cbToshibaReportsError", "Toshiba rapporteert een fout"},
        {"cbOTThermostatNotFound", "OT thermostaat gekozen maar niet gevonden"},
        {"cbTapwaterDetectBoiler", "Ketel maakt tapwater (OpenTherm)"},
        {"cbCoolDisabled", "Koelen extern geblokkeerd"},
        {"cbKorvelDisabled", "Verwarmen extern geblokkeerd"},
        {"cbU7copy", "Buitentemperatuur te hoog om  ketel of SV bij te schakelen"},
        {"cbOnOff", "ON"},
        {"cbDIP1", "Stooklijn hoog"},
        {"cbDIP2", "Duo inzet"},
        {"cbDIP3", "Vloerverwarming"},
        {"cbDIP4", "Nacht alleen Korvel"},
        {"cbDIP5", "Slaapstand"},
        {"cbDIP6", "Geen koelfunctie Th."},
        {"cbDIP7", "Ongebruikt"},
        {"cbDIP8", "Aan/Uit ketel"},
        {"cbDIP9", "Externe buitenvoeler"},
        {"cbDIP10", "Weersafh. regeling"},
        {"cbDIP11", "Serieschakeling"},
        {"cbDIP12", "Ongebruikt"},
        {"cbDIP13", "Ongebruikt"},
        {"cbDIP14", "Bij blokk. alleen korvel"},
        {"cbDIP15", "Vrijgave contacten"},
        {"cbDIP16", "Geen buitentemperatuurgrens"},
    };
    for (const auto& [name, caption] : boxes) {
        auto* box = page.findChild<QCheckBox*>(QLatin1String(name));
        ASSERT_NE(box, nullptr) << name;
        EXPECT_EQ(box->text(), QString::fromUtf8(caption)) << name;
        EXPECT_FALSE(box->isChecked()) << name;
    }
    // DIP switches top to bottom in bit order.
    for (int i = 1; i < 8; ++i) {
        for (int first : {1, 9}) {
            auto* above = page.findChild<QCheckBox*>(QStringLiteral("cbDIP%1").arg(first + i - 1));
            auto* below = page.findChild<QCheckBox*>(QStringLiteral("cbDIP%1").arg(first + i));
            EXPECT_LT(above->y(), below->y());
        }
    }
}

TEST(MonitorPage, DropDownListsHoldTheirItemsAndStartAtTheFirst) {
    TMonitorPage page;
    auto* state = page.findChild<QComboBox*>(QStringLiteral("ocbKorvelState"));
    auto* mode = page.findChild<QComboBox*>(QStringLiteral("ocbOpMode"));
    ASSERT_TRUE(state && mode);
    const QStringList stateItems = {
        "0 - Startup", "1 - Gereed (weersafhankelijk)", "2 - Gereed om te verwarmen of koelen",
        "3 - Alleen buitenunit", "4 - Buitenunit + ketel", "5 - Buitenunit  (weersafhankelijk)",
        "6 - Alleen de ketel", "7 - Slaapstand", "8 - Buitenunit aan om te koelen",
        "9 - Buitenunit uit tijdens koelen", "10 - Buitenunit + ketel (weersafhankelijk)",
        "11 - Alleen de ketel (weersafhankelijk)", "12 - UIT", "13 - TESTMODE 1", "14 - TESTMODE 2",
        "15 - TESTMODE 3", "16 - TESTMODE 4"};
    const QStringList modeItems = {"0: Auto", "1: Heat", "2: Dry", "3: Fan", "4: Cool"};
    for (auto [list, items] : {std::pair{state, stateItems}, std::pair{mode, modeItems}}) {
        QStringList actual;
        for (int i = 0; i < list->count(); ++i) actual << list->itemText(i);
        EXPECT_EQ(actual, items);
        EXPECT_FALSE(list->isEditable());
        EXPECT_EQ(list->currentIndex(), 0);
    }
}

TEST(MonitorPage, HiddenFieldsAreHiddenAndTheRestShows) {
    TMonitorPage page;
    const QStringList hidden = {"onfWaterOut", "onfStateTimer", "onfTrReq", "onfTPlexorReq"};
    for (auto* field : page.findChildren<TNumericField*>()) {
        const bool shouldHide = hidden.contains(field->objectName());
        EXPECT_EQ(field->isVisibleTo(&page), !shouldHide) << field->objectName().toStdString();
        EXPECT_EQ(LabelOf(&page, field)->isVisibleTo(&page), !shouldHide) << field->objectName().toStdString();
    }
}

TEST(MonitorPage, ErrorBoxesCanBeClickedAndTheRestCannot) {
    TMonitorPage page;
    EXPECT_TRUE(page.findChild<QCheckBox*>(QStringLiteral("cbNTC1Error"))->isEnabled());
    EXPECT_FALSE(page.findChild<QCheckBox*>(QStringLiteral("cbDIP1"))->isEnabled());
    EXPECT_FALSE(page.findChild<QCheckBox*>(QStringLiteral("cbOnOff"))->isEnabled());
    EXPECT_FALSE(page.findChild<QComboBox*>(QStringLiteral("ocbKorvelState"))->isEnabled());
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// A caption cut off by its fixed width would hide what a flag means.
TEST(MonitorPage, CaptionsFitTheirWidgets) {
    TMonitorPage page;
    TAdvancedViewForm view;
    for (QWidget* root : {static_cast<QWidget*>(&page), static_cast<QWidget*>(&view)}) {
        for (QWidget* w : root->findChildren<QWidget*>()) {
            if (!qobject_cast<QCheckBox*>(w) && !qobject_cast<QLabel*>(w)) continue;
            if (!w->isVisibleTo(root)) continue;
            EXPECT_LE(w->sizeHint().width(), w->width()) << w->objectName().toStdString();
        }
    }
}

}  // namespace
}  // namespace korvel
