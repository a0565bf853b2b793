#include "widgets/display_only.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>

#include "widgets/numeric_field.h"

namespace korvel {

namespace {

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

}  // namespace

void MakeDisplayOnly(QWidget* form) {
    auto* refuser = new TInputRefuser(form);
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (!IsDisplayControl(w)) continue;
        w->setFocusPolicy(Qt::NoFocus);
        w->installEventFilter(refuser);
    }
}

}  // namespace korvel
