#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include "messages/advanced_view_form.h"
#include "messages/monitor_page.h"
#include "widgets/numeric_field.h"

namespace korvel {
namespace {

// What a display control shows, and whether the form left it enabled.
struct Shown {
    QString value;
    bool enabled;
    bool operator==(const Shown&) const = default;
};

Shown Snapshot(QWidget* w) {
    QString value;
    if (auto* box = qobject_cast<QCheckBox*>(w)) value = box->isChecked() ? "checked" : "clear";
    if (auto* list = qobject_cast<QComboBox*>(w)) value = QString::number(list->currentIndex());
    if (auto* field = qobject_cast<TNumericField*>(w)) value = field->text();
    return {value, w->isEnabled()};
}

std::vector<QWidget*> DisplayControls(QWidget* form) {
    std::vector<QWidget*> out;
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(form)) continue;
        if (qobject_cast<QCheckBox*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<TNumericField*>(w))
            out.push_back(w);
    }
    return out;
}

void Wheel(QWidget* w, int delta) {
    const QPointF at = QRectF(w->rect()).center();
    QWheelEvent wheel(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &wheel);
}

// Everything a user can do to a control with mouse and keyboard; none of it may change what it
// shows, or the log would record a value the board never sent.
void ExpectInputRefused(QWidget* form) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    const auto controls = DisplayControls(form);
    ASSERT_GT(controls.size(), 10u);
    for (QWidget* w : controls) {
        const std::string name = w->objectName().toStdString();
        const Shown before = Snapshot(w);
        QTest::mouseClick(w, Qt::LeftButton);
        QTest::mouseDClick(w, Qt::LeftButton);
        if (QWidget* popup = QApplication::activePopupWidget()) {
            ADD_FAILURE() << name << " opened its list";
            popup->close();
        }
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Down, Qt::Key_Up, Qt::Key_End, Qt::Key_1, Qt::Key_Backspace})
            QTest::keyClick(w, key);
        Wheel(w, -120);
        Wheel(w, 120);
        Wheel(w, 120);
        EXPECT_EQ(Snapshot(w), before) << name;
        EXPECT_FALSE(w->hasFocus()) << name;
    }

    // Tab from the one real control in the form never stops on a display control.
    if (auto* button = form->findChild<QPushButton*>()) {
        button->setFocus();
        for (int i = 0; i < 20; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            for (QWidget* w : controls) EXPECT_FALSE(w->hasFocus()) << w->objectName().toStdString();
        }
    }
    form->hide();
}

TEST(DisplayOnly, MonitorPageRefusesInputAndKeepsItsEnabledStates) {
    QWidget window;
    auto* page = new TMonitorPage(&window);
    window.resize(page->minimumSize());
    // The fault boxes stay enabled, as the form draws them; they just cannot be ticked.
    EXPECT_TRUE(page->findChild<QCheckBox*>(QStringLiteral("cbPumpFlowError"))->isEnabled());
    EXPECT_TRUE(page->ErrorBox->isEnabled());
    ExpectInputRefused(&window);
}

TEST(DisplayOnly, AdvancedViewRefusesInputAndKeepsItsEnabledStates) {
    TAdvancedViewForm view;
    EXPECT_TRUE(view.findChild<QCheckBox*>(QStringLiteral("cbU1"))->isEnabled());
    EXPECT_TRUE(view.ModBusBox->isEnabled());
    ExpectInputRefused(&view);
}

}  // namespace
}  // namespace korvel
