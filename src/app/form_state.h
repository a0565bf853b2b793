// Keeps one window's placement and show state in the settings store between runs: restored when
// the window is created, saved when the engineer closes it and, if not saved since, when it goes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/registry_store.h"

namespace korvel {

struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    bool operator==(const TRect&) const = default;
};

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

// What the form state needs of a window; the UI implements it for its windows.
class TFormWindow {
public:
    virtual ~TFormWindow() = default;
    virtual int32_t PixelsPerInch() const = 0;
    virtual TRect NormalBounds() const = 0;  // the restored (not minimised, not maximised) rectangle
    virtual TWindowState WindowState() const = 0;
    virtual uint32_t PlacementFlags() const = 0;
    virtual uint32_t Color() const = 0;
    // The available area (without task bars) of the screen a rectangle lies most on; the primary
    // screen's when it lies on none.
    virtual TRect WorkArea(const TRect& bounds) const = 0;
    virtual bool Sizeable() const = 0;
    virtual bool IsMainWindow() const = 0;
    virtual void SetNormalBounds(const TRect& bounds) = 0;  // never shows a hidden window
    virtual void SetWindowState(TWindowState state) = 0;
    virtual void MinimizeApplication() = 0;
    virtual void Repaint() = 0;
};

enum TFormStateOption : unsigned { fsState = 1, fsPosition = 2, fsColor = 4 };

class TOvcFormState {
public:
    TOvcFormState(TFormWindow& window, TOvcRegistryStore& storage, std::string section,
                  unsigned options = fsState | fsPosition);

    std::string Section;
    TOvcRegistryStore* Storage;
    unsigned Options;
    bool Active = true;

    // Both throw what the store throws; the store is closed again either way.
    void RestoreState();
    void SaveState();  // does nothing before the first restore
    // The window is going: saved unless it was saved since its last restore.
    void WindowDestroying();

    bool Restored() const { return FRestored; }
    bool SavedSinceRestore() const { return FSavedSinceRestore; }

private:
    TFormWindow& FWindow;
    bool FRestored = false;
    bool FSavedSinceRestore = false;
};

// "left,top,right,bottom"; each missing or malformed number takes the current window's value.
TRect ParseNormalPos(std::string_view text, const TRect& current);
// A stored placement moved wholly into area; nullopt when it is empty or larger than the area
// (damaged, or from a larger screen): the window then keeps its designed placement.
std::optional<TRect> FitIntoArea(const TRect& bounds, const TRect& area);
std::string FormatNormalPos(const TRect& bounds);

}  // namespace korvel
