#include "app/MainWindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Trivel 3 Alpha");
    trivel::MainWindow w;
    w.show();
    return app.exec();
}
