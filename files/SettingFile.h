#pragma once
// Whole-box (.WBF) and single-window setting files: writing the caches, reading them back.
//
// The state the formats need beyond the caches lives in the session: CBSaveAll is
// Session::SaveAllMasks, the sizes read from a file are Session::FileInputSize and
// FilePipSourceSize, and a load sets Session::TransferWindow and TransferState::MaskSlot for the
// transfer that follows it.

#include "files/SettingFileIo.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace trivel {

class Session;

inline constexpr std::size_t kSettingFileHeaderBytes = 16;
inline constexpr std::uint8_t kSettingFileVersion = 11;
// A version-11 whole-box file without its mask section.
inline constexpr std::size_t kWholeBoxFileBytes = 11160;
inline constexpr std::size_t kSingleWindowRecordBytes = 2792;
// A whole-box file with every slot full is about 4.4 MiB; anything far larger is not one.
inline constexpr qint64 kLargestSettingFile = 16 * 1024 * 1024;

struct SettingFileOutcome {
    bool ok = false;
    QString message; // the user-facing text when !ok
    bool wholeBox = false; // which layout was read or written
    // After a save: what the file holds, for the confirmation ("whole-box file with windows 1 to 4
    // and mask slots 3 and 10").
    QString contents;
    // After a load: whether the transfer starts with the mask phase (StartMaskTransfer) rather
    // than with the window settings (StartWindowTransfer).
    bool maskTransfer = false;
};

// Reads a setting file into s's caches, all or nothing: the file is parsed against a copy of
// the caches, which replaces them only when the whole file has been read; on failure s is
// unchanged. The layout is the one the file's first bytes name, whatever its extension.
// Refreshes the pages, sets the model-116 rules, bit 0x4000, the slot copies, the transfer
// window and slot counter, and while connected ProgressBar2 and UpdateStep for the transfer;
// starts no transfer and shows no dialog. Only regular files are read.
SettingFileOutcome LoadSettingFile(Session& s, const QString& path);
// Same from bytes already in memory, in the layout their first bytes name.
SettingFileOutcome LoadSettingBytes(Session& s, const QByteArray& bytes);
// Same in a given layout: bytes of the other one are refused ("File is not correct!!").
SettingFileOutcome LoadSettingBytes(Session& s, const QByteArray& bytes, bool wholeBox);

// The bytes SaveSettingFile writes: the whole-box layout, or the single-window layout of
// s.CurrentWindow.
QByteArray SettingFileBytes(const Session& s, bool wholeBox);
// Writes s's caches to path in the layout asked for, whatever the name (ResolveSaveName gives
// the name). Atomic: a failed write leaves any earlier file as it was and no partial file.
SettingFileOutcome SaveSettingFile(Session& s, const QString& path, bool wholeBox);

} // namespace trivel
