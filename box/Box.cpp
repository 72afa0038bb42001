#include "box/Box.h"

namespace trivel {

Box::Box(Clock& clock, UiPort& ui)
    : session(clock, ui)
    , registers(session)
    , masks(session)
{
}

} // namespace trivel
