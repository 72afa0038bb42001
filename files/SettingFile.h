#pragma once
// Whole-box (.WBF) and single-window setting files: writing the caches, reading them back.
//
// The state the formats need beyond the caches lives in the session: CBSaveAll is
// Session::SaveAllMasks, the sizes read from a file are Session::FileInputSize and
// FilePipSourceSize, and a load sets Session::TransferWindow and MaskState::SlotCounter for the
// transfer that follows it.

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

struct SettingFileOutcome {
    bool ok = false;
    QString message; // the user-facing text when !ok
    bool wholeBox = false; // which layout was read or written
    // After a load: whether the transfer starts with the mask phase (StartMaskTransfer) rather
    // than with the window settings (StartWindowTransfer).
    bool maskTransfer = false;
};

// The extension exactly ".WBF" selects the whole-box layout; every other name (".wbf" too) the
// single-window one.
bool IsWholeBoxName(const QString& path);

// Reads a setting file into s's caches, all or nothing: the file is parsed against a copy of
// the caches, which replaces them only when the whole file has been read; on failure s is
// unchanged. Refreshes the pages, sets the model-116 rules, bit 0x4000, the slot copies, the
// transfer window and slot counter, and while connected ProgressBar2 and UpdateStep for the
// transfer; starts no transfer and shows no dialog.
SettingFileOutcome LoadSettingFile(Session& s, const QString& path);
// Same from bytes already in memory.
SettingFileOutcome LoadSettingBytes(Session& s, const QByteArray& bytes, bool wholeBoxByName);

// The bytes SaveSettingFile writes: the whole-box layout, or the single-window layout of
// s.CurrentWindow.
QByteArray SettingFileBytes(const Session& s, bool wholeBox);
// Writes s's caches in the layout the name selects. Atomic: a failed write leaves the old file.
SettingFileOutcome SaveSettingFile(Session& s, const QString& path);

} // namespace trivel
