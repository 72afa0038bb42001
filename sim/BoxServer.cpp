#include "sim/BoxServer.h"

#include <QFile>
#include <QLoggingCategory>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

Q_DECLARE_LOGGING_CATEGORY(lcSim)

namespace trivel::sim {

BoxServer::BoxServer(BoxModel& box, QObject* parent)
    : QObject(parent)
    , m_box(box)
    , m_server(new QTcpServer(this))
    , m_pumpTimer(new QTimer(this))
{
    m_pumpTimer->setSingleShot(true);
    connect(m_pumpTimer, &QTimer::timeout, this, &BoxServer::pump);
    connect(m_server, &QTcpServer::newConnection, this, &BoxServer::onNewConnection);
}

BoxServer::~BoxServer() = default;

bool BoxServer::listen(const QHostAddress& address, quint16 port)
{
    return m_server->listen(address, port);
}

quint16 BoxServer::port() const
{
    return m_server->serverPort();
}
QHostAddress BoxServer::address() const
{
    return m_server->serverAddress();
}
QString BoxServer::errorString() const
{
    return m_server->errorString();
}

bool BoxServer::setLogFile(const QString& path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    m_log = std::move(file);
    return true;
}

void BoxServer::onNewConnection()
{
    while (QTcpSocket* next = m_server->nextPendingConnection()) {
        if (m_client) {
            qCInfo(lcSim) << "a new client replaces the connected one";
            QTcpSocket* old = m_client;
            old->disconnect(this);
            old->abort();
            old->deleteLater();
        }
        m_client = next;
        m_inbox.clear();
        m_outbox.clear();
        m_pumpTimer->stop();
        m_closePending = false;
        m_repliesOnConnection = 0;
        next->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(next, &QTcpSocket::readyRead, this, &BoxServer::onReadyRead);
        connect(next, &QTcpSocket::disconnected, this, &BoxServer::onDisconnected);
        emit clientConnected();
        if (closeAfter == 0) {
            m_closePending = true;
            closeClient();
        }
    }
}

void BoxServer::onDisconnected()
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket || socket != m_client)
        return;
    m_client = nullptr;
    m_outbox.clear();
    m_pumpTimer->stop();
    socket->deleteLater();
    emit clientDisconnected();
}

void BoxServer::onReadyRead()
{
    if (!m_client)
        return;
    m_inbox.append(m_client->readAll());
    // Requests are whole 512-byte frames; a frame split across reads waits for its rest.
    while (m_inbox.size() >= qsizetype(kTcpFrameSize) && m_client && !m_closePending) {
        const QByteArray frame = m_inbox.left(qsizetype(kTcpFrameSize));
        m_inbox.remove(0, qsizetype(kTcpFrameSize));
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(frame.constData());
        if (m_log) {
            m_log->write(QByteArray::fromStdString(BoxModel::describe(bytes, kTcpFrameSize)) + '\n');
            m_log->flush();
        }
        const auto reply = m_box.handle(bytes, kTcpFrameSize);
        const quint32 code = FrameView(const_cast<std::uint8_t*>(bytes), kTcpFrameSize).code();
        if (reply) {
            queueReply(*reply);
            ++m_repliesOnConnection;
            if (closeAfter >= 0 && m_repliesOnConnection >= closeAfter)
                m_closePending = true;
        }
        if (m_box.takeLinkEnd())
            m_closePending = true;
        emit frameHandled(code);
    }
    if (m_closePending)
        m_inbox.clear();
    pump();
}

void BoxServer::queueReply(const std::vector<std::uint8_t>& reply)
{
    const QByteArray bytes(reinterpret_cast<const char*>(reply.data()), qsizetype(reply.size()));
    if (split) {
        const qsizetype half = bytes.size() / 2;
        m_outbox.push_back(bytes.left(half));
        m_outbox.push_back(bytes.mid(half));
    } else {
        m_outbox.push_back(bytes);
    }
}

// Writes queued segments in order. In split mode one segment goes out per timer turn, so the
// halves of a reply reach the client as separate reads.
void BoxServer::pump()
{
    if (!m_client)
        return;
    while (!m_outbox.empty()) {
        if (m_pumpTimer->isActive())
            return;
        m_client->write(m_outbox.front());
        m_client->flush();
        m_outbox.pop_front();
        if (split && !m_outbox.empty()) {
            m_pumpTimer->start(splitDelayMs);
            return;
        }
    }
    if (m_closePending)
        closeClient();
}

void BoxServer::closeClient()
{
    if (m_client && m_client->state() == QAbstractSocket::ConnectedState)
        m_client->disconnectFromHost(); // writes what is buffered first
}

} // namespace trivel::sim
