#pragma once
// SaveDlg and OpenDlg of the Save Setting / Load Setting buttons.

#include <QObject>

#include <functional>

class QPushButton;
class QWidget;

namespace trivel {

class Session;

inline constexpr const char* kSettingFileFilter = "Warp BOX Setting (*.WBF);;Single channel setting (*.SBF)";

class SettingFileDialogs : public QObject {
    Q_OBJECT
public:
    // Handles the clicks of the two buttons; mainWindow places the save dialog.
    SettingFileDialogs(Session& s, QWidget* mainWindow, QPushButton* save, QPushButton* load);

    // The chosen name, or an empty string when cancelled. Tests replace them.
    std::function<QString()> SaveDlg;
    std::function<QString()> OpenDlg;

public slots:
    void TntButton1Click();
    void TntButton2Click();

private:
    QString SaveDlgExecute();
    QString OpenDlgExecute();

    Session& m_s;
    QWidget* m_mainWindow;
};

} // namespace trivel
