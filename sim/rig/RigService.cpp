#include "sim/rig/RigService.h"

#include "align/SimPhotoProtocol.h"
#include "align/Solve.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>

namespace trivel::sim {

WindowContent ContentOfBox(BoxModel& box, int window, int frameWidth, int frameHeight)
{
    WindowContent c;
    const WindowState& s = box.settings().windows[std::size_t(std::clamp(window, 0, kWindows - 1))];
    if (s.maskShown && !box.maskUpload(window).empty())
        c.mask = box.maskUpload(window);
    else if (s.maskAssignment >= 1 && s.maskAssignment <= kMaskSlots)
        c.mask = box.maskSlot(s.maskAssignment - 1);
    if (s.patternColour != 0 && s.patternColour != 15) { // 15: "Transparent"
        c.grid = align::GridSpec{std::clamp(int(s.gridSpacing), 8, 120), 3};
        c.gridColour = s.patternColour & 7;
    }
    const auto& tables = box.userMapTables(window);
    if (box.showsUserMap(window) && tables) {
        c.sourceX.resize(kSourceTableEntries);
        c.sourceY.resize(kSourceTableEntries);
        for (std::size_t i = 0; i < std::size_t(kSourceTableEntries); ++i) {
            c.sourceX[i] = std::uint16_t(tables->x[2 * i] | tables->x[2 * i + 1] << 8);
            c.sourceY[i] = std::uint16_t(tables->y[2 * i] | tables->y[2 * i + 1] << 8);
        }
    } else if (s.controlPattern == 100) {
        // The 17x17 points as the tool's warp model interpolates them (the box's own spline).
        GridArray<OffsetPair> points{};
        for (std::size_t k = 0; k < kPointGrid; ++k)
            for (std::size_t j = 0; j < kPointGrid; ++j) {
                const std::size_t off = k * kPointGrid * 4 + j * 4;
                points[k][j] = {std::int16_t(s.pointOffsets[off] | s.pointOffsets[off + 1] << 8),
                    std::int16_t(s.pointOffsets[off + 2] | s.pointOffsets[off + 3] << 8)};
            }
        if (const auto t = align::TablesFromPointOffsets(frameWidth, frameHeight, points)) {
            c.sourceX = t->x;
            c.sourceY = t->y;
        }
    }
    std::copy(s.blend.begin(), s.blend.end(), c.blend.bytes.begin());
    return c;
}

PhotoServer::PhotoServer(BoxModel& box, Rig rig, QObject* parent)
    : QObject(parent)
    , m_box(box)
    , m_scene(std::move(rig))
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &PhotoServer::onNewConnection);
}

PhotoServer::~PhotoServer() = default;

bool PhotoServer::listen(const QHostAddress& address, quint16 port)
{
    return m_server->listen(address, port);
}

quint16 PhotoServer::port() const
{
    return m_server->serverPort();
}

QString PhotoServer::errorString() const
{
    return m_server->errorString();
}

void PhotoServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void PhotoServer::onReadyRead(QTcpSocket* socket)
{
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(64).trimmed();
        if (line == "PHOTO") {
            for (std::size_t w = 0; w < m_scene.content.size(); ++w) {
                const RigProjector& p = m_scene.rig().projectors[w];
                m_scene.content[w] = ContentOfBox(m_box, int(w), p.width, p.height);
            }
            socket->write(align::SimPhotoReply(m_scene.photo()));
        } else if (line == "CAMERA") {
            socket->write(align::SimCameraReply(m_scene.rig().camera.lens, m_scene.rig().marks()));
        } else {
            socket->write(align::SimErrorReply(QStringLiteral("unknown request; ask PHOTO or CAMERA")));
        }
    }
    // A line longer than any request: not a client of this service.
    if (socket->bytesAvailable() > 64)
        socket->abort();
}

void AddRigOptions(QCommandLineParser& p)
{
    p.addOption({QStringLiteral("rig"),
        QStringLiteral(
            "Simulate a wall of projectors and a camera from a rig file (JSON; see docs/alignment.md) and "
            "serve its photos on --photo-port."),
        QStringLiteral("RIG.json")});
    p.addOption({QStringLiteral("rig-random"),
        QStringLiteral(
            "Simulate a random rig drawn from SEED (overlaps 10-25 %, keystone up to 15 %, rotation up "
            "to 5 degrees, lens distortion up to 3 %)."),
        QStringLiteral("SEED")});
    p.addOption({QStringLiteral("rig-layout"),
        QStringLiteral("Rows x columns of the random rig: 1x2, 1x3, 2x2 or 1x4 (default 2x2)."),
        QStringLiteral("RxC"), QStringLiteral("2x2")});
    p.addOption({QStringLiteral("rig-camera"),
        QStringLiteral("Photo size of the random rig's camera (default 1920x1080)."), QStringLiteral("WxH"),
        QStringLiteral("1920x1080")});
    p.addOption({QStringLiteral("rig-save"), QStringLiteral("Write the rig in use to FILE (JSON)."),
        QStringLiteral("FILE")});
    p.addOption({QStringLiteral("photo-port"),
        QStringLiteral(
            "TCP port of the rig's photo service (default 0: a free one). It prints \"photos on "
            "HOST:PORT\"; the tool's camera sim://HOST:PORT asks it for photos: a line \"PHOTO\" is "
            "answered \"PHOTO W H\" and W x H grey bytes, \"CAMERA\" with the lens and the screen "
            "corners as JSON. The windows' source is black; the test grid has 3-pixel lines."),
        QStringLiteral("PORT"), QStringLiteral("0")});
}

namespace {

std::optional<Rig> RigFromOptions(const QCommandLineParser& p, QString& error)
{
    if (p.isSet(QStringLiteral("rig"))) {
        QFile f(p.value(QStringLiteral("rig")));
        if (!f.open(QIODevice::ReadOnly) || f.size() > 1 << 20) {
            error = QStringLiteral("cannot read the rig file %1").arg(f.fileName());
            return std::nullopt;
        }
        QString why;
        auto rig = ReadRigJson(f.readAll(), why);
        if (!rig)
            error = QStringLiteral("%1: %2").arg(f.fileName(), why);
        return rig;
    }
    bool ok = false;
    const auto seed = p.value(QStringLiteral("rig-random")).toULongLong(&ok, 0);
    const auto layout = align::ParseWallLayout(p.value(QStringLiteral("rig-layout")));
    static const QRegularExpression size(QStringLiteral("^(\\d{2,4})x(\\d{2,4})$"));
    const auto m = size.match(p.value(QStringLiteral("rig-camera")));
    if (!ok || !layout || !m.hasMatch() || m.captured(1).toInt() < 64 || m.captured(2).toInt() < 64) {
        error = QStringLiteral("bad value for --rig-random, --rig-layout or --rig-camera");
        return std::nullopt;
    }
    return RandomRig(seed, *layout, m.captured(1).toInt(), m.captured(2).toInt());
}

} // namespace

std::unique_ptr<PhotoServer> StartRigService(
    const QCommandLineParser& p, BoxModel& box, const QHostAddress& host, QString& error)
{
    if (!p.isSet(QStringLiteral("rig")) && !p.isSet(QStringLiteral("rig-random")))
        return nullptr;
    const auto rig = RigFromOptions(p, error);
    if (!rig)
        return nullptr;
    if (p.isSet(QStringLiteral("rig-save"))) {
        QSaveFile f(p.value(QStringLiteral("rig-save")));
        if (!f.open(QIODevice::WriteOnly) || f.write(WriteRigJson(*rig)) < 0 || !f.commit()) {
            error = QStringLiteral("cannot write %1").arg(f.fileName());
            return nullptr;
        }
    }
    bool ok = false;
    const int port = p.value(QStringLiteral("photo-port")).toInt(&ok);
    if (!ok || port < 0 || port > 65535) {
        error = QStringLiteral("bad value for --photo-port");
        return nullptr;
    }
    auto server = std::make_unique<PhotoServer>(box, *rig);
    if (!server->listen(host, quint16(port))) {
        error = QStringLiteral("cannot listen for photos on %1:%2: %3")
                    .arg(host.toString())
                    .arg(port)
                    .arg(server->errorString());
        return nullptr;
    }
    std::printf("photos on %s:%u\n", qPrintable(host.toString()), unsigned(server->port()));
    std::fflush(stdout);
    return server;
}

} // namespace trivel::sim
