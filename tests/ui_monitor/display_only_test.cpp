#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include "messages/advanced_view_form.h"
#include "messages/monitor_page.h"
#include "widgets/display_only.h"
#include "widgets/numeric_field.h"

namespace korvel {
namespace {

// What a display control shows, and whether the form left it enabled.
QString Shown(QWidget* w) {
    QString value = w->isEnabled() ? "enabled " : "greyed ";
    if (auto* box = qobject_cast<QCheckBox*>(w)) value += box->isChecked() ? "checked" : "clear";
    if (auto* list = qobject_cast<QComboBox*>(w)) value += QString::number(list->currentIndex());
    if (auto* field = qobject_cast<TNumericField*>(w)) value += field->text();
    return value;
}

// All a user can do to a control with mouse and keyboard; none of it may change what it shows,
// or the log would record a value the board never sent.
void ExpectInputRefused(QWidget* form) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    std::vector<QWidget*> controls;
    for (QWidget* w : form->findChildren<QWidget*>())
        if (w->isVisibleTo(form) && (qobject_cast<QCheckBox*>(w) || qobject_cast<QComboBox*>(w) ||
                                     qobject_cast<TNumericField*>(w)))
            controls.push_back(w);
    ASSERT_GT(controls.size(), 10u);

    const std::vector<std::pair<const char*, void (*)(QWidget*)>> inputs = {
        {"click", [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }},
        {"double click", [](QWidget* w) { QTest::mouseDClick(w, Qt::LeftButton); }},
        {"space", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Space); }},
        {"down", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Down); }},
        {"typing", [](QWidget* w) { QTest::keyClicks(w, "1"); }},
        {"backspace", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Backspace); }},
        {"wheel", [](QWidget* w) {
             QWheelEvent wheel(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                               Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
             QApplication::sendEvent(w, &wheel);
         }},
    };
    for (QWidget* w : controls) {
        for (const auto& [input, apply] : inputs) {
            const QString before = Shown(w);
            apply(w);
            EXPECT_EQ(Shown(w).toStdString(), before.toStdString()) << w->objectName().toStdString() << ", " << input;
            EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << w->objectName().toStdString() << ", " << input;
            EXPECT_FALSE(w->hasFocus()) << w->objectName().toStdString() << ", " << input;
        }
    }

    // Tab from the form's one real control never stops on a display control.
    if (auto* button = form->findChild<QPushButton*>()) {
        button->setFocus();
        for (int i = 0; i < 20; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            for (QWidget* w : controls) EXPECT_FALSE(w->hasFocus()) << w->objectName().toStdString();
        }
    }
}

TEST(DisplayOnly, MonitorPageRefusesInputAndKeepsItsEnabledFaultBoxes) {
    QWidget window;
    auto* page = new TMonitorPage(&window);
    window.resize(page->minimumSize());
    EXPECT_TRUE(page->findChild<QCheckBox*>(QStringLiteral("cbPumpFlowError"))->isEnabled());
    ExpectInputRefused(&window);
}

TEST(DisplayOnly, AdvancedViewRefusesInputAndKeepsItsEnabledFlags) {
    TAdvancedViewForm view;
    EXPECT_TRUE(view.findChild<QCheckBox*>(QStringLiteral("cbU1"))->isEnabled());
    ExpectInputRefused(&view);
}

// Darkest against lightest grey inside a control's picture: how well what it shows reads.
int Contrast(QWidget* w) {
    const QImage image = w->grab().toImage();
    int dark = 255, light = 0;
    for (int y = 3; y < image.height() - 3; ++y)
        for (int x = 3; x < image.width() - 3; ++x) {
            dark = std::min(dark, qGray(image.pixel(x, y)));
            light = std::max(light, qGray(image.pixel(x, y)));
        }
    return light - dark;
}

// Values read as normal text, in a disabled group too; stale ones muted yet readable, under a word.
TEST(DisplayOnly, ValuesReadAsTextLiveOrStale) {
    QWidget window;
    auto* page = new TMonitorPage(&window);
    window.resize(page->minimumSize());
    window.show();
    page->findChild<QComboBox*>(QStringLiteral("ocbKorvelState"))->setCurrentIndex(4);
    // Three in the disabled "KORVEL bedrijfsstand", two in the enabled "Foutmeldingen".
    for (const char* name : {"onfNTC1", "ocbKorvelState", "cbHeatingAllowed", "onfDiagCodes1", "cbPumpFlowError"}) {
        QWidget* w = page->findChild<QWidget*>(QLatin1String(name));
        const int live = Contrast(w);
        EXPECT_GE(live, 180) << name;  // the style's disabled grey on grey: about 50
        ShowValuesStale(page, page->lblStale, QStringLiteral("Niet actueel"));
        EXPECT_TRUE(page->lblStale->isVisible());
        EXPECT_LT(Contrast(w), live - 40) << name;
        EXPECT_GE(Contrast(w), 100) << name;
        ShowValuesStale(page, page->lblStale, QString());
        EXPECT_EQ(Contrast(w), live) << name;
    }
}

}  // namespace
}  // namespace korvel
