#include "app/AutoAlign.h"

#include "align/pages/AutoAlignWindow.h"
#include "box/Box.h"
#include "files/SettingFile.h"
#include "files/SettingFiles.h"
#include "session/Operations.h"

#include <QDateTime>
#include <QDir>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>

namespace trivel {

namespace {

QString UndoFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("align"));
}

} // namespace

align::AutoAlignWindow* InstallAutoAlign(QWidget* mainWindow, Box& box)
{
    Session& s = box.session;
    align::AutoAlignHooks hooks{{s, box.settings, box.warp, box.masks},
        [&s](QString& savedAs, QString& error) {
            if (!QDir().mkpath(UndoFolder())) {
                error = UndoFolder() + QStringLiteral(" cannot be made");
                return false;
            }
            savedAs
                = QDir(UndoFolder())
                      .filePath(
                          QStringLiteral("before-align-%1.WBF")
                              .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
            const SettingFileOutcome saved = SaveSettingFile(s, savedAs, true);
            error = saved.message;
            return saved.ok;
        },
        [&box](const QString& file, QString& error) {
            Session& s = box.session;
            SettingFiles files(box);
            const SettingFileOutcome loaded = files.loadAndTransfer(file);
            error = loaded.message;
            if (!loaded.ok)
                return false;
            // The whole-box transfer ends with a read-back; then every window leaves the tables.
            auto once = std::make_shared<QMetaObject::Connection>();
            *once = QObject::connect(&s.events, &SessionEvents::readbackFinished, &s.events, [&box, once] {
                QObject::disconnect(*once);
                Launch(box.session,
                    align::LeaveUserMaps(
                        {box.session, box.settings, box.warp, box.masks}, box.session.ChannelCount));
            });
            return true;
        }};
    auto* window = new align::AutoAlignWindow(std::move(hooks), mainWindow);
    auto* button = new QPushButton(QStringLiteral("Auto Align"), mainWindow);
    // Under the Output Preview, Export and Import buttons.
    button->setGeometry(658, 344, 134, 26);
    button->setToolTip(QStringLiteral("Align the windows with a camera (Ctrl+Shift+A)"));
    QObject::connect(button, &QPushButton::clicked, window, &align::AutoAlignWindow::showAndRaise);
    auto* key = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A), mainWindow);
    QObject::connect(key, &QShortcut::activated, window, &align::AutoAlignWindow::showAndRaise);
    return window;
}

} // namespace trivel
