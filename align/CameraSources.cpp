#include "align/CameraSources.h"

#include "align/SimPhotoProtocol.h"
#include "link/Clock.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QRegularExpression>
#include <QTcpSocket>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace trivel::align {

namespace {

Photo PhotoFromGrey(const cv::Mat& grey)
{
    Photo p(grey.cols, grey.rows);
    for (int y = 0; y < grey.rows; ++y) {
        const auto* row = grey.ptr<std::uint8_t>(y);
        for (int x = 0; x < grey.cols; ++x)
            p.at(x, y) = float(row[x]);
    }
    return p;
}

} // namespace

struct VideoCaptureCamera::Impl {
    cv::VideoCapture capture;
};

VideoCaptureCamera::VideoCaptureCamera(QString device, Settings settings)
    : m_device(std::move(device))
    , m_settings(settings)
    , m_impl(std::make_unique<Impl>())
{
}

VideoCaptureCamera::~VideoCaptureCamera() = default;

bool VideoCaptureCamera::open(QString& error)
{
    bool number = false;
    const int index = m_device.toInt(&number);
    try {
        // A camera on this machine goes through V4L2 alone: the other backends probe every USB
        // device and GStreamer pipeline first. A file or URL may use any backend.
        const bool local = number || m_device.startsWith(QLatin1String("/dev/"));
        const int api = local ? cv::CAP_V4L2 : cv::CAP_ANY;
        const bool opened
            = number ? m_impl->capture.open(index, api) : m_impl->capture.open(m_device.toStdString(), api);
        if (!opened || !m_impl->capture.isOpened()) {
            error = QStringLiteral("no camera at %1").arg(m_device);
            return false;
        }
        if (m_settings.width > 0 && m_settings.height > 0) {
            m_impl->capture.set(cv::CAP_PROP_FRAME_WIDTH, m_settings.width);
            m_impl->capture.set(cv::CAP_PROP_FRAME_HEIGHT, m_settings.height);
        }
        // A fixed exposure: the patterns are compared with each other, so it must not drift.
        if (m_settings.exposure != 0.0) {
            m_impl->capture.set(cv::CAP_PROP_AUTO_EXPOSURE, 0.25); // V4L2's "manual"
            m_impl->capture.set(cv::CAP_PROP_EXPOSURE, m_settings.exposure);
        }
    } catch (const cv::Exception& e) {
        error = QStringLiteral("the camera at %1 failed: %2").arg(m_device, QString::fromStdString(e.msg));
        return false;
    }
    return true;
}

std::optional<Photo> VideoCaptureCamera::grab(QString& error)
{
    cv::Mat frame, grey;
    try {
        for (int i = 0; i < m_settings.dropFrames; ++i)
            m_impl->capture.grab();
        if (!m_impl->capture.read(frame) || frame.empty()) {
            error = QStringLiteral("the camera at %1 gave no frame").arg(m_device);
            return std::nullopt;
        }
        if (frame.channels() == 3)
            cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
        else if (frame.channels() == 4)
            cv::cvtColor(frame, grey, cv::COLOR_BGRA2GRAY);
        else
            grey = frame;
        if (grey.depth() != CV_8U)
            grey.convertTo(grey, CV_8U);
    } catch (const cv::Exception& e) {
        error = QStringLiteral("the camera at %1 failed: %2").arg(m_device, QString::fromStdString(e.msg));
        return std::nullopt;
    }
    return PhotoFromGrey(grey);
}

QString VideoCaptureCamera::describe() const
{
    return QStringLiteral("camera %1").arg(m_device);
}

PhotoFolderCamera::PhotoFolderCamera(QString folder, Clock& clock, int waitMs, int pollMs)
    : m_folder(std::move(folder))
    , m_clock(clock)
    , m_waitMs(waitMs)
    , m_pollMs(std::max(1, pollMs))
{
}

bool PhotoFolderCamera::open(QString& error)
{
    if (!QDir(m_folder).exists()) {
        error = QStringLiteral("%1 is not a folder").arg(m_folder);
        return false;
    }
    m_taken = 0;
    QFile description(QDir(m_folder).filePath(QStringLiteral("camera.json")));
    if (description.exists()) {
        if (description.size() > kSimCameraMaxJson || !description.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("%1 cannot be read, or is too large").arg(description.fileName());
            return false;
        }
        QString why;
        if (!ReadCameraJson(description.readAll(), m_lens, m_marks, why)) {
            error = QStringLiteral("%1: %2").arg(description.fileName(), why);
            return false;
        }
    }
    return true;
}

std::optional<Photo> PhotoFolderCamera::grab(QString& error)
{
    static const QStringList kinds{QStringLiteral("*.png"), QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"),
        QStringLiteral("*.tif"), QStringLiteral("*.tiff"), QStringLiteral("*.bmp"), QStringLiteral("*.pgm"),
        QStringLiteral("*.PNG"), QStringLiteral("*.JPG"), QStringLiteral("*.JPEG")};
    QStringList files;
    for (int waited = 0;; waited += m_pollMs) {
        files = QDir(m_folder).entryList(kinds, QDir::Files, QDir::Name);
        if (files.size() > m_taken || waited >= m_waitMs)
            break;
        m_clock.sleepMs(m_pollMs);
    }
    if (files.size() <= m_taken) {
        error = QStringLiteral("photo %1 did not appear in %2").arg(m_taken + 1).arg(m_folder);
        return std::nullopt;
    }
    const QString path = QDir(m_folder).filePath(files[m_taken]);
    QImageReader reader(path);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxPhotoSide || size.height() > kMaxPhotoSide) {
        error = QStringLiteral("%1 is not a photo this tool reads, or is larger than %2 pixels a side")
                    .arg(path)
                    .arg(kMaxPhotoSide);
        return std::nullopt;
    }
    const QImage image = reader.read().convertToFormat(QImage::Format_Grayscale8);
    if (image.isNull()) {
        error = QStringLiteral("%1 cannot be read: %2").arg(path, reader.errorString());
        return std::nullopt;
    }
    ++m_taken;
    Photo p(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            p.at(x, y) = float(row[x]);
    }
    return p;
}

QString PhotoFolderCamera::describe() const
{
    return QStringLiteral("the photos in %1").arg(m_folder);
}

struct SimCamera::Impl {
    QTcpSocket socket;
    QByteArray pending;
};

SimCamera::SimCamera(QString host, quint16 port, int timeoutMs)
    : m_host(std::move(host))
    , m_port(port)
    , m_timeoutMs(timeoutMs)
{
}

SimCamera::~SimCamera() = default;

namespace {

// One request and its whole reply, on a socket used without an event loop.
bool Ask(QTcpSocket& socket, QByteArray& pending, const QByteArray& request, int timeoutMs, SimReply& reply,
    QString& error)
{
    socket.write(request);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        error = QStringLiteral("the photo service did not take the request: %1").arg(socket.errorString());
        return false;
    }
    for (;;) {
        const qsizetype used = ParseSimReply(pending, reply, error);
        if (used < 0)
            return false;
        if (used > 0) {
            pending.remove(0, used);
            if (reply.kind == SimReply::Kind::Error) {
                error = QStringLiteral("the photo service says: %1").arg(reply.text);
                return false;
            }
            return true;
        }
        if (!socket.waitForReadyRead(timeoutMs)) {
            error = QStringLiteral("the photo service did not answer: %1").arg(socket.errorString());
            return false;
        }
        pending += socket.readAll();
    }
}

} // namespace

bool SimCamera::open(QString& error)
{
    m_impl = std::make_unique<Impl>();
    m_impl->socket.connectToHost(m_host, m_port);
    if (!m_impl->socket.waitForConnected(m_timeoutMs)) {
        error = QStringLiteral("no photo service at %1:%2: %3")
                    .arg(m_host)
                    .arg(m_port)
                    .arg(m_impl->socket.errorString());
        return false;
    }
    SimReply reply;
    if (!Ask(m_impl->socket, m_impl->pending, "CAMERA\n", m_timeoutMs, reply, error))
        return false;
    if (reply.kind != SimReply::Kind::Camera) {
        error = QStringLiteral("the photo service answered a camera request with a photo");
        return false;
    }
    m_lens = reply.lens;
    m_marks = reply.marks;
    return true;
}

std::optional<Photo> SimCamera::grab(QString& error)
{
    if (!m_impl) {
        error = QStringLiteral("the photo service is not connected");
        return std::nullopt;
    }
    SimReply reply;
    if (!Ask(m_impl->socket, m_impl->pending, "PHOTO\n", m_timeoutMs, reply, error))
        return std::nullopt;
    if (reply.kind != SimReply::Kind::Photo) {
        error = QStringLiteral("the photo service answered a photo request with something else");
        return std::nullopt;
    }
    return std::move(reply.photo);
}

QString SimCamera::describe() const
{
    return QStringLiteral("sim://%1:%2").arg(m_host).arg(m_port);
}

std::unique_ptr<CameraSource> MakeCameraSource(const QString& spec, Clock& clock, QString& error)
{
    if (spec.startsWith(QLatin1String("sim://"))) {
        static const QRegularExpression re(QStringLiteral("^sim://([^:/]+):(\\d{1,5})$"));
        const auto m = re.match(spec);
        const int port = m.hasMatch() ? m.captured(2).toInt() : 0;
        if (!m.hasMatch() || port < 1 || port > 65535) {
            error = QStringLiteral("%1 is not sim://HOST:PORT").arg(spec);
            return nullptr;
        }
        return std::make_unique<SimCamera>(m.captured(1), quint16(port));
    }
    if (QDir(spec).exists())
        return std::make_unique<PhotoFolderCamera>(spec, clock);
    return std::make_unique<VideoCaptureCamera>(spec);
}

} // namespace trivel::align
