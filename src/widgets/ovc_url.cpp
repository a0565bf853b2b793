#include "widgets/ovc_url.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMouseEvent>

namespace korvel {

TOvcURL::TOvcURL(const QString& caption, const QUrl& url, QWidget* parent) : QLabel(caption, parent), FURL(url) {
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    setToolTip(url.toString());
    FNormalColor = palette().color(QPalette::Link);
    SetTextColor(FNormalColor);
    Open = [](const QUrl& target) { return QDesktopServices::openUrl(target); };
    Beep = [] { QApplication::beep(); };
}

void TOvcURL::SetTextColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

void TOvcURL::enterEvent(QEnterEvent* event) {
    FHovered = true;
    SetTextColor(Qt::red);
    QLabel::enterEvent(event);
}

void TOvcURL::leaveEvent(QEvent* event) {
    FHovered = false;
    SetTextColor(FNormalColor);
    QLabel::leaveEvent(event);
}

void TOvcURL::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
    if (!Open || !Open(FURL)) {
        if (Beep) Beep();
    }
}

}  // namespace korvel
