#include "app/action_proxy.h"

namespace korvel {

TActionProxy::TActionProxy(QAction* source, const QString& caption, QObject* parent)
    : QAction(caption, parent), source_(source) {
    setObjectName(source->objectName() + QStringLiteral("Proxy"));
    setProperty("category", source->property("category"));
    Mirror();
    connect(source, &QAction::changed, this, &TActionProxy::Mirror);
    connect(source, &QAction::toggled, this, &TActionProxy::Mirror);
    connect(source, &QAction::enabledChanged, this, &TActionProxy::Mirror);
    connect(this, &QAction::triggered, this, [this] {
        source_->trigger();
        // A click on the proxy flipped its own check mark; the source decides the real state
        // (a checked radio action stays checked).
        Mirror();
    });
}

void TActionProxy::Mirror() {
    setEnabled(source_->isEnabled());
    setCheckable(source_->isCheckable());
    setChecked(source_->isChecked());
    setVisible(source_->isVisible());
    setToolTip(source_->toolTip());
    setStatusTip(source_->statusTip());
}

}  // namespace korvel
