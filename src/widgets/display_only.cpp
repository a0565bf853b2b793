#include "widgets/display_only.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>

#include "widgets/numeric_field.h"

namespace korvel {

namespace {

// Muted, yet dark enough on white to be read.
const QColor kStaleText(0x80, 0x80, 0x80);
// A fault reads as one at a glance; an old one is paler, like the other stale values.
const QColor kFaultText(0xC0, 0x00, 0x00);
const QColor kStaleFaultText(0xD0, 0x80, 0x80);
constexpr const char* kFaultProperty = "korvelFault";
constexpr const char* kStaleProperty = "korvelStale";

class TInputRefuser : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ContextMenu:
            case QEvent::Shortcut:
                // Ignored rather than accepted: the parent still gets it, so a wheel over a field
                // scrolls the page around it.
                event->ignore();
                return true;
            default:
                return QObject::eventFilter(watched, event);
        }
    }
};

bool IsDisplayControl(QWidget* w) {
    if (qobject_cast<QCheckBox*>(w) != nullptr || qobject_cast<QComboBox*>(w) != nullptr) return true;
    const auto* field = qobject_cast<TNumericField*>(w);
    return field != nullptr && !field->Editable();
}

// The style's disabled colours are grey on grey: a display control keeps its enabled colours
// whatever its group's state; stale values take a muted text on the same ground.
void SetColours(QWidget* w, bool muted) {
    w->setProperty(kStaleProperty, muted);
    const bool fault = w->property(kFaultProperty).toBool();
    QPalette pal = w->palette();
    const QPalette normal = QApplication::palette(w);
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = static_cast<QPalette::ColorRole>(role);
        pal.setColor(QPalette::Disabled, r, pal.color(QPalette::Active, r));
    }
    for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            pal.setColor(group, role,
                         fault   ? (muted ? kStaleFaultText : kFaultText)
                         : muted ? kStaleText
                                 : normal.color(QPalette::Active, role));
    w->setPalette(pal);
}

}  // namespace

void MakeDisplayOnly(QWidget* form) {
    auto* refuser = new TInputRefuser(form);
    for (QWidget* w : form->findChildren<QWidget*>()) {
        // A disabled group's caption and labels stay readable too: they take its colours.
        if (qobject_cast<QGroupBox*>(w) != nullptr) SetColours(w, false);
        if (!IsDisplayControl(w)) continue;
        SetColours(w, false);
        w->setFocusPolicy(Qt::NoFocus);
        w->installEventFilter(refuser);
    }
}

QLabel* MakeStaleWord(QWidget* parent, const QRect& geometry, Qt::Alignment alignment) {
    auto* word = new QLabel(parent);
    word->setObjectName(QStringLiteral("lblStale"));
    word->setTextFormat(Qt::PlainText);
    word->setGeometry(geometry);
    word->setAlignment(alignment | Qt::AlignVCenter);
    QFont bold = word->font();
    bold.setBold(true);
    word->setFont(bold);
    QPalette pal = word->palette();
    pal.setColor(QPalette::WindowText, QColor(0xB0, 0x40, 0x00));
    word->setPalette(pal);
    word->hide();
    return word;
}

void ShowFault(QWidget* w, bool fault) {
    if (w == nullptr || w->property(kFaultProperty).toBool() == fault) return;
    w->setProperty(kFaultProperty, fault);
    SetColours(w, w->property(kStaleProperty).toBool());
    QFont font = w->font();
    font.setBold(fault);  // not by colour alone: a colour-blind engineer sees it too
    w->setFont(font);
}

void ShowValuesStale(QWidget* form, QLabel* word, const QString& text) {
    const bool stale = !text.isEmpty();
    for (QWidget* w : form->findChildren<QWidget*>())
        if (IsDisplayControl(w)) SetColours(w, stale);
    word->setText(text);
    word->setVisible(stale);
}

}  // namespace korvel
