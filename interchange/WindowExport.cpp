#include "interchange/WindowExport.h"

#include "box/Box.h"
#include "preview/PreviewSession.h"
#include "session/Session.h"
#include "settings/SettingsState.h"

#include <algorithm>

namespace trivel {

WindowExport WindowExportOf(const Session& s, int window)
{
    WindowExport w;
    w.window = std::clamp(window, 0, 3);
    const WarpModel& m = s.box->warp.state().model[std::size_t(w.window)];
    w.width = m.frameWidth;
    w.height = m.frameHeight;
    w.exactGeometry = PreviewWarpTables(s, w.window, w.sourceX, w.sourceY, w.geometryNote);
    w.blend = s.settings().BlendSettings[std::size_t(w.window)];
    return w;
}

} // namespace trivel
