#pragma once
// The box on TCP: a QTcpServer that reassembles 512-byte request frames, hands each to a
// BoxModel and writes its reply back. One client at a time; a new client replaces the old one.
// A client that does not read its replies is no longer read from until they drain, and is
// dropped once they pass a hard limit, so no client can make the server grow.

#include "sim/BoxModel.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpSocket>

#include <deque>
#include <memory>

class QFile;
class QTcpServer;
class QTimer;

namespace trivel::sim {

class BoxServer : public QObject {
    Q_OBJECT
public:
    explicit BoxServer(BoxModel& box, QObject* parent = nullptr);
    ~BoxServer() override;

    bool listen(const QHostAddress& address = QHostAddress::LocalHost, quint16 port = 7);
    quint16 port() const;
    QHostAddress address() const;
    QString errorString() const;

    // Robustness switches. The transport's hostile modes (segments, shortclose, noread) come from
    // the model's `hostile`.
    bool split = false; // each reply goes out in two TCP segments ...
    int splitDelayMs = 5; // ... the second this long after the first
    int segmentDelayMs = 0; // between the bytes of Hostile::Segments (0: one per event-loop turn)
    int closeAfter = -1; // close the connection after this many replies (-1: never); with
                         // Hostile::ShortClose, the reply after this many is the short one

    // Limits per client. Requests are taken only while fewer reply bytes than outputPauseBytes wait
    // to be written, and again once they have all gone; past outputHardLimitBytes the client is
    // dropped. Qt buffers at most inputBufferBytes of requests, the kernel the rest, so a client
    // that keeps sending ends up blocked in its own send.
    qint64 outputPauseBytes = 64 * 1024;
    qint64 outputHardLimitBytes = 4 * 1024 * 1024;
    qint64 inputBufferBytes = 64 * 1024;

    // One line per received frame (BoxModel::describe). Returns false if the file cannot be opened.
    bool setLogFile(const QString& path);

    bool hasClient() const { return m_client != nullptr; }
    int repliesOnConnection() const { return m_repliesOnConnection; }
    int bufferedRequestBytes() const { return int(m_inbox.size()); } // part of a frame still waiting
    qint64 pendingOutputBytes() const; // reply bytes not yet handed to the kernel
    bool readingPaused() const { return m_readPaused; }
    qint64 peakPendingOutputBytes() const { return m_peakPending; } // since the last connection

signals:
    void clientConnected();
    void clientDisconnected();
    void frameHandled(quint32 code);

private:
    void onNewConnection();
    void onDisconnected(QTcpSocket* socket);
    void onBytesWritten();
    void processInput();
    void handleFrame(const QByteArray& frame);
    void queueReply(QByteArray bytes);
    void pump();
    void closeClient();
    void dropClient(const char* why);
    void clearOutbox();
    bool clientWritable() const;

    BoxModel& m_box;
    QTcpServer* m_server;
    QPointer<QTcpSocket> m_client;
    QByteArray m_inbox; // at most one frame
    std::deque<QByteArray> m_outbox; // replies waiting to be written
    qsizetype m_frontWritten = 0; // bytes of the front reply already written (split, segments)
    qint64 m_outboxBytes = 0;
    qint64 m_peakPending = 0;
    QTimer* m_pumpTimer;
    bool m_closePending = false;
    bool m_readPaused = false;
    bool m_processing = false; // re-entry guards: a write or flush can emit signals that call back in
    bool m_pumping = false;
    int m_repliesOnConnection = 0;
    quint64 m_connections = 0;
    std::unique_ptr<QFile> m_log;
};

} // namespace trivel::sim
