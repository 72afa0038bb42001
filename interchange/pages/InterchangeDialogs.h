#pragma once
// The Export... and Import... buttons of the main window: every window the tool knows to an
// .mpcdi file, and one region of such a file into a window of the connected box (the window and
// region asked, the plan's worst difference shown and confirmed, the box's setting file saved
// first, then the plan sent).

#include "interchange/ImportPlan.h"
#include "link/Operation.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QPushButton;
class QWidget;

namespace trivel {

class Box;
class Session;

// What the choice dialog gives.
struct ImportChoice {
    QString region;
    int window = 0; // 0..3
    bool pointOffsets = false;
};

class InterchangeDialogs : public QObject {
    Q_OBJECT
public:
    // saveUndo writes the box's whole setting file to a path (the composition root hands it over:
    // setting files are not this folder's); false and the reason when it could not.
    using SaveUndo = std::function<bool(const QString& path, QString* why)>;
    InterchangeDialogs(Box& box, QWidget* mainWindow, QPushButton* exportButton, QPushButton* importButton,
        SaveUndo saveUndo);

    // The dialogs; tests replace them. Empty names and nullopt: cancelled.
    std::function<QString()> ExportDlg;
    std::function<QString()> ImportDlg;
    std::function<std::optional<ImportChoice>(const QStringList& regions, int windows, int current)>
        ChooseDlg;
    // The plan with its worst difference and report, and where the undo file goes; true: send.
    std::function<bool(const ImportPlan& plan, const QString& undoPath)> ConfirmDlg;
    // A message for the user (refusals, what was written or sent).
    std::function<void(const QString& text, bool warning)> Tell;
    // Where the undo file of an import of `mpcdiPath` goes.
    std::function<QString(const QString& mpcdiPath)> UndoPath;

    // The send of the last import, for whoever waits for its end.
    const Operation<void>& lastImport() const { return m_lastImport; }

signals:
    // An import is being sent: the window buttons, the pages and the setting buttons wait for it,
    // so nothing selects another window under it.
    void importRunning(bool running);

public slots:
    void exportClicked();
    void importClicked();

private:
    QString exportDlgExecute();
    QString importDlgExecute();
    std::optional<ImportChoice> chooseDlgExecute(const QStringList& regions, int windows, int current);
    bool confirmDlgExecute(const ImportPlan& plan, const QString& undoPath);
    std::optional<ImportPlan> planImport(const QString& path);

    Box& m_box;
    Session& m_s;
    QWidget* m_mainWindow;
    SaveUndo m_saveUndo;
    Operation<void> m_lastImport;
};

} // namespace trivel
