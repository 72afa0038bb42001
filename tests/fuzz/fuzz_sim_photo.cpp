// Replies of the simulated box's photo service (sim://) and camera.json files: any bytes, read as
// a stream of replies the way the camera reads its socket, and as a camera description.

#include "align/SimPhotoProtocol.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

using namespace trivel::align;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QByteArray pending;
    // Arriving in two pieces, as TCP may deliver them.
    for (const QByteArray& piece : {bytes.left(bytes.size() / 2), bytes.mid(bytes.size() / 2)}) {
        pending += piece;
        for (;;) {
            SimReply reply;
            QString error;
            const qsizetype used = ParseSimReply(pending, reply, error);
            if (used <= 0) {
                if (used < 0)
                    pending.clear();
                break;
            }
            pending.remove(0, used);
        }
    }
    std::optional<LensModel> lens;
    std::optional<ScreenMarks> marks;
    QString error;
    if (ReadCameraJson(bytes, lens, marks, error) && lens)
        lens->undistort(lens->distort({1.0, 2.0}));
    return 0;
}
