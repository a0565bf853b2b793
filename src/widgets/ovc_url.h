// Hyperlink label: underlined text that opens its target in the default browser when clicked.
// Pointing-hand cursor; red while the pointer is over it; a beep when the target cannot be opened.
#pragma once

#include <QColor>
#include <QLabel>
#include <QUrl>
#include <functional>

namespace korvel {

class TOvcURL : public QLabel {
    Q_OBJECT
public:
    explicit TOvcURL(const QString& caption, const QUrl& url, QWidget* parent = nullptr);

    QUrl URL() const { return FURL; }
    bool Hovered() const { return FHovered; }

    // Opens the target; returns false when it could not. QDesktopServices by default.
    std::function<bool(const QUrl&)> Open;
    // Called when opening failed. QApplication::beep by default.
    std::function<void()> Beep;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void SetTextColor(const QColor& color);

    QUrl FURL;
    QColor FNormalColor;
    bool FHovered = false;
};

}  // namespace korvel
