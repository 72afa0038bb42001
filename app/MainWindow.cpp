#include "app/MainWindow.h"

namespace trivel {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("MainForm");
    setWindowTitle("TRIVEL 3  V2.1");
}

} // namespace trivel
