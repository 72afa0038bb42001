#include "link/Transport.h"

#include "link/Log.h"

#include <QMetaObject>

#include <vector>

namespace trivel {

bool Transport::handOver(const std::uint8_t* bytes, std::size_t n, bool withReportId)
{
    if (m_stopping)
        return false;
    // A copy, queued in order: the receive thread goes back to reading at once.
    QMetaObject::invokeMethod(
        this,
        [this, frame = std::vector<std::uint8_t>(bytes, bytes + n), withReportId] {
            if (!m_stopping && m_sink)
                m_sink(frame.data(), frame.size(), withReportId);
        },
        Qt::QueuedConnection);
    return true;
}

void Transport::stopHandOver()
{
    m_stopping = true;
}

void Transport::resetHandOver()
{
    m_stopping = false;
}

void Transport::reportLinkLost(const QString& reason)
{
    if (m_stopping)
        return;
    QMetaObject::invokeMethod(
        this,
        [this, reason] {
            if (!m_stopping)
                emit linkLost(reason);
        },
        Qt::QueuedConnection);
}

void Transport::failSend(const QString& reason)
{
    if (m_sendFailed)
        return;
    m_sendFailed = true;
    qCWarning(lcLink) << "send failed:" << reason;
    reportLinkLost(reason);
}

} // namespace trivel
