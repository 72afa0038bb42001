// trivelctl export and import on a box: the connect read-back fills the session, an export then
// writes from it as from a setting file; an import saves the box's setting file and sends its plan.

#include "box/Box.h"
#include "box/StatusPoll.h"
#include "cli/Bootstrap.h"
#include "cli/CliUi.h"
#include "cli/InterchangeShared.h"
#include "files/SettingFile.h"
#include "interchange/ImportSend.h"
#include "interchange/WindowExport.h"
#include "session/Session.h"

#include <QDateTime>
#include <QDir>

#include <cstdio>

namespace trivel::interchange_cli {

namespace {

int Refuse(int code, const QString& why)
{
    std::fprintf(stderr, "trivelctl: %s\n", qPrintable(why));
    return code;
}

QString DefaultUndoName()
{
    return QDir::current().filePath(
        QStringLiteral("trivel-undo-%1.WBF").arg(QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss")));
}

// The box's whole setting file, after one status poll as a save takes it (the file records the
// input sizes). Success, or the exit code of what went wrong.
int SaveUndo(cli::BoxRun& run, const QString& path)
{
    Session& s = run.session();
    StatusPollTick(s);
    if (s.statusPoll.valid() && !s.statusPoll.finished())
        if (const int code = run.await(s.statusPoll); code != cli::Success)
            return code;
    if (!s.connected())
        return cli::LinkFailure;
    const SettingFileOutcome saved = SaveSettingFile(s, path, true);
    if (!saved.ok)
        return Refuse(Failed,
            QStringLiteral("the undo file %1 was not written (%2); nothing was sent")
                .arg(path, saved.message));
    std::printf("Undo: %s (load it with 'trivelctl load' to put the box back)\n", qPrintable(path));
    std::fflush(stdout);
    return Success;
}

} // namespace

int ExportFromBox(const Args& o, const cli::BoxEnv& env)
{
    cli::CliUi ui(false);
    cli::BoxRun run(env, o.link, ui);
    Session& s = run.session();
    if (const int connected = run.connect(cli::ConnectMode::Readback); connected != cli::Success)
        return connected;
    if (o.window >= s.ChannelCount)
        return run.decide(Refuse(Failed, QStringLiteral("the box has windows 1..%1").arg(s.ChannelCount)));
    std::vector<WindowExport> windows;
    for (int w = 0; w < s.ChannelCount; ++w)
        if (o.window < 0 || o.window == w)
            windows.push_back(WindowExportOf(s, w));
    return run.decide(WriteExports(windows, o));
}

int ImportIntoBox(const Args& o, const MpcdiRegionData& region, const cli::BoxEnv& env)
{
    cli::CliUi ui(false);
    cli::BoxRun run(env, o.link, ui);
    Session& s = run.session();
    Box& box = run.box();
    if (const int connected = run.connect(cli::ConnectMode::Readback); connected != cli::Success)
        return connected;
    if (o.window >= s.ChannelCount)
        return run.decide(Refuse(Failed, QStringLiteral("the box has windows 1..%1").arg(s.ChannelCount)));
    // The window's frame as the box reports it, and its blend as it stands: what the file does not
    // carry is kept.
    const WarpModel& m = box.warp.model(o.window);
    ImportOptions options;
    options.window = o.window;
    options.frameWidth = m.frameWidth;
    options.frameHeight = m.frameHeight;
    options.pointOffsets = o.points;
    options.currentBlend = box.settings.state().BlendSettings[std::size_t(o.window)];
    QString why;
    const std::optional<ImportPlan> plan = PlanImport(region, options, &why);
    if (!plan)
        return run.decide(Refuse(Failed, o.mpcdi + ": " + why));
    PrintPlan(*plan);
    if (!WritePlannedTables(*plan, o))
        return run.decide(Failed);
    if (const int code = SaveUndo(run, o.undo.isEmpty() ? DefaultUndoName() : o.undo); code != Success)
        return run.decide(code);
    // The status poll stays out of the way of the transfer.
    if (s.TmrStatus)
        s.TmrStatus->setEnabled(false);
    const int code = run.await(SendImportPlan(box, *plan));
    if (code == Success)
        std::printf("Sent: %s and the blend to window %d\n",
            plan->pointOffsets ? "the 17x17 point offsets" : "the User Map tables", plan->window + 1);
    else
        std::fprintf(stderr, "trivelctl: the import was not completed; the undo file puts the box back\n");
    return run.decide(code);
}

} // namespace trivel::interchange_cli
