// The form state of any top-level QWidget: restores its placement when attached (after the
// window's own creation), saves it when the engineer closes the window, and - if not saved since -
// when the owner says the window is going. A window hidden by the tool itself is not saved.
// Store errors go to the general error display; the window opens and closes regardless.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <string>

#include "app/form_state.h"
#include "host/ui_host.h"

namespace korvel {

class TWidgetFormState : public QObject, private TFormWindow {
    Q_OBJECT
public:
    TWidgetFormState(QWidget& window, TOvcRegistryStore& store, const std::string& section, UiHost& host,
                     bool mainWindow = false);
    ~TWidgetFormState() override;

    void RestoreState();
    void SaveState();
    void WindowDestroying();

    TOvcFormState FormState;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int32_t PixelsPerInch() const override;
    TRect NormalBounds() const override;
    TWindowState WindowState() const override;
    uint32_t PlacementFlags() const override;
    uint32_t Color() const override;
    TRect WorkArea(const TRect& bounds) const override;
    bool Sizeable() const override;
    bool IsMainWindow() const override { return FMainWindow; }
    void SetNormalBounds(const TRect& bounds) override;
    void SetWindowState(TWindowState state) override;
    void MinimizeApplication() override;
    void Repaint() override;

    QPointer<QWidget> FWindow;
    UiHost& FHost;
    bool FMainWindow;
    bool FCloseRequested = false;
};

}  // namespace korvel
