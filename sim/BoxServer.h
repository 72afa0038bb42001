#pragma once
// The box on TCP: a QTcpServer that reassembles 512-byte request frames, hands each to a
// BoxModel and writes its reply back. One client at a time; a new client replaces the old one.

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

    // Robustness switches.
    bool split = false; // each reply goes out in two TCP segments ...
    int splitDelayMs = 5; // ... the second this long after the first
    int closeAfter = -1; // close the connection after this many replies (-1: never)

    // One line per received frame (BoxModel::describe). Returns false if the file cannot be opened.
    bool setLogFile(const QString& path);

    bool hasClient() const { return m_client != nullptr; }
    int repliesOnConnection() const { return m_repliesOnConnection; }
    int bufferedRequestBytes() const { return int(m_inbox.size()); } // part of a frame still waiting

signals:
    void clientConnected();
    void clientDisconnected();
    void frameHandled(quint32 code);

private:
    void onNewConnection();
    void onReadyRead();
    void onDisconnected();
    void queueReply(const std::vector<std::uint8_t>& reply);
    void pump();
    void closeClient();

    BoxModel& m_box;
    QTcpServer* m_server;
    QPointer<QTcpSocket> m_client;
    QByteArray m_inbox;
    std::deque<QByteArray> m_outbox; // segments waiting to be written
    QTimer* m_pumpTimer;
    bool m_closePending = false;
    int m_repliesOnConnection = 0;
    std::unique_ptr<QFile> m_log;
};

} // namespace trivel::sim
