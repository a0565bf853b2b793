#include "messages/advanced_view_form.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>

#include "ui_monitor/form_lookup.h"
#include "widgets/numeric_field.h"

namespace korvel {
namespace {

using test::LabelOf;

TEST(AdvancedView, WindowTitleAndGroups) {
    TAdvancedViewForm view;
    EXPECT_FALSE(view.isVisible());
    EXPECT_TRUE(view.windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(view.size(), QSize(659, 514));
    EXPECT_EQ(view.windowTitle(), QStringLiteral("Geavanceerd"));

    EXPECT_EQ(view.lblTitle->text(), QStringLiteral("Geavanceerd"));
    EXPECT_EQ(view.lblTitle->pos(), QPoint(16, 8));
    EXPECT_EQ(view.lblTitle->font().pixelSize(), 32);
    EXPECT_TRUE(view.lblTitle->font().underline());

    struct G {
        QGroupBox* box;
        const char* title;
        QRect rect;
        bool enabled;
    };
    const G groups[] = {
        {view.WeatherBox, "Weersafhankelijke regeling", {16, 56, 521, 165}, false},
        {view.RoomBox, "", {16, 227, 281, 102}, true},
        {view.ModBusBox, "ModBus gegevens", {540, 54, 109, 169}, true},
    };
    for (const auto& g : groups) {
        EXPECT_EQ(g.box->title(), QString::fromUtf8(g.title));
        EXPECT_EQ(g.box->geometry(), g.rect) << g.title;
        EXPECT_EQ(g.box->isEnabled(), g.enabled) << g.title;
    }
}

TEST(AdvancedView, LabelsLeftOfFieldsAndModBusInOrder) {
    TAdvancedViewForm view;
    for (auto* field : view.findChildren<TNumericField*>()) {
        QLabel* label = LabelOf(&view, field);
        ASSERT_NE(label, nullptr);
        EXPECT_LT(label->x(), field->x()) << field->objectName().toStdString();
    }
    // The ModBus values read top to bottom in this order.
    auto y = [&](const char* n) { return view.findChild<QWidget*>(QLatin1String(n))->y(); };
    EXPECT_LT(y("nfModBus4410"), y("nfModBus4412"));
    EXPECT_LT(y("nfModBus4412"), y("nfModBus4413"));
    EXPECT_LT(y("nfModBus4413"), y("nfModBus4416"));
}

TEST(AdvancedView, DecisionFlagsWithCaptionsLeftOfTheBoxes) {
    TAdvancedViewForm view;
    const int tops[] = {343, 366, 389, 412, 435, 458, 482};
    const char* texts[] = {
        "Warmtevraag weersafhankelijke regelaar",
        "Buitentemperatuur hoog genoeg voor Korvel",
        "Warmtevraag warmtepomp",
        "Warmtevraag CV-ketel of SV",
        "CV ketel of SV niet inschakelen voor behalen gewenste aanvoertemperatuur",
        "Retourtemperatuur laag genoeg voor warmtepomp",
        "Buitentemperatuur te hoog om  CV-ketel of SV bij te schakelen",
    };
    for (int i = 0; i < 7; ++i) {
        const QString n = QString::number(i + 1);
        auto* box = view.findChild<QCheckBox*>(QStringLiteral("cbU") + n);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), QStringLiteral("U") + n);
        EXPECT_EQ(box->pos(), QPoint(29, tops[i]));
        EXPECT_EQ(box->layoutDirection(), Qt::RightToLeft);
        EXPECT_TRUE(box->isEnabled());
        EXPECT_EQ(box->toolTip(), i < 6 ? QStringLiteral("U%1 from document").arg(n) : QString());
        auto* label = view.findChild<QLabel*>(QStringLiteral("lblU") + n);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString::fromUtf8(texts[i]));
        EXPECT_EQ(label->x(), 103);
        // The long explanation must fit in the window.
        EXPECT_LE(label->x() + label->fontMetrics().horizontalAdvance(label->text()), view.width());
    }
}

TEST(AdvancedView, ShowFromCopiesTheCaptionOnlyWhenOpening) {
    TAdvancedViewForm view;
    view.ShowFrom(QStringLiteral("KORVEL service - COM3"));
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(view.windowTitle(), QStringLiteral("KORVEL service - COM3"));

    // Already open: comes to the front, keeps its caption.
    view.ShowFrom(QStringLiteral("KORVEL service - COM4"));
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(view.windowTitle(), QStringLiteral("KORVEL service - COM3"));

    view.hide();
    view.ShowFrom(QStringLiteral("KORVEL service - COM4"));
    EXPECT_EQ(view.windowTitle(), QStringLiteral("KORVEL service - COM4"));
}

}  // namespace
}  // namespace korvel
