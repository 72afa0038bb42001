#pragma once
// The setting files of one box as the Load Setting button, the command line and trivelctl use
// them: a load that, with a box connected, sends what it read (files/SettingTransfer.h).

#include "files/SettingFile.h"
#include "link/Operation.h"

namespace trivel {

class Box;
class Session;

class SettingFiles {
public:
    explicit SettingFiles(Box& box);

    Session& session() const;

    // Load Setting once the dialog has given a name (empty: cancelled). Nothing while a transfer
    // runs. A refused file shows its message; a loaded one has replaced the caches and refreshed
    // the pages, and with a box connected its transfer has started (transferring()).
    SettingFileOutcome loadAndTransfer(const QString& path);
    // Sends the caches as they stand (see TransferSettings).
    Operation<void> transfer(bool wholeBox);
    // The transfer started last; a whole-box one ends with its read-back.
    const Operation<void>& transferring() const { return m_transfer; }
    // A transfer is under way.
    bool busy() const;

private:
    Box& m_box;
    Operation<void> m_transfer;
};

} // namespace trivel
