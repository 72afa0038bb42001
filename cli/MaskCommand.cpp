#include "cli/MaskCommand.h"

#include "mask/MaskImage.h"

#include <QFile>
#include <QImageWriter>
#include <QSaveFile>

namespace trivel {

namespace {

constexpr int kUsageError = 2;
constexpr int kFailure = 1;

const char* const kUsage
    = "usage: trivelctl mask encode IN.bmp OUT.mask [--limit 32768|237568]\n"
      "       trivelctl mask decode IN.mask OUT.png\n"
      "\n"
      "encode  converts a 1-bit or 8-bit BMP (at most 2400 x 1200) into a mask stream as the\n"
      "        Digi Mapping page does and prints its size line. --limit is the box's largest mono\n"
      "        stream in bytes (default 32768, which every box takes); colour masks are limited to\n"
      "        2097152 bytes.\n"
      "decode  draws a stream as a box slot holds it (header included) into a PNG: mono masks in\n"
      "        the header's mask colour on black (white when the colour is unset, swapped by the\n"
      "        reverse flag), colour masks with their palette. A stream whose size field is 0 is\n"
      "        decoded to its end.\n";

bool ReadWholeFile(const QString& path, QByteArray& data, const char* verb, QTextStream& err)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "trivelctl mask " << verb << ": cannot read " << path << ": " << file.errorString() << "\n";
        return false;
    }
    data = file.readAll();
    return true;
}

bool OpenOutput(QSaveFile& file, const char* verb, QTextStream& err)
{
    if (file.open(QIODevice::WriteOnly))
        return true;
    err << "trivelctl mask " << verb << ": cannot write " << file.fileName() << ": " << file.errorString()
        << "\n";
    return false;
}

bool Commit(QSaveFile& file, const char* verb, QTextStream& err)
{
    if (file.commit())
        return true;
    err << "trivelctl mask " << verb << ": cannot write " << file.fileName() << ": " << file.errorString()
        << "\n";
    return false;
}

int Encode(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QStringList paths;
    std::size_t limit = kMonoMaskLimitSmall;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString a = args.at(i);
        if (a == QLatin1String("--limit") || a.startsWith(QLatin1String("--limit="))) {
            QString value;
            if (a.contains(QLatin1Char('=')))
                value = a.mid(a.indexOf(QLatin1Char('=')) + 1);
            else if (i + 1 < args.size())
                value = args.at(++i);
            if (value == QLatin1String("32768"))
                limit = kMonoMaskLimitSmall;
            else if (value == QLatin1String("237568"))
                limit = kMonoMaskLimitLarge;
            else {
                err << "trivelctl mask encode: --limit is 32768 or 237568, not \"" << value << "\"\n"
                    << kUsage;
                return kUsageError;
            }
        } else if (a.startsWith(QLatin1Char('-'))) {
            err << "trivelctl mask encode: unknown option \"" << a << "\"\n" << kUsage;
            return kUsageError;
        } else {
            paths << a;
        }
    }
    if (paths.size() != 2) {
        err << "trivelctl mask encode: give IN.bmp and OUT.mask\n" << kUsage;
        return kUsageError;
    }

    QByteArray bmp;
    if (!ReadWholeFile(paths[0], bmp, "encode", err))
        return kFailure;
    MaskBytes stream;
    int kind = 0;
    const MaskLoadResult r = LoadMaskImage(bmp, limit, stream, kind);
    if (r.status != MaskLoadStatus::Ok) {
        err << "trivelctl mask encode: " << paths[0] << ": " << r.message << "\n";
        return kFailure;
    }
    QSaveFile file(paths[1]);
    if (!OpenOutput(file, "encode", err))
        return kFailure;
    if (file.write(reinterpret_cast<const char*>(stream.data()), qint64(stream.size()))
        != qint64(stream.size()))
        file.cancelWriting();
    if (!Commit(file, "encode", err))
        return kFailure;
    out << r.info << "\n";
    return 0;
}

int Decode(const QStringList& args, QTextStream& out, QTextStream& err)
{
    for (const QString& a : args) {
        if (a.startsWith(QLatin1Char('-'))) {
            err << "trivelctl mask decode: unknown option \"" << a << "\"\n" << kUsage;
            return kUsageError;
        }
    }
    if (args.size() != 2) {
        err << "trivelctl mask decode: give IN.mask and OUT.png\n" << kUsage;
        return kUsageError;
    }
    QByteArray bytes;
    if (!ReadWholeFile(args[0], bytes, "decode", err))
        return kFailure;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const std::size_t size = std::size_t(bytes.size());

    MaskHeader header;
    ReadMaskHeader(data, size, header);
    const bool colour = header.holdsMask() && header.isColour();
    QImage image;
    if (colour) {
        const MaskDecodeResult r = RenderColourMask(data, size);
        if (!r.ok) {
            err << "trivelctl mask decode: " << args[0] << ": the colour mask's header gives no picture\n";
            return kFailure;
        }
        image = MaskPictureImage(r.picture);
    } else {
        const MaskDecodeResult r = DecodeMonoMask(
            data, size, header.size != 0 ? MaskBodyLength::SizeField : MaskBodyLength::StreamLength);
        if (!r.ok) {
            err << "trivelctl mask decode: " << args[0] << ": " << r.message << "\n";
            return kFailure;
        }
        image = MaskPictureImage(r.picture, MonoPreviewPalette(header));
    }

    QSaveFile file(args[1]);
    if (!OpenOutput(file, "decode", err))
        return kFailure;
    QImageWriter writer(&file, "png");
    if (!writer.write(image)) {
        err << "trivelctl mask decode: cannot write " << args[1] << ": " << writer.errorString() << "\n";
        file.cancelWriting();
        return kFailure;
    }
    if (!Commit(file, "decode", err))
        return kFailure;
    out << "wrote " << args[1] << " (" << (colour ? "colour" : "mono") << " mask, " << image.width() << " x "
        << image.height() << ")\n";
    return 0;
}

} // namespace

int RunMaskCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        out << kUsage;
        return 0;
    }
    if (args.isEmpty()) {
        err << "trivelctl mask: give encode or decode\n" << kUsage;
        return kUsageError;
    }
    if (args.at(0) == QLatin1String("encode"))
        return Encode(args.mid(1), out, err);
    if (args.at(0) == QLatin1String("decode"))
        return Decode(args.mid(1), out, err);
    err << "trivelctl mask: unknown command \"" << args.at(0) << "\"\n" << kUsage;
    return kUsageError;
}

} // namespace trivel
