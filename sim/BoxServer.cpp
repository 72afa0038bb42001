#include "sim/BoxServer.h"

#include <QFile>
#include <QLoggingCategory>
#include <QScopedValueRollback>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <utility>

Q_DECLARE_LOGGING_CATEGORY(lcSim)

namespace trivel::sim {

BoxServer::BoxServer(BoxModel& box, QObject* parent)
    : QObject(parent)
    , m_box(box)
    , m_server(new QTcpServer(this))
    , m_pumpTimer(new QTimer(this))
{
    // A burst of reconnecting clients then waits in the kernel rather than having its connection
    // requests dropped and retried a second later (Qt's default backlog is 50).
    m_server->setListenBacklogSize(1024);
    m_pumpTimer->setSingleShot(true);
    connect(m_pumpTimer, &QTimer::timeout, this, &BoxServer::onBytesWritten);
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

qint64 BoxServer::pendingOutputBytes() const
{
    return m_outboxBytes + (m_client ? m_client->bytesToWrite() : 0);
}

bool BoxServer::clientWritable() const
{
    return m_client && m_client->state() == QAbstractSocket::ConnectedState;
}

void BoxServer::clearOutbox()
{
    m_outbox.clear();
    m_frontWritten = 0;
    m_outboxBytes = 0;
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
        ++m_connections;
        m_inbox.clear();
        clearOutbox();
        m_pumpTimer->stop();
        m_closePending = false;
        m_readPaused = false;
        m_peakPending = 0;
        m_repliesOnConnection = 0;
        next->setReadBufferSize(inputBufferBytes);
        next->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(next, &QTcpSocket::readyRead, this, &BoxServer::processInput);
        connect(next, &QTcpSocket::bytesWritten, this, &BoxServer::onBytesWritten);
        // Queued: a failing write aborts the socket and emits this at once, in the middle of pump().
        connect(
            next, &QTcpSocket::disconnected, this,
            [this, socket = QPointer<QTcpSocket>(next)] { onDisconnected(socket); }, Qt::QueuedConnection);
        emit clientConnected();
        if (closeAfter == 0 && m_box.hostile != Hostile::ShortClose) {
            m_closePending = true;
            closeClient();
        }
    }
}

void BoxServer::onDisconnected(QTcpSocket* socket)
{
    if (!socket || socket != m_client)
        return; // replaced meanwhile; the replacement already released it
    m_client = nullptr;
    m_inbox.clear();
    clearOutbox();
    m_pumpTimer->stop();
    m_readPaused = false;
    socket->deleteLater();
    emit clientDisconnected();
}

// Replies went out (or the pacing timer ran): write the next ones, then take requests again if
// reading was paused and everything has drained.
void BoxServer::onBytesWritten()
{
    pump();
    processInput();
}

void BoxServer::processInput()
{
    if (m_processing || !clientWritable() || m_box.hostile == Hostile::NoRead)
        return;
    const QScopedValueRollback guard(m_processing, true);
    // Requests are whole 512-byte frames; a frame split across reads waits for its rest.
    while (clientWritable() && !m_closePending) {
        // Once paused, wait until every reply is out: a reading client drains them quickly.
        if (pendingOutputBytes() > (m_readPaused ? 0 : outputPauseBytes)) {
            m_readPaused = true;
            break;
        }
        m_readPaused = false;
        m_inbox.append(m_client->read(qint64(kTcpFrameSize) - m_inbox.size()));
        if (m_inbox.size() < qsizetype(kTcpFrameSize))
            break;
        handleFrame(std::exchange(m_inbox, {}));
        pump();
    }
    if (m_closePending && m_client && m_client->isOpen()) {
        m_inbox.clear();
        m_client->skip(m_client->bytesAvailable());
    }
}

void BoxServer::handleFrame(const QByteArray& frame)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(frame.constData());
    if (m_log) {
        m_log->write(QByteArray::fromStdString(BoxModel::describe(bytes, kTcpFrameSize)) + '\n');
        m_log->flush();
    }
    const auto reply = m_box.handle(bytes, kTcpFrameSize);
    const quint32 code = FrameView(const_cast<std::uint8_t*>(bytes), kTcpFrameSize).code();
    auto extras = m_box.takeExtraReplies();
    if (reply) {
        QByteArray out(reinterpret_cast<const char*>(reply->data()), qsizetype(reply->size()));
        const bool shortClose = m_box.hostile == Hostile::ShortClose;
        if (shortClose && m_repliesOnConnection >= std::max(closeAfter, 0)) {
            HostileRandom rng(m_box.seed, ~m_connections);
            out.truncate(1 + qsizetype(rng.below(std::uint32_t(out.size() - 1))));
            extras.clear();
            m_closePending = true;
        }
        queueReply(std::move(out));
        for (const auto& extra : extras)
            queueReply(QByteArray(reinterpret_cast<const char*>(extra.data()), qsizetype(extra.size())));
        ++m_repliesOnConnection;
        if (!shortClose && closeAfter >= 0 && m_repliesOnConnection >= closeAfter)
            m_closePending = true;
    }
    if (m_box.takeLinkEnd())
        m_closePending = true;
    emit frameHandled(code);
}

void BoxServer::queueReply(QByteArray bytes)
{
    if (bytes.isEmpty() || !m_client)
        return;
    m_outboxBytes += bytes.size();
    m_outbox.push_back(std::move(bytes));
    const qint64 pending = pendingOutputBytes();
    m_peakPending = std::max(m_peakPending, pending);
    if (pending > outputHardLimitBytes)
        dropClient("its replies are not being read");
}

// Writes queued replies in order. In split mode the halves of a reply, and in segments mode its
// bytes, go out one per timer turn, so the client receives them as separate reads.
void BoxServer::pump()
{
    if (m_pumping)
        return;
    const QScopedValueRollback guard(m_pumping, true);
    const bool segments = m_box.hostile == Hostile::Segments;
    while (!m_outbox.empty() && clientWritable() && !m_pumpTimer->isActive()) {
        // The piece is copied out and accounted for before the write, which may call back in.
        const qsizetype size = m_outbox.front().size();
        qsizetype n = size - m_frontWritten;
        if (segments)
            n = 1;
        else if (split && m_frontWritten == 0)
            n = std::max<qsizetype>(1, size / 2);
        const QByteArray piece = m_outbox.front().mid(m_frontWritten, n);
        m_frontWritten += n;
        m_outboxBytes -= n;
        if (m_frontWritten >= size) {
            m_outbox.pop_front();
            m_frontWritten = 0;
        }
        m_client->write(piece);
        if (!clientWritable())
            break;
        m_client->flush();
        if ((segments || split) && !m_outbox.empty()) {
            m_pumpTimer->start(segments ? segmentDelayMs : splitDelayMs);
            break;
        }
    }
    if (m_outbox.empty() && m_closePending)
        closeClient();
}

void BoxServer::closeClient()
{
    if (clientWritable())
        m_client->disconnectFromHost(); // writes what is buffered first
}

void BoxServer::dropClient(const char* why)
{
    qCWarning(lcSim) << "dropping the client:" << why;
    clearOutbox();
    m_inbox.clear();
    m_pumpTimer->stop();
    m_closePending = true;
    if (m_client)
        m_client->abort();
}

} // namespace trivel::sim
