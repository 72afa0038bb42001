#include "interchange/MpcdiXml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace trivel {

namespace {

// The extension that carries each region's notes; other readers skip it.
constexpr auto kNotesExtension = "TrivelNotes";

bool Is(QStringView name, const char* want)
{
    return name.compare(QLatin1String(want), Qt::CaseInsensitive) == 0;
}

QString Attribute(const QXmlStreamReader& r, const char* name)
{
    for (const QXmlStreamAttribute& a : r.attributes())
        if (Is(a.name(), name))
            return a.value().toString();
    return {};
}

double Number(const QString& text, double fallback)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok ? v : fallback;
}

int Integer(const QString& text, int fallback)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : fallback;
}

// Either spelling of a resolution attribute ("xResolution", "Xresolution", "xresolution").
int Resolution(const QXmlStreamReader& r, char axis)
{
    const QByteArray name = QByteArray(1, axis) + "resolution";
    return Integer(Attribute(r, name.constData()), 0);
}

void ReadRegion(QXmlStreamReader& r, MpcdiBuffer& buffer)
{
    MpcdiRegion region;
    region.id = Attribute(r, "id");
    region.x = Number(Attribute(r, "x"), 0.0);
    region.y = Number(Attribute(r, "y"), 0.0);
    region.xsize = Number(Attribute(r, "xsize"), 1.0);
    region.ysize = Number(Attribute(r, "ysize"), 1.0);
    region.xResolution = Resolution(r, 'x');
    region.yResolution = Resolution(r, 'y');
    r.skipCurrentElement();
    buffer.regions.push_back(std::move(region));
}

void ReadDisplay(QXmlStreamReader& r, MpcdiDocument& doc)
{
    while (r.readNextStartElement()) {
        if (!Is(r.name(), "buffer")) {
            r.skipCurrentElement();
            continue;
        }
        MpcdiBuffer buffer;
        buffer.id = Attribute(r, "id");
        buffer.xResolution = Resolution(r, 'x');
        buffer.yResolution = Resolution(r, 'y');
        while (r.readNextStartElement()) {
            if (Is(r.name(), "region"))
                ReadRegion(r, buffer);
            else
                r.skipCurrentElement();
        }
        doc.buffers.push_back(std::move(buffer));
    }
}

void ReadDataMap(QXmlStreamReader& r, MpcdiDataMap& map)
{
    while (r.readNextStartElement()) {
        const QString text = r.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        if (Is(r.name(), "path"))
            map.path = text;
        else if (Is(r.name(), "componentDepth"))
            map.componentDepth = Integer(text, map.componentDepth);
        else if (Is(r.name(), "bitDepth"))
            map.bitDepth = Integer(text, map.bitDepth);
        else if (Is(r.name(), "gammaEmbedded"))
            map.gammaEmbedded = Number(text, map.gammaEmbedded);
    }
}

void ReadFileSet(QXmlStreamReader& r, MpcdiDocument& doc)
{
    MpcdiFileSet set;
    set.region = Attribute(r, "region");
    while (r.readNextStartElement()) {
        if (Is(r.name(), "geometryWarpFile")) {
            while (r.readNextStartElement()) {
                const QString text = r.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
                if (Is(r.name(), "path"))
                    set.warp.path = text;
                else if (Is(r.name(), "interpolation"))
                    set.warp.interpolation = text;
            }
        } else if (Is(r.name(), "alphaMap")) {
            ReadDataMap(r, set.alpha);
        } else if (Is(r.name(), "betaMap")) {
            ReadDataMap(r, set.beta);
        } else {
            r.skipCurrentElement();
        }
    }
    doc.fileSets.push_back(std::move(set));
}

void ReadNotes(QXmlStreamReader& r, MpcdiDocument& doc)
{
    while (r.readNextStartElement()) {
        if (!Is(r.name(), "extension") || !Is(Attribute(r, "name"), kNotesExtension)) {
            r.skipCurrentElement();
            continue;
        }
        while (r.readNextStartElement()) {
            const QString region = Attribute(r, "region");
            const QString text = r.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            for (MpcdiBuffer& b : doc.buffers)
                for (MpcdiRegion& g : b.regions)
                    if (g.id == region)
                        g.notes << text;
        }
    }
}

void ReadLevels(const QXmlStreamReader& r, MpcdiDocument& doc)
{
    doc.profile = Attribute(r, "profile");
    doc.version = Attribute(r, "version");
    doc.date = Attribute(r, "date");
    const QString level = Attribute(r, "level");
    if (!level.isEmpty()) {
        // Version 1.0: one level for both; 1 and 2 standard warp, 3 and 4 one point per pixel;
        // 2 and 4 with colour alpha and a beta map.
        const int l = Integer(level, 1);
        doc.geometryLevel = l >= 3 ? 2 : 1;
        doc.colorLevel = l % 2 == 0 ? 2 : 1;
    }
    doc.geometryLevel = Integer(Attribute(r, "geometry"), doc.geometryLevel);
    doc.colorLevel = Integer(Attribute(r, "color"), doc.colorLevel);
}

void WriteDataMap(QXmlStreamWriter& w, const char* element, const MpcdiDataMap& map, bool gamma)
{
    w.writeStartElement(QLatin1String(element));
    w.writeTextElement(QStringLiteral("path"), map.path);
    w.writeTextElement(QStringLiteral("componentDepth"), QString::number(map.componentDepth));
    w.writeTextElement(QStringLiteral("bitDepth"), QString::number(map.bitDepth));
    if (gamma)
        w.writeTextElement(QStringLiteral("gammaEmbedded"), QString::number(map.gammaEmbedded, 'f', 2));
    w.writeEndElement();
}

} // namespace

const MpcdiRegion* MpcdiDocument::region(const QString& id, const MpcdiBuffer** buffer) const
{
    for (const MpcdiBuffer& b : buffers)
        for (const MpcdiRegion& g : b.regions)
            if (g.id == id) {
                if (buffer)
                    *buffer = &b;
                return &g;
            }
    return nullptr;
}

const MpcdiFileSet* MpcdiDocument::fileSet(const QString& regionId) const
{
    for (const MpcdiFileSet& f : fileSets)
        if (f.region == regionId)
            return &f;
    return nullptr;
}

QStringList MpcdiDocument::regionIds() const
{
    QStringList ids;
    for (const MpcdiBuffer& b : buffers)
        for (const MpcdiRegion& g : b.regions)
            ids << g.id;
    return ids;
}

std::optional<MpcdiDocument> ReadMpcdiXml(const QByteArray& xml, QString* error)
{
    QXmlStreamReader r(xml);
    MpcdiDocument doc;
    doc.profile.clear();
    doc.version.clear();
    if (!r.readNextStartElement() || !Is(r.name(), "MPCDI")) {
        if (error)
            *error = r.hasError() ? QStringLiteral("mpcdi.xml is not well-formed XML: %1 (line %2).")
                                        .arg(r.errorString())
                                        .arg(r.lineNumber())
                                  : QStringLiteral("mpcdi.xml has no MPCDI root element.");
        return std::nullopt;
    }
    ReadLevels(r, doc);
    while (r.readNextStartElement()) {
        if (Is(r.name(), "display"))
            ReadDisplay(r, doc);
        else if (Is(r.name(), "files"))
            while (r.readNextStartElement())
                Is(r.name(), "fileset") ? ReadFileSet(r, doc) : r.skipCurrentElement();
        else if (Is(r.name(), "extensionSet"))
            ReadNotes(r, doc);
        else
            r.skipCurrentElement();
    }
    // Whatever follows the root must still be well-formed.
    while (!r.atEnd())
        r.readNext();
    if (r.hasError()) {
        if (error)
            *error = QStringLiteral("mpcdi.xml is not well-formed XML: %1 (line %2).")
                         .arg(r.errorString())
                         .arg(r.lineNumber());
        return std::nullopt;
    }
    return doc;
}

QByteArray WriteMpcdiXml(const MpcdiDocument& doc)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("MPCDI"));
    w.writeAttribute(QStringLiteral("profile"), doc.profile);
    w.writeAttribute(QStringLiteral("geometry"), QString::number(doc.geometryLevel));
    w.writeAttribute(QStringLiteral("color"), QString::number(doc.colorLevel));
    w.writeAttribute(QStringLiteral("date"), doc.date);
    w.writeAttribute(QStringLiteral("version"), doc.version);
    w.writeStartElement(QStringLiteral("display"));
    for (const MpcdiBuffer& b : doc.buffers) {
        w.writeStartElement(QStringLiteral("buffer"));
        w.writeAttribute(QStringLiteral("id"), b.id);
        w.writeAttribute(QStringLiteral("Xresolution"), QString::number(b.xResolution));
        w.writeAttribute(QStringLiteral("Yresolution"), QString::number(b.yResolution));
        for (const MpcdiRegion& g : b.regions) {
            w.writeEmptyElement(QStringLiteral("region"));
            w.writeAttribute(QStringLiteral("id"), g.id);
            w.writeAttribute(QStringLiteral("Xresolution"), QString::number(g.xResolution));
            w.writeAttribute(QStringLiteral("Yresolution"), QString::number(g.yResolution));
            w.writeAttribute(QStringLiteral("x"), QString::number(g.x));
            w.writeAttribute(QStringLiteral("y"), QString::number(g.y));
            w.writeAttribute(QStringLiteral("xsize"), QString::number(g.xsize));
            w.writeAttribute(QStringLiteral("ysize"), QString::number(g.ysize));
        }
        w.writeEndElement();
    }
    w.writeEndElement(); // display
    w.writeStartElement(QStringLiteral("files"));
    for (const MpcdiFileSet& f : doc.fileSets) {
        w.writeStartElement(QStringLiteral("fileset"));
        w.writeAttribute(QStringLiteral("region"), f.region);
        w.writeStartElement(QStringLiteral("geometryWarpFile"));
        w.writeTextElement(QStringLiteral("path"), f.warp.path);
        w.writeTextElement(QStringLiteral("interpolation"), f.warp.interpolation);
        w.writeEndElement();
        if (!f.alpha.path.isEmpty())
            WriteDataMap(w, "alphaMap", f.alpha, true);
        if (!f.beta.path.isEmpty())
            WriteDataMap(w, "betaMap", f.beta, false);
        w.writeEndElement();
    }
    w.writeEndElement(); // files
    w.writeStartElement(QStringLiteral("extensionSet"));
    w.writeStartElement(QStringLiteral("extension"));
    w.writeAttribute(QStringLiteral("name"), QLatin1String(kNotesExtension));
    w.writeAttribute(QStringLiteral("hasExternalFiles"), QStringLiteral("false"));
    for (const MpcdiBuffer& b : doc.buffers)
        for (const MpcdiRegion& g : b.regions)
            for (const QString& note : g.notes) {
                w.writeStartElement(QStringLiteral("note"));
                w.writeAttribute(QStringLiteral("region"), g.id);
                w.writeCharacters(note);
                w.writeEndElement();
            }
    w.writeEndElement();
    w.writeEndElement(); // extensionSet
    w.writeEndElement(); // MPCDI
    w.writeEndDocument();
    return out;
}

} // namespace trivel
