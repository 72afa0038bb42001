#pragma once
// The Auto Align window wired to the box: its button under Export and Import, Ctrl+Shift+A, the
// setting file saved before sending (in the user's data folder) and Revert as Load Setting.

class QWidget;

namespace trivel {

class Box;

namespace align {
class AutoAlignWindow;
}

align::AutoAlignWindow* InstallAutoAlign(QWidget* mainWindow, Box& box);

} // namespace trivel
