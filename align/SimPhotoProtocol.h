#pragma once
// The simulated box's photo service (trivel-boxsim --rig): a TCP port beside the box's own, where
// a text request is answered by a header line and a body.
//   "PHOTO\n"  -> "PHOTO <width> <height>\n" and width x height grey bytes, rows from the top
//   "CAMERA\n" -> "CAMERA <length>\n" and that many bytes of JSON: the lens and the screen corners
//                 the simulated user marks ({"lens": {"fx": .., ..}, "marks": [{"camera": [x, y],
//                 "screen": [x, y]}, x4]})
//   anything else, or a failure -> "ERROR <text>\n"
// The reader takes any bytes: sizes are bounded and every field is checked.

#include "align/AlignTypes.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace trivel::align {

inline constexpr int kSimPhotoMaxSide = 8192;
inline constexpr qsizetype kSimCameraMaxJson = 65536;
inline constexpr qsizetype kSimHeaderMax = 128;

struct SimReply {
    enum class Kind { Photo, Camera, Error };
    Kind kind = Kind::Error;
    Photo photo;
    std::optional<LensModel> lens;
    std::optional<ScreenMarks> marks;
    QString text; // the error's text
};

// How many bytes at the start of `data` make one whole reply: 0 while more are needed, -1 when
// the bytes are not a reply (why in error). On a whole reply, out holds it.
qsizetype ParseSimReply(const QByteArray& data, SimReply& out, QString& error);

QByteArray SimPhotoReply(const Photo& photo); // levels rounded to bytes
QByteArray SimCameraReply(const LensModel& lens, const ScreenMarks& marks);
QByteArray SimErrorReply(const QString& text);

// A camera described in JSON: {"lens": {"fx", "fy", "cx", "cy", "k1", "k2", "p1", "p2"}, "marks":
// [{"camera": [x, y], "screen": [x, y]} x4]}, each part optional; a part that is there must be
// whole and in range. A folder of photos may carry one as camera.json.
QByteArray CameraJson(const LensModel& lens, const ScreenMarks& marks);
// The marks alone, as camera.json holds them (ReadCameraJson takes it, without a lens).
QByteArray MarksJson(const ScreenMarks& marks);
bool ReadCameraJson(const QByteArray& json, std::optional<LensModel>& lens, std::optional<ScreenMarks>& marks,
    QString& error);

} // namespace trivel::align
