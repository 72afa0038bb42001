#include "link/Connection.h"

#include "link/Session.h"

namespace trivel {

Connection::Connection(Session& s, QObject* parent)
    : QObject(parent)
    , m_s(s)
{
}
Connection::~Connection() = default;

void Connection::startUp() { }
void Connection::RBUSBClick() { }
void Connection::RBTCPClick() { }
void Connection::BtnCnt2Click() { }
void Connection::HidCtlDeviceChange() { }
void Connection::CloseUsbLink() { }
void Connection::USBTimeOutTimer() { }
void Connection::FormClose() { }

} // namespace trivel
