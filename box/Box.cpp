#include "box/Box.h"

namespace trivel {

Box::Box(Clock& clock, UiPort& ui)
    : session(clock, ui)
    , registers(session)
    , firmware(session)
{
}

} // namespace trivel
