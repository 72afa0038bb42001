#pragma once
// Setting files on disk: which kind a file is, the name a save writes to, reading only regular
// files, and writing so that an earlier file is replaced only by a complete new one.

#include <QByteArray>
#include <QString>

namespace trivel {

enum class SettingFileKind { Unknown, WholeBox, SingleWindow };

// From the file's own first bytes ("WPM" or "SBF"), whatever its name.
SettingFileKind SettingFileKindOf(const QByteArray& head);
// "whole-box" or "single-window" ("unknown" for neither).
QString SettingFileKindName(SettingFileKind kind);

struct SaveTarget {
    QString path; // the name given, or with the extension of the chosen kind added
    bool wholeBox = false;
    bool extensionGiven = false; // the name ended in .wbf or .sbf (any case)
};
// A name ending in .wbf or .sbf in any case says the kind; any other name gets ".WBF" or ".SBF"
// from the kind the user chose (the dialog's filter, trivelctl's --window).
SaveTarget ResolveSaveName(const QString& name, bool wholeBoxChosen);

// Reads a whole file of at most `limit` bytes. Refuses what is not a regular file (a named pipe
// would block the read for ever) with a message saying what it is.
bool ReadRegularFile(const QString& path, qint64 limit, QByteArray& bytes, QString& error);

// Writes a temporary file beside path and renames it over path once every byte is on disk. On
// any failure the temporary file is removed, an earlier file stays as it was, and error holds
// the system's reason ("No space left on device", "File too large").
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error);

} // namespace trivel
