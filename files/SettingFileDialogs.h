#pragma once
// SaveDlg and OpenDlg of the Save Setting / Load Setting buttons.

#include <QObject>
#include <QString>

#include <functional>

class QPushButton;
class QWidget;

namespace trivel {

class SettingFiles;

inline constexpr const char* kSettingFileFilter = "Warp BOX Setting (*.WBF);;Single channel setting (*.SBF)";

// What SaveDlg gives: the name typed and whether its filter was the whole-box one.
struct SaveChoice {
    QString path; // empty: cancelled
    bool wholeBox = true;
};

class SettingFileDialogs : public QObject {
    Q_OBJECT
public:
    // Handles the clicks of the two buttons; mainWindow places the save dialog.
    SettingFileDialogs(SettingFiles& files, QWidget* mainWindow, QPushButton* save, QPushButton* load);

    // The chosen name, or an empty one when cancelled. Tests replace them.
    std::function<SaveChoice()> SaveDlg;
    std::function<QString()> OpenDlg;

public slots:
    void TntButton1Click();
    void TntButton2Click();

private:
    SaveChoice SaveDlgExecute();
    QString OpenDlgExecute();

    SettingFiles& m_files;
    QWidget* m_mainWindow;
};

} // namespace trivel
