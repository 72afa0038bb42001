#pragma once
// The Save Setting and Load Setting buttons without their dialogs: the GUI asks for the name,
// trivelctl and tests pass it in.

#include "files/SettingFile.h"

namespace trivel {

// TntButton1Click once SaveDlg has given a name (empty: cancelled, nothing happens) and the kind
// its filter chose. Nothing while PendingOp is not 0. A name ending in .wbf or .sbf (any case)
// saves that kind; any other gets the chosen kind's extension, and when that names an existing
// file the user is asked before it is replaced. Says "File saved successfully." with what the
// file holds, or why the save failed.
void TntButton1Click(Session& s, const QString& path, bool wholeBoxChosen);

// TntButton2Click once OpenDlg has given a name (empty: cancelled). Nothing while PendingOp is
// not 0. A refused file shows its message; a loaded one has replaced the caches and refreshed
// the pages, and with a box connected its transfer (files/SettingTransfer.h) has started.
SettingFileOutcome TntButton2Click(Session& s, const QString& path);

} // namespace trivel
