#include "files/SettingFileDialogs.h"

#include "files/SettingFileActions.h"
#include "files/SettingFiles.h"
#include "session/Session.h"

#include <QFileDialog>
#include <QPushButton>

namespace trivel {

SettingFileDialogs::SettingFileDialogs(SettingFiles& files, QWidget* mainWindow, QPushButton* save, QPushButton* load)
    : QObject(mainWindow)
    , m_files(files)
    , m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("SettingFileDialogs"));
    SaveDlg = [this] { return SaveDlgExecute(); };
    OpenDlg = [this] { return OpenDlgExecute(); };
    connect(save, &QPushButton::clicked, this, &SettingFileDialogs::TntButton1Click);
    connect(load, &QPushButton::clicked, this, &SettingFileDialogs::TntButton2Click);
}

void SettingFileDialogs::TntButton1Click()
{
    if (m_files.busy())
        return;
    const SaveChoice choice = SaveDlg ? SaveDlg() : SaveChoice{};
    trivel::TntButton1Click(m_files.session(), choice.path, choice.wholeBox);
}

void SettingFileDialogs::TntButton2Click()
{
    if (m_files.busy())
        return;
    m_files.loadAndTransfer(OpenDlg ? OpenDlg() : QString());
}

SaveChoice SettingFileDialogs::SaveDlgExecute()
{
    QFileDialog dlg(m_mainWindow);
    dlg.setObjectName(QStringLiteral("SaveDlg"));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilter(QString::fromLatin1(kSettingFileFilter));
    const auto wholeBoxFilter = [](const QString& filter) { return filter.contains(QLatin1String("*.WBF")); };
    // A name typed without an extension gets the one of the chosen filter, so that the dialog asks
    // about replacing the file that will really be written.
    dlg.setDefaultSuffix(QStringLiteral("WBF"));
    connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg, wholeBoxFilter](const QString& filter) {
        dlg.setDefaultSuffix(wholeBoxFilter(filter) ? QStringLiteral("WBF") : QStringLiteral("SBF"));
    });
    // A dialog of our own, so it can be placed (SaveDlgShow) and asks before overwriting.
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, false);
    // SaveDlgShow: at the main window's top-left corner.
    dlg.move(m_mainWindow->frameGeometry().topLeft());
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return {dlg.selectedFiles().first(), wholeBoxFilter(dlg.selectedNameFilter())};
}

QString SettingFileDialogs::OpenDlgExecute()
{
    QFileDialog dlg(m_mainWindow);
    dlg.setObjectName(QStringLiteral("OpenDlg"));
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilter(QString::fromLatin1(kSettingFileFilter));
    dlg.setDefaultSuffix(QStringLiteral("WBF"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

} // namespace trivel
