#pragma once
// The simulated rig behind trivel-boxsim: what each window of the box shows (its mask preview or
// assigned mask, its test grid, its User Map tables or 17x17 points, its blend), photographed on
// request through a second TCP port (align/SimPhotoProtocol.h), and the command-line options.

#include "sim/BoxModel.h"
#include "sim/rig/RigScene.h"

#include <QHostAddress>
#include <QObject>

#include <memory>

class QCommandLineParser;
class QTcpServer;
class QTcpSocket;

namespace trivel::sim {

// What the box's window shows now. The source is black: the rig models no video input.
WindowContent ContentOfBox(BoxModel& box, int window, int frameWidth, int frameHeight);

class PhotoServer : public QObject {
    Q_OBJECT
public:
    PhotoServer(BoxModel& box, Rig rig, QObject* parent = nullptr);
    ~PhotoServer() override;

    bool listen(const QHostAddress& address, quint16 port);
    quint16 port() const;
    QString errorString() const;
    const Rig& rig() const { return m_scene.rig(); }
    int photosTaken() const { return m_scene.photosTaken(); }

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);

    BoxModel& m_box;
    RigScene m_scene;
    QTcpServer* m_server = nullptr;
};

// --rig, --rig-random, --rig-layout, --rig-camera, --rig-save, --photo-port.
void AddRigOptions(QCommandLineParser& parser);
// The rig the options ask for, its photo service listening and announced on stdout; nothing (and
// no error) without --rig or --rig-random.
std::unique_ptr<PhotoServer> StartRigService(
    const QCommandLineParser& parser, BoxModel& box, const QHostAddress& host, QString& error);

} // namespace trivel::sim
