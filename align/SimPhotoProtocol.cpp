#include "align/SimPhotoProtocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

#include <cmath>

namespace trivel::align {

namespace {

bool Number(const QJsonValue& v, double min, double max, double& out)
{
    if (!v.isDouble() || !std::isfinite(v.toDouble()) || v.toDouble() < min || v.toDouble() > max)
        return false;
    out = v.toDouble();
    return true;
}

bool Point(const QJsonValue& v, Vec2& out)
{
    const QJsonArray a = v.toArray();
    return a.size() == 2 && Number(a[0], -1e6, 1e6, out.x) && Number(a[1], -1e6, 1e6, out.y);
}

// "WORD a b\n" with whole numbers in range; the count of numbers given by the word.
bool HeaderNumbers(const QByteArray& line, int count, qsizetype max, QList<qsizetype>& out)
{
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != count + 1)
        return false;
    for (int i = 1; i <= count; ++i) {
        bool ok = false;
        const qlonglong v = parts[i].toLongLong(&ok);
        if (!ok || v < 1 || v > max)
            return false;
        out.append(qsizetype(v));
    }
    return true;
}

} // namespace

namespace {

QJsonArray MarksArray(const ScreenMarks& marks)
{
    QJsonArray m;
    for (std::size_t i = 0; i < 4; ++i)
        m.append(QJsonObject{{"camera", QJsonArray{marks.camera[i].x, marks.camera[i].y}},
            {"screen", QJsonArray{marks.screen[i].x, marks.screen[i].y}}});
    return m;
}

} // namespace

QByteArray MarksJson(const ScreenMarks& marks)
{
    return QJsonDocument(QJsonObject{{"marks", MarksArray(marks)}}).toJson();
}

QByteArray CameraJson(const LensModel& lens, const ScreenMarks& marks)
{
    const QJsonArray m = MarksArray(marks);
    const QJsonObject l{{"fx", lens.fx}, {"fy", lens.fy}, {"cx", lens.cx}, {"cy", lens.cy}, {"k1", lens.k1},
        {"k2", lens.k2}, {"p1", lens.p1}, {"p2", lens.p2}};
    return QJsonDocument(QJsonObject{{"lens", l}, {"marks", m}}).toJson(QJsonDocument::Compact);
}

bool ReadCameraJson(
    const QByteArray& json, std::optional<LensModel>& lens, std::optional<ScreenMarks>& marks, QString& error)
{
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (!doc.isObject()) {
        error = QStringLiteral("the camera description is not a JSON object");
        return false;
    }
    const QJsonObject root = doc.object();
    lens.reset();
    marks.reset();
    if (root.contains(QLatin1String("lens"))) {
        const QJsonObject l = root.value(QLatin1String("lens")).toObject();
        LensModel r;
        if (!Number(l.value("fx"), 1.0, 1e6, r.fx) || !Number(l.value("fy"), 1.0, 1e6, r.fy)
            || !Number(l.value("cx"), -1e5, 1e5, r.cx) || !Number(l.value("cy"), -1e5, 1e5, r.cy)
            || !Number(l.value("k1"), -1.0, 1.0, r.k1) || !Number(l.value("k2"), -1.0, 1.0, r.k2)
            || !Number(l.value("p1"), -0.1, 0.1, r.p1) || !Number(l.value("p2"), -0.1, 0.1, r.p2)
            || !r.valid()) {
            error = QStringLiteral("the camera's lens is incomplete or out of range");
            return false;
        }
        lens = r;
    }
    if (root.contains(QLatin1String("marks"))) {
        const QJsonArray m = root.value(QLatin1String("marks")).toArray();
        ScreenMarks s;
        if (m.size() != 4) {
            error = QStringLiteral("the camera description needs four marks");
            return false;
        }
        for (qsizetype i = 0; i < 4; ++i)
            if (!Point(m[i].toObject().value("camera"), s.camera[std::size_t(i)])
                || !Point(m[i].toObject().value("screen"), s.screen[std::size_t(i)])) {
                error = QStringLiteral("mark %1 of the camera description is not two points").arg(i + 1);
                return false;
            }
        marks = s;
    }
    return true;
}

qsizetype ParseSimReply(const QByteArray& data, SimReply& out, QString& error)
{
    const qsizetype eol = data.indexOf('\n');
    if (eol < 0) {
        if (data.size() > kSimHeaderMax) {
            error = QStringLiteral("the photo service sent a header line that does not end");
            return -1;
        }
        return 0;
    }
    if (eol > kSimHeaderMax) {
        error = QStringLiteral("the photo service sent an overlong header line");
        return -1;
    }
    const QByteArray line = data.left(eol);
    QList<qsizetype> n;
    if (line.startsWith("ERROR ")) {
        out = {};
        out.kind = SimReply::Kind::Error;
        out.text = QString::fromUtf8(line.mid(6));
        return eol + 1;
    }
    if (line.startsWith("PHOTO ") && HeaderNumbers(line, 2, kSimPhotoMaxSide, n)) {
        const qsizetype body = n[0] * n[1];
        if (data.size() - eol - 1 < body)
            return 0;
        out = {};
        out.kind = SimReply::Kind::Photo;
        out.photo = Photo(int(n[0]), int(n[1]));
        const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData()) + eol + 1;
        for (qsizetype i = 0; i < body; ++i)
            out.photo.pixels[std::size_t(i)] = float(bytes[i]);
        return eol + 1 + body;
    }
    if (line.startsWith("CAMERA ") && HeaderNumbers(line, 1, kSimCameraMaxJson, n)) {
        if (data.size() - eol - 1 < n[0])
            return 0;
        out = {};
        out.kind = SimReply::Kind::Camera;
        if (!ReadCameraJson(data.mid(eol + 1, n[0]), out.lens, out.marks, error))
            return -1;
        if (!out.lens || !out.marks) {
            error = QStringLiteral("the photo service described no lens or no marks");
            return -1;
        }
        return eol + 1 + n[0];
    }
    error = QStringLiteral("the photo service sent something that is not a reply");
    return -1;
}

QByteArray SimPhotoReply(const Photo& photo)
{
    QByteArray out = QByteArrayLiteral("PHOTO ") + QByteArray::number(photo.width) + ' '
        + QByteArray::number(photo.height) + '\n';
    const qsizetype head = out.size();
    out.resize(head + qsizetype(photo.pixels.size()));
    for (std::size_t i = 0; i < photo.pixels.size(); ++i)
        out[head + qsizetype(i)] = char(std::lround(std::clamp(photo.pixels[i], 0.0f, 255.0f)));
    return out;
}

QByteArray SimCameraReply(const LensModel& lens, const ScreenMarks& marks)
{
    const QByteArray json = CameraJson(lens, marks);
    return QByteArrayLiteral("CAMERA ") + QByteArray::number(json.size()) + '\n' + json;
}

QByteArray SimErrorReply(const QString& text)
{
    QByteArray t = text.toUtf8();
    t.replace('\n', ' ');
    return QByteArrayLiteral("ERROR ") + t.left(kSimHeaderMax - 8) + '\n';
}

} // namespace trivel::align
