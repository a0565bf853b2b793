#include "widgets/percentage_meter.h"

#include <QPainter>
#include <algorithm>

namespace korvel {

TPercentageMeter::TPercentageMeter(QWidget* parent) : QWidget(parent) {}

void TPercentageMeter::SetPercent(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == FPercent) return;
    FPercent = percent;
    update();
}

void TPercentageMeter::SetForeColor(const QColor& color) {
    FForeColor = color;
    update();
}

void TPercentageMeter::SetBackColor(const QColor& color) {
    FBackColor = color;
    update();
}

QString TPercentageMeter::Text() const { return QString::number(FPercent) + QLatin1Char('%'); }

QSize TPercentageMeter::sizeHint() const { return {150, 16}; }

void TPercentageMeter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    p.fillRect(inner, FBackColor);
    const int used = inner.width() * FPercent / 100;
    p.fillRect(QRect(inner.left(), inner.top(), used, inner.height()), FForeColor);
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(inner, Qt::AlignCenter, Text());
}

}  // namespace korvel
