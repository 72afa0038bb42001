#include "box/Box.h"

namespace trivel {

Box::Box(Clock& clock, UiPort& ui)
    : session(clock, ui)
    , settings(session)
    , registers(session)
{
}

} // namespace trivel
