#include "messages/advanced_view_form.h"

namespace korvel {

TAdvancedViewForm::TAdvancedViewForm(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName(QStringLiteral("AdvancedViewForm"));
    setWindowTitle(QStringLiteral("Geavanceerd"));
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
