#include "app/widget_form_state.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

#include "app/general_error.h"

namespace korvel {

namespace {

constexpr uint32_t WPF_RESTORETOMAXIMIZED = 2;

// By its corners: a width taken as Right - Left could wrap for a damaged value.
QRect ToQRect(const TRect& r) { return {QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1)}; }

TRect FromQRect(const QRect& r) { return {r.left(), r.top(), r.right() + 1, r.bottom() + 1}; }

}  // namespace

TWidgetFormState::TWidgetFormState(QWidget& window, TOvcRegistryStore& store, const std::string& section,
                                   UiHost& host, bool mainWindow)
    : FormState(*this, store, section), FWindow(&window), FHost(host), FMainWindow(mainWindow) {
    // A window nobody has placed would be saved at 0,0 and come back in the corner: its designed
    // place is the screen's centre, as the main window's is.
    if (!window.testAttribute(Qt::WA_Moved) && !window.isVisible()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect centred(QPoint(), window.size());
            centred.moveCenter(screen->availableGeometry().center());
            window.move(centred.topLeft());
        }
    }
    window.installEventFilter(this);
}

TWidgetFormState::~TWidgetFormState() {
    if (FWindow) FWindow->removeEventFilter(this);
}

void TWidgetFormState::RestoreState() {
    if (FWindow) RunGuarded(FHost, [this] { FormState.RestoreState(); });
}

void TWidgetFormState::SaveState() {
    if (FWindow) RunGuarded(FHost, [this] { FormState.SaveState(); });
}

void TWidgetFormState::WindowDestroying() {
    if (FWindow) RunGuarded(FHost, [this] { FormState.WindowDestroying(); });
}

bool TWidgetFormState::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FWindow) {
        // A granted close hides the window right after its close event; a refused one does not.
        // A hide without a close before it is the tool's own (a mode change) and is not saved.
        switch (event->type()) {
            case QEvent::Close:
                FCloseRequested = true;
                break;
            case QEvent::Show:
                FCloseRequested = false;
                break;
            case QEvent::Hide:
                if (FCloseRequested && !event->spontaneous()) {
                    FCloseRequested = false;
                    SaveState();
                }
                break;
            default:
                break;
        }
    }
    return QObject::eventFilter(watched, event);
}

int32_t TWidgetFormState::PixelsPerInch() const {
    // Logical dots per inch times the scaling: a change of the display scaling changes it.
    return qRound(FWindow->logicalDpiY() * FWindow->devicePixelRatioF());
}

TRect TWidgetFormState::NormalBounds() const {
    QRect g = FWindow->normalGeometry();
    if (!g.isValid()) g = FWindow->geometry();
    return {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

TWindowState TWidgetFormState::WindowState() const {
    const Qt::WindowStates s = FWindow->windowState();
    if (s & Qt::WindowMinimized) return TWindowState::wsMinimized;
    if (s & Qt::WindowMaximized) return TWindowState::wsMaximized;
    return TWindowState::wsNormal;
}

uint32_t TWidgetFormState::PlacementFlags() const {
    const Qt::WindowStates s = FWindow->windowState();
    return (s & Qt::WindowMinimized) && (s & Qt::WindowMaximized) ? WPF_RESTORETOMAXIMIZED : 0;
}

uint32_t TWidgetFormState::Color() const {
    const QColor c = FWindow->palette().color(QPalette::Window);
    return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
           (static_cast<uint32_t>(c.blue()) << 16);
}

bool TWidgetFormState::Sizeable() const {
    return FWindow->windowType() != Qt::Tool && FWindow->minimumSize() != FWindow->maximumSize();
}

TRect TWidgetFormState::WorkArea(const TRect& bounds) const {
    // As the platform's own placement call does: a window that would lie wholly off every screen
    // (a monitor since unplugged) comes back onto the primary one.
    const QRect r = ToQRect(bounds);
    const QScreen* best = QGuiApplication::primaryScreen();
    int64_t bestOverlap = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect overlap = screen->availableGeometry().intersected(r);
        const int64_t area = overlap.isEmpty() ? 0 : int64_t{overlap.width()} * overlap.height();
        if (area > bestOverlap) {
            best = screen;
            bestOverlap = area;
        }
    }
    return best != nullptr ? FromQRect(best->availableGeometry()) : bounds;
}

void TWidgetFormState::SetNormalBounds(const TRect& bounds) { FWindow->setGeometry(ToQRect(bounds)); }

void TWidgetFormState::SetWindowState(TWindowState state) {
    FWindow->setWindowState(state == TWindowState::wsMinimized   ? Qt::WindowMinimized
                            : state == TWindowState::wsMaximized ? Qt::WindowMaximized
                                                                 : Qt::WindowNoState);
}

void TWidgetFormState::MinimizeApplication() { FWindow->setWindowState(FWindow->windowState() | Qt::WindowMinimized); }

void TWidgetFormState::Repaint() { FWindow->update(); }

}  // namespace korvel
