#include "settings/pages/Blend1Page.h"

namespace trivel {

Blend1Page::Blend1Page(Session& s, QWidget* parent)
    : PageWidget(s, parent)
{
}

} // namespace trivel
