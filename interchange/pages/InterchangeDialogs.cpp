#include "interchange/pages/InterchangeDialogs.h"

#include "box/Box.h"
#include "interchange/ImportSend.h"
#include "interchange/Mpcdi.h"
#include "interchange/WindowExport.h"
#include "session/Operations.h"
#include "session/Session.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>

#include <algorithm>

namespace trivel {

namespace {

const char* const kMpcdiFilter = "MPCDI file (*.mpcdi)";

} // namespace

InterchangeDialogs::InterchangeDialogs(
    Box& box, QWidget* mainWindow, QPushButton* exportButton, QPushButton* importButton, SaveUndo saveUndo)
    : QObject(mainWindow)
    , m_box(box)
    , m_s(box.session)
    , m_mainWindow(mainWindow)
    , m_saveUndo(std::move(saveUndo))
{
    setObjectName(QStringLiteral("InterchangeDialogs"));
    ExportDlg = [this] { return exportDlgExecute(); };
    ImportDlg = [this] { return importDlgExecute(); };
    ChooseDlg = [this](const QStringList& regions, int windows, int current) {
        return chooseDlgExecute(regions, windows, current);
    };
    ConfirmDlg
        = [this](const ImportPlan& plan, const QString& undo) { return confirmDlgExecute(plan, undo); };
    Tell = [this](const QString& text, bool warning) {
        m_s.ui.message(warning ? MsgIcon::Warning : MsgIcon::Information, QString(), text, MsgButtons::Ok);
    };
    UndoPath = [](const QString& mpcdiPath) {
        return QFileInfo(mpcdiPath).dir().filePath(
            QStringLiteral("trivel-undo-%1.WBF")
                .arg(QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss")));
    };
    connect(exportButton, &QPushButton::clicked, this, &InterchangeDialogs::exportClicked);
    connect(importButton, &QPushButton::clicked, this, &InterchangeDialogs::importClicked);
}

// What the tool holds: the box's windows after its read-back, or a loaded setting file's four.
void InterchangeDialogs::exportClicked()
{
    if (m_s.transfer.Running)
        return;
    const QString path = ExportDlg ? ExportDlg() : QString();
    if (path.isEmpty())
        return;
    std::vector<WindowExport> windows;
    const int count = m_s.connected() ? m_s.ChannelCount : 4;
    for (int w = 0; w < count; ++w)
        windows.push_back(WindowExportOf(m_s, w));
    QString why;
    const std::optional<QByteArray> archive = BuildMpcdiArchive(windows, QDateTime::currentDateTime(), &why);
    QSaveFile f(path);
    if (!archive || !f.open(QIODevice::WriteOnly) || f.write(*archive) != archive->size() || !f.commit()) {
        Tell(QStringLiteral("%1 was not written: %2").arg(path, archive ? f.errorString() : why), true);
        return;
    }
    Tell(QStringLiteral("Windows 1 to %1 written to %2.").arg(count).arg(path), false);
}

// The file's region read and planned for the window chosen; nothing when refused or cancelled.
std::optional<ImportPlan> InterchangeDialogs::planImport(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > qint64(ZipLimits{}.maxTotalBytes)) {
        Tell(QStringLiteral("%1 cannot be read, or is larger than 256 MiB.").arg(path), true);
        return std::nullopt;
    }
    QString why;
    const std::optional<MpcdiContents> contents = ReadMpcdiArchive(f.readAll(), &why);
    if (!contents) {
        Tell(path + ": " + why, true);
        return std::nullopt;
    }
    const std::optional<ImportChoice> choice = ChooseDlg
        ? ChooseDlg(contents->doc.regionIds(), m_s.ChannelCount, m_s.CurrentWindow)
        : std::nullopt;
    if (!choice || choice->window < 0 || choice->window >= m_s.ChannelCount)
        return std::nullopt;
    const std::optional<MpcdiRegionData> region = ReadMpcdiRegion(*contents, choice->region, &why);
    // The window's frame as the box reported it, and its blend as it stands.
    const WarpModel& m = m_box.warp.model(choice->window);
    ImportOptions options;
    options.window = choice->window;
    options.frameWidth = m.frameWidth;
    options.frameHeight = m.frameHeight;
    options.pointOffsets = choice->pointOffsets;
    options.currentBlend = m_box.settings.state().BlendSettings[std::size_t(choice->window)];
    std::optional<ImportPlan> plan = region ? PlanImport(*region, options, &why) : std::nullopt;
    if (!plan)
        Tell(path + ": " + why, true);
    return plan;
}

void InterchangeDialogs::importClicked()
{
    if (m_s.transfer.Running || (m_lastImport.valid() && !m_lastImport.finished()))
        return;
    if (!m_s.connected()) {
        Tell(QStringLiteral("Connect to the box first: an import is sent to one of its windows."), true);
        return;
    }
    const QString path = ImportDlg ? ImportDlg() : QString();
    if (path.isEmpty())
        return;
    const std::optional<ImportPlan> plan = planImport(path);
    if (!plan)
        return;
    const QString undo = UndoPath(path);
    if (!ConfirmDlg || !ConfirmDlg(*plan, undo))
        return;
    QString why;
    if (!m_saveUndo || !m_saveUndo(undo, &why)) {
        Tell(QStringLiteral("The box's settings could not be saved to %1 (%2); nothing was sent.")
                 .arg(undo, why),
            true);
        return;
    }
    emit importRunning(true);
    m_lastImport = SendImportPlan(m_box, *plan);
    Launch(m_s, m_lastImport);
    const int window = plan->window + 1;
    m_lastImport.onFinished([this, op = m_lastImport, window, undo] {
        emit importRunning(false);
        if (op.succeeded())
            Tell(QStringLiteral(
                     "Window %1 now holds the import. Loading %2 with Load Setting puts the box back.")
                     .arg(window)
                     .arg(undo),
                false);
    });
}

QString InterchangeDialogs::exportDlgExecute()
{
    QFileDialog dlg(m_mainWindow);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilter(QString::fromLatin1(kMpcdiFilter));
    dlg.setDefaultSuffix(QStringLiteral("mpcdi"));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

QString InterchangeDialogs::importDlgExecute()
{
    QFileDialog dlg(m_mainWindow);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilter(QString::fromLatin1(kMpcdiFilter));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

std::optional<ImportChoice> InterchangeDialogs::chooseDlgExecute(
    const QStringList& regions, int windows, int current)
{
    QDialog dlg(m_mainWindow);
    dlg.setWindowTitle(QStringLiteral("Import"));
    auto* form = new QFormLayout(&dlg);
    auto* region = new QComboBox(&dlg);
    region->addItems(regions);
    auto* window = new QComboBox(&dlg);
    for (int w = 0; w < windows; ++w)
        window->addItem(QString::number(w + 1));
    window->setCurrentIndex(std::clamp(current, 0, windows - 1));
    auto* points = new QCheckBox(QStringLiteral("As 17x17 point offsets (else the User Map tables)"), &dlg);
    form->addRow(QStringLiteral("Region of the file:"), region);
    form->addRow(QStringLiteral("Into window:"), window);
    form->addRow(points);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    if (dlg.exec() != QDialog::Accepted || region->currentIndex() < 0)
        return std::nullopt;
    return ImportChoice{region->currentText(), window->currentIndex(), points->isChecked()};
}

bool InterchangeDialogs::confirmDlgExecute(const ImportPlan& plan, const QString& undoPath)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Import"),
        QStringLiteral(
            "Region %1 into window %2 (%3 x %4)\nWorst difference: %5 px\n\nSend it to the box? Its "
            "settings are saved to %6 first.")
            .arg(plan.regionId)
            .arg(plan.window + 1)
            .arg(plan.width)
            .arg(plan.height)
            .arg(plan.worst.pixels, 0, 'f', 3)
            .arg(undoPath),
        QMessageBox::Yes | QMessageBox::No, m_mainWindow);
    box.setDetailedText(plan.report.join(QLatin1Char('\n')));
    return box.exec() == QMessageBox::Yes;
}

} // namespace trivel
