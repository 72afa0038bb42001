#include "link/Transport.h"

#include "link/Log.h"

#include <QMetaObject>

namespace trivel {

bool Transport::handOver(const std::uint8_t* bytes, std::size_t n, bool withReportId)
{
    std::uint64_t ticket;
    {
        std::lock_guard lock(m_handMutex);
        if (m_stopping)
            return false;
        ticket = ++m_handPosted;
    }
    QMetaObject::invokeMethod(
        this,
        [this, bytes, n, withReportId, ticket] {
            if (!m_stopping && m_sink)
                m_sink(bytes, n, withReportId);
            {
                std::lock_guard lock(m_handMutex);
                m_handDone = ticket;
            }
            m_handCv.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock lock(m_handMutex);
    m_handCv.wait(lock, [&] { return m_handDone >= ticket || m_stopping; });
    return m_handDone >= ticket;
}

void Transport::stopHandOver()
{
    {
        std::lock_guard lock(m_handMutex);
        m_stopping = true;
    }
    m_handCv.notify_all();
}

void Transport::resetHandOver()
{
    std::lock_guard lock(m_handMutex);
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
