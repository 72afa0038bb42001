#pragma once
// mpcdi.xml: the description inside an .mpcdi archive, as plain data, read and written through
// Qt's XML stream classes. Only the parts of the 2d profile the tool uses are kept; names are
// matched without regard to case, as writers differ ("fileset" and "fileSet", "xResolution").

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace trivel {

struct MpcdiRegion {
    QString id;
    // Where the region lies in its buffer, in parts of the buffer (0..1).
    double x = 0.0;
    double y = 0.0;
    double xsize = 1.0;
    double ysize = 1.0;
    // The projector's pixels.
    int xResolution = 0;
    int yResolution = 0;
    QStringList notes; // from the tool's extension; free text
};

struct MpcdiBuffer {
    QString id;
    int xResolution = 0;
    int yResolution = 0;
    std::vector<MpcdiRegion> regions;
};

struct MpcdiWarpFile {
    QString path; // empty: the fileset names none
    QString interpolation = QStringLiteral("linear");
};

struct MpcdiDataMap {
    QString path; // empty: the fileset names none
    int componentDepth = 1; // 1 grey, 3 RGB
    int bitDepth = 8;
    double gammaEmbedded = 1.0; // alpha maps only
};

struct MpcdiFileSet {
    QString region;
    MpcdiWarpFile warp;
    MpcdiDataMap alpha;
    MpcdiDataMap beta;
};

struct MpcdiDocument {
    QString profile = QStringLiteral("2d");
    int geometryLevel = 2;
    int colorLevel = 2;
    QString date; // "yyyy-MM-dd HH:mm:ss"
    QString version = QStringLiteral("2.0");
    std::vector<MpcdiBuffer> buffers;
    std::vector<MpcdiFileSet> fileSets;

    const MpcdiRegion* region(const QString& id, const MpcdiBuffer** buffer = nullptr) const;
    const MpcdiFileSet* fileSet(const QString& regionId) const;
    QStringList regionIds() const;
};

// Reads the document; a well-formed file missing optional parts keeps the defaults above. On
// malformed XML or a missing MPCDI root returns nothing and puts the reason into *error.
std::optional<MpcdiDocument> ReadMpcdiXml(const QByteArray& xml, QString* error);

QByteArray WriteMpcdiXml(const MpcdiDocument& doc);

} // namespace trivel
