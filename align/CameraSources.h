#pragma once
// Where the photos come from: a camera through OpenCV's video capture, a folder of photos taken
// by hand (a DSLR, tethered or not), or the simulated box's photo service.

#include "align/AlignPorts.h"

#include <QString>

#include <memory>

namespace trivel {
class Clock;
}

namespace trivel::align {

// A device number ("0") or a device path or URL, as OpenCV's VideoCapture opens it. Frames are
// taken grey; a few buffered ones are dropped before each photo, so it shows the wall as it is now.
struct VideoCaptureSettings {
    double exposure = 0.0; // the device's manual exposure value; 0 leaves the device's setting
    int width = 0; // 0: the device's size
    int height = 0;
    int dropFrames = 3; // buffered frames dropped before a photo
};

class VideoCaptureCamera : public CameraSource {
public:
    using Settings = VideoCaptureSettings;
    explicit VideoCaptureCamera(QString device, Settings settings = {});
    ~VideoCaptureCamera() override;
    bool open(QString& error) override;
    std::optional<Photo> grab(QString& error) override;
    QString describe() const override;

private:
    struct Impl;
    QString m_device;
    Settings m_settings;
    std::unique_ptr<Impl> m_impl;
};

// The photos of a folder, one per pattern in the order of their names. A photo not there yet is
// waited for (the photographer is at work), up to waitMs, looking every pollMs. A camera.json in
// the folder (SimPhotoProtocol.h) gives the lens and the screen corners marked on the photos.
class PhotoFolderCamera : public CameraSource {
public:
    PhotoFolderCamera(QString folder, Clock& clock, int waitMs = 120000, int pollMs = 500);
    bool open(QString& error) override;
    std::optional<Photo> grab(QString& error) override;
    bool stillCamera() const override { return true; }
    std::optional<LensModel> lens() const override { return m_lens; }
    std::optional<ScreenMarks> marks() const override { return m_marks; }
    QString describe() const override;

private:
    QString m_folder;
    Clock& m_clock;
    int m_waitMs;
    int m_pollMs;
    int m_taken = 0;
    std::optional<LensModel> m_lens; // from the folder's camera.json, when there is one
    std::optional<ScreenMarks> m_marks;
};

// sim://HOST:PORT: the photo service of trivel-boxsim --rig.
class SimCamera : public CameraSource {
public:
    SimCamera(QString host, quint16 port, int timeoutMs = 20000);
    ~SimCamera() override;
    bool open(QString& error) override;
    std::optional<Photo> grab(QString& error) override;
    std::optional<LensModel> lens() const override { return m_lens; }
    std::optional<ScreenMarks> marks() const override { return m_marks; }
    QString describe() const override;

private:
    struct Impl;
    QString m_host;
    quint16 m_port;
    int m_timeoutMs;
    std::unique_ptr<Impl> m_impl;
    std::optional<LensModel> m_lens;
    std::optional<ScreenMarks> m_marks;
};

// From what the user typed: sim://HOST:PORT, an existing folder, or a capture device. Nothing,
// with the reason, for a sim address that does not parse.
std::unique_ptr<CameraSource> MakeCameraSource(const QString& spec, Clock& clock, QString& error);

// The largest photo a folder may hold (each side), so a huge file cannot exhaust memory.
inline constexpr int kMaxPhotoSide = 12000;

} // namespace trivel::align
