#pragma once
// The Save Setting button without its dialog: the GUI asks for the name, trivelctl and tests
// pass it in. Load Setting is SettingFiles::loadAndTransfer (files/SettingFiles.h).

#include "files/SettingFile.h"

namespace trivel {

// TntButton1Click once SaveDlg has given a name (empty: cancelled, nothing happens) and the kind
// its filter chose. Nothing while a transfer runs. A name ending in .wbf or .sbf (any case)
// saves that kind; any other gets the chosen kind's extension, and when that names an existing
// file the user is asked before it is replaced. Says "File saved successfully." with what the
// file holds, or why the save failed.
void TntButton1Click(Session& s, const QString& path, bool wholeBoxChosen);

} // namespace trivel
