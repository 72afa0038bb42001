// Mask bytes from outside: a stream as a slot or a file holds it (both decoders, by the size field
// and by the real length), and a BMP file as the user picks it.

#include "mask/MaskCodec.h"
#include "mask/MaskImage.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

using namespace trivel;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    DecodeMonoMask(data, size, MaskBodyLength::SizeField);
    DecodeMonoMask(data, size, MaskBodyLength::StreamLength);
    RenderColourMask(data, size);
    MaskBytes stream;
    int kind = 0;
    LoadMaskImage(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), 237568, stream, kind);
    return 0;
}
