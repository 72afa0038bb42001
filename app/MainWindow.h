#pragma once

#include <QMainWindow>

namespace trivel {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};

} // namespace trivel
