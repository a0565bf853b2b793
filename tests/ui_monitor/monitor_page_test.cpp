#include "messages/monitor_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "messages/advanced_view_form.h"
#include "messages/realtime_report.h"
#include "ui_monitor/form_lookup.h"
#include "widgets/numeric_field.h"

namespace korvel {
namespace {

QString Name(std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

using test::LabelOf;

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

TEST(MonitorPage, DipSwitchesTopToBottomInBitOrder) {
    TMonitorPage page;
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
    EXPECT_EQ(LabelOf(&page, mode)->text(), QStringLiteral("Toshiba mode"));
}

TEST(MonitorPage, FaultBoxesEnabledAndTheRestGreyed) {
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
