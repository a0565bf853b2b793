#include "messages/monitor_page.h"

#include <QGroupBox>
#include <QPushButton>

namespace korvel {

TMonitorPage::TMonitorPage(QWidget* parent) : QWidget(parent) {
    btnShowAdvancedViewer = new QPushButton(QStringLiteral("Geavanceerd"), this);
    btnShowAdvancedViewer->setObjectName(QStringLiteral("btnShowAdvancedViewer"));
}

}  // namespace korvel
