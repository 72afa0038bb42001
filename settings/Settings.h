#pragma once
// The settings subsystem: the per-window cache of every setting in the binding table, and the
// operations that change a setting on the box the way its control does. The pages, trivelctl and
// the tests drive it alike; the cache it holds is what the pages show.

#include "link/Operation.h"
#include "protocol/Request.h"
#include "settings/SettingBinding.h"
#include "settings/SettingsState.h"

#include <functional>

namespace trivel {

class Session;

class Settings {
public:
    explicit Settings(Session& s);
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    Session& session() const { return m_s; }
    SettingsState& state() { return m_state; }
    const SettingsState& state() const { return m_state; }

    // The cached value of window w (0..3): the control's position; 0 without a cache.
    int value(Setting id, int window) const;
    // What the control of `id` accepts as a value (edge widths take 0 for off as well).
    static bool accepts(Setting id, int value);
    // Whether the setting has a control of its own to write it (read-only values have none).
    static bool writable(Setting id);
    // A value the box only reports (its model, MDN): its template is a query.
    static bool readOnly(Setting id);

    // Makes `window` current when it is not, stores `value` (a control position) and sends what
    // the control sends, with the control's own rules (shared inputs, paired outputs, the
    // point of a region value first). Refused for a value the control does not take.
    Operation<void> apply(Setting id, int window, int value);

    // The window buttons: the outgoing window's cursor off, VKY, the pages refilled and the
    // page on show shown again, then 0x2015. Warp moves wait for its end.
    Operation<void> selectWindow(int window);
    bool selectingWindow() const;

    // The click handlers of the Image, Video Wall and PIP pages (cache, then send).
    Operation<void> chooseInput(int tag);
    Operation<void> chooseOutputMode(int tag);
    Operation<void> chooseColourPreset(int item);
    Operation<void> chooseRotation(int tag);
    Operation<void> setDeepColour(bool on);
    Operation<void> chooseHdcpOutput(int item);
    Operation<void> choosePip(int group, int item);

    // A bound control's end of scroll: the current window's cached value, as the control sends it.
    Operation<void> sendCached(Setting id);
    // The template of `id` with `sent` in its value field, as it is (EDID widths and Apply).
    Operation<void> sendValue(Setting id, int sent, int pauseMs = 0);
    // Black level and corner sliders: store by the window's selection, its point first, send.
    Operation<void> sendAtPoint(Setting id, int position);

    // The reset buttons of the blend pages; the records change at once, the sends follow.
    Operation<void> resetEdgeWidths();
    Operation<void> resetEdgeShifts();
    Operation<void> resetTransitionGamma();
    Operation<void> resetGammaGain();
    Operation<void> resetGammaOffset();
    Operation<void> resetColourGain();
    Operation<void> resetColourOffset();
    // BlendMarkerEn: the window's marker flag and its frame.
    Operation<void> showBlendMarker(bool on);
    // The current window's blend record as it stands, as its sliders send it: edge widths,
    // shifts, transition gammas, gamma gains and gamma offset, then every region's black levels
    // with the region's point selected first. Colour gain and offset and the corners are not sent.
    Operation<void> sendBlendRecord();

    // What a window selection and the window-settings block ask of the warp state, which sits
    // above this subsystem: the composition root hands it over.
    struct WarpSide {
        // The window being left: the User Map pattern list back on its entry; its control point
        // (row * 9 + column), whose cursor the selection hides.
        std::function<int(int window)> leave;
        // The window now current.
        std::function<void(int window)> enter;
    };
    void setWarpSide(WarpSide side) { m_warpSide = std::move(side); }
    const WarpSide& warpSide() const { return m_warpSide; }

private:
    // Sends when there is a link, quietly nothing without one, as the pages always have.
    Operation<void> transmit(Request request, int pauseMs = 0);
    Operation<void> selectPoint(int code);
    Operation<void> runSelection(int window);
    std::size_t current() const;

    Session& m_s;
    SettingsState m_state;
    Operation<void> m_selection;
    WarpSide m_warpSide;
};

} // namespace trivel
