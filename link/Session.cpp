#include "link/Session.h"

#include "link/BoxCommands.h"
#include "link/Transport.h"
#include "link/Watchdog.h"

#include <algorithm>

namespace trivel {

Session::Session(Clock& c, UiPort& u)
    : clock(c)
    , ui(u)
{
    TmrStatus = clock.createTimer(2000);
    USBTimeOut = clock.createTimer(500);
    Timer2 = clock.createTimer(300);
    ReplyWatchdog = clock.createTimer(kReplyWatchdogMs);
    TmrStatus->onTimeout = [this] { TmrStatusTimer(*this); };
    Timer2->onTimeout = [this] { Timer2Timer(*this); };
    ReplyWatchdog->onTimeout = [this] { ReplyWatchdogTimeout(*this); };
    TmrStatus->setEnabled(true);
}

Session::~Session() = default;

void Session::clearRequest(std::size_t bytes)
{
    std::fill_n(RequestBuffer.begin(), std::min(bytes, RequestBuffer.size()), std::uint8_t(0));
}

void SendFrame(Session& s)
{
    if (!s.connected() || !s.transport || !s.transport->isOpen())
        return;
    // TCP: 512 bytes from the request frame; USB: the declared output report from byte 0.
    s.transport->sendFrame(s.RequestBuffer);
    NoteFrameSent(s);
    // The pause keeps dispatching replies: bursts rely on each reply being handled in it.
    // A negative delay ends at once, as "|elapsed| >= delay" does.
    if (s.PostSendDelay != 0)
        s.clock.pumpMs(std::max(s.PostSendDelay, 0));
}

} // namespace trivel
