// Horizontal bar that fills to a percentage and shows the number on top.
#pragma once

#include <QColor>
#include <QWidget>

namespace korvel {

class TPercentageMeter : public QWidget {
    Q_OBJECT
public:
    explicit TPercentageMeter(QWidget* parent = nullptr);

    // Clamped to 0..100.
    void SetPercent(int percent);
    int Percent() const { return FPercent; }

    // Colour of the used part.
    void SetForeColor(const QColor& color);
    QColor ForeColor() const { return FForeColor; }
    // Colour of the unused part.
    void SetBackColor(const QColor& color);
    QColor BackColor() const { return FBackColor; }

    QString Text() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int FPercent = 0;
    QColor FForeColor = Qt::black;
    QColor FBackColor = Qt::white;
};

}  // namespace korvel
