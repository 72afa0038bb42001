#include "settings/pages/Blend2Page.h"

#include "settings/Controls.h"

namespace trivel {

Blend2Page::Blend2Page(Session& s, QWidget* parent)
    : PageWidget(s, parent)
{
    auto* regions = build::Group(this, nullptr, QStringLiteral("Offset"), QRect(8, 200, 150, 120));
    build::RadioGrid(regions, ctl::RBOffsets, QPoint(20, 24));
    auto* corners = build::Group(this, nullptr, QStringLiteral("Corner"), QRect(166, 200, 150, 120));
    build::RadioGrid(corners, ctl::RBCorners, QPoint(20, 24));
}

} // namespace trivel
