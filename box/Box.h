#pragma once
// The tool's side of one box, the composition root of the core: the session (the shared facts
// and the one exchange) and every subsystem, each owning its state. The GUI, trivelctl and the
// tests make one and reach the subsystems through it.

#include "firmware/Firmware.h"
#include "registers/Registers.h"
#include "session/Session.h"

namespace trivel {

class Box {
public:
    Box(Clock& clock, UiPort& ui);
    ~Box();
    Box(const Box&) = delete;
    Box& operator=(const Box&) = delete;

    Session session;
    Registers registers;
    Firmware firmware;
};

} // namespace trivel
