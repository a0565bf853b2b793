#include "app/form_state.h"

#include <algorithm>
#include <cstdint>

namespace korvel {

namespace {

constexpr int32_t SW_SHOWNORMAL = 1;
constexpr int32_t SW_SHOWMINIMIZED = 2;
constexpr int32_t SW_SHOWMAXIMIZED = 3;
constexpr int32_t SW_MINIMIZE = 6;

// Opens the store for one pass and closes it on every way out; a failure to close (to write)
// is thrown unless another error is already on its way.
class TOpenStore {
public:
    explicit TOpenStore(TOvcRegistryStore& store) : store_(store) { store_.Open(); }
    ~TOpenStore() {
        if (!open_) return;
        try {
            store_.Close();
        } catch (...) {  // the error already on its way says more
        }
    }
    void Close() {
        open_ = false;
        store_.Close();
    }

private:
    TOvcRegistryStore& store_;
    bool open_ = true;
};

}  // namespace

TOvcFormState::TOvcFormState(TFormWindow& window, TOvcRegistryStore& storage, std::string section, unsigned options)
    : Section(std::move(section)), Storage(&storage), Options(options), FWindow(window) {}

TRect ParseNormalPos(std::string_view text, const TRect& current) {
    int32_t values[4] = {current.Left, current.Top, current.Right, current.Bottom};
    for (int32_t& value : values) {
        const size_t comma = text.find(',');
        if (const auto number = ParseDecimal(text.substr(0, comma))) value = *number;
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return {values[0], values[1], values[2], values[3]};
}

std::optional<TRect> FitIntoArea(const TRect& bounds, const TRect& area) {
    // In 64 bits: a damaged value may be anything an int holds, and its sums must not wrap.
    const int64_t width = int64_t{bounds.Right} - bounds.Left;
    const int64_t height = int64_t{bounds.Bottom} - bounds.Top;
    if (width <= 0 || height <= 0) return std::nullopt;
    if (width > int64_t{area.Right} - area.Left || height > int64_t{area.Bottom} - area.Top) return std::nullopt;
    const auto left = static_cast<int32_t>(std::clamp<int64_t>(bounds.Left, area.Left, area.Right - width));
    const auto top = static_cast<int32_t>(std::clamp<int64_t>(bounds.Top, area.Top, area.Bottom - height));
    return TRect{left, top, static_cast<int32_t>(left + width), static_cast<int32_t>(top + height)};
}

std::string FormatNormalPos(const TRect& r) {
    return std::to_string(r.Left) + ',' + std::to_string(r.Top) + ',' + std::to_string(r.Right) + ',' +
           std::to_string(r.Bottom);
}

void TOvcFormState::RestoreState() {
    if (!Active) return;
    // From here on a save may overwrite what was stored: it has been read.
    FRestored = true;
    FSavedSinceRestore = false;
    TOpenStore open(*Storage);
    const int32_t ppi = FWindow.PixelsPerInch();
    // A placement from another screen scaling would put the window somewhere else entirely.
    if (Storage->ReadInteger(Section, "PixelsPerInch", ppi) != ppi) return open.Close();

    const TRect current = FWindow.NormalBounds();
    // Read as stored; the window system has no placement flags to give back.
    if (Options & fsPosition) (void)Storage->ReadInteger(Section, "Flags", static_cast<int32_t>(FWindow.PlacementFlags()));
    const std::string normalPos = Storage->ReadString(Section, "NormalPos", "");
    if (normalPos.empty()) return open.Close();

    if (Options & fsPosition) {
        TRect bounds = ParseNormalPos(normalPos, current);
        if (!FWindow.Sizeable()) {
            // Its own size, where it fits; a left or top near the end of int would wrap.
            const int64_t width = int64_t{current.Right} - current.Left;
            const int64_t height = int64_t{current.Bottom} - current.Top;
            bounds.Left = static_cast<int32_t>(std::min<int64_t>(bounds.Left, INT32_MAX - width));
            bounds.Top = static_cast<int32_t>(std::min<int64_t>(bounds.Top, INT32_MAX - height));
            bounds.Right = static_cast<int32_t>(bounds.Left + width);
            bounds.Bottom = static_cast<int32_t>(bounds.Top + height);
        }
        // Fully visible on the screen it is now shown on, or left as designed.
        if (const auto fitted = FitIntoArea(bounds, FWindow.WorkArea(bounds))) FWindow.SetNormalBounds(*fitted);
    }
    if (Options & fsState) {
        const int32_t showCmd = Storage->ReadInteger(Section, "ShowCmd", 0);
        const TWindowState state = showCmd == SW_SHOWMINIMIZED || showCmd == SW_MINIMIZE ? TWindowState::wsMinimized
                                   : showCmd == SW_SHOWMAXIMIZED                          ? TWindowState::wsMaximized
                                                                                          : TWindowState::wsNormal;
        if (state == TWindowState::wsMinimized && FWindow.IsMainWindow()) {
            FWindow.MinimizeApplication();
            return open.Close();
        }
        FWindow.SetWindowState(state);
    }
    FWindow.Repaint();
    open.Close();
}

void TOvcFormState::SaveState() {
    if (!Active || !FRestored) return;
    TOpenStore open(*Storage);
    const TWindowState state = FWindow.WindowState();
    Storage->WriteInteger(Section, "Flags", FWindow.PlacementFlags());
    Storage->WriteInteger(Section, "ShowCmd", state == TWindowState::wsMinimized   ? SW_SHOWMINIMIZED
                                              : state == TWindowState::wsMaximized ? SW_SHOWMAXIMIZED
                                                                                   : SW_SHOWNORMAL);
    Storage->WriteString(Section, "NormalPos", FormatNormalPos(FWindow.NormalBounds()));
    Storage->WriteInteger(Section, "PixelsPerInch", FWindow.PixelsPerInch());
    Storage->WriteInteger(Section, "Color", FWindow.Color());
    open.Close();
    FSavedSinceRestore = true;
}

void TOvcFormState::WindowDestroying() {
    if (!FSavedSinceRestore) SaveState();
}

}  // namespace korvel
