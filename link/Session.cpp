#include "link/Session.h"

#include "link/Transport.h"

#include <algorithm>

namespace trivel {

Session::Session(Clock& c, UiPort& u)
    : clock(c)
    , ui(u)
{
    TmrStatus = clock.createTimer(2000);
    USBTimeOut = clock.createTimer(500);
    Timer2 = clock.createTimer(300);
}

Session::~Session() = default;

void Session::clearRequest(std::size_t bytes)
{
    std::fill_n(RequestBuffer.begin(), std::min(bytes, RequestBuffer.size()), std::uint8_t(0));
}

void SendFrame(Session& s)
{
    if (!s.connected() || !s.transport)
        return;
    s.transport->sendFrame(s.RequestBuffer);
    if (s.PostSendDelay != 0)
        s.clock.pumpMs(s.PostSendDelay < 0 ? -s.PostSendDelay : s.PostSendDelay);
}

} // namespace trivel
