// Rig files for trivel-boxsim --rig: any bytes as JSON; a rig that is accepted is written back,
// its screen marked and photographed by a tiny camera, so its numbers must be safe to render.

#include "sim/rig/RigScene.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

using namespace trivel;
using namespace trivel::sim;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QString error;
    auto rig = ReadRigJson(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), error);
    if (!rig)
        return 0;
    WriteRigJson(*rig);
    rig->marks();
    // The same wall through a camera of a few pixels: the maps are built over the whole view.
    rig->camera.width = std::min(rig->camera.width, 24);
    rig->camera.height = std::min(rig->camera.height, 16);
    rig->camera.supersample = 1;
    RigScene scene(*rig);
    scene.photo();
    return 0;
}
