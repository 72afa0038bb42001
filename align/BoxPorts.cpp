#include "align/BoxPorts.h"

#include "align/CameraSources.h"
#include "mask/Masks.h"
#include "session/Session.h"
#include "settings/Settings.h"
#include "warp/Warp.h"

#include <QThread>

#include <algorithm>

namespace trivel::align {

struct SessionThread::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool stopped = false;
    QString why;
};

namespace {

// One call's outcome, shared with the session's thread (which may finish it after a stop).
struct Outcome {
    bool done = false;
    bool ok = false;
    QString error;
};

using Finish = std::function<void(bool ok, const QString& error)>;

} // namespace

SessionThread::SessionThread(QObject& context)
    : m_context(&context)
    , m_shared(std::make_shared<Shared>())
{
}

SessionThread::~SessionThread()
{
    stop(QStringLiteral("the run was ended"));
}

void SessionThread::stop(const QString& why)
{
    const std::lock_guard lock(m_shared->mutex);
    if (!m_shared->stopped) {
        m_shared->stopped = true;
        m_shared->why = why;
    }
    m_shared->changed.notify_all();
}

namespace {

// Hands `begin` to the context's thread, which calls its Finish once; waits for that or a stop.
bool HandOver(QObject* context, const std::shared_ptr<SessionThread::Shared>& shared,
    std::function<void(const Finish&)> begin, QString& error);

} // namespace

bool SessionThread::run(std::function<Operation<void>()> start, QString& error)
{
    return HandOver(
        m_context.data(), m_shared,
        [start = std::move(start)](const Finish& finish) {
            Operation<void> op;
            try {
                op = start();
            } catch (const OperationFailure& f) {
                finish(false, f.failure().reason);
                return;
            }
            op.onFinished([op, finish] {
                const bool failed = op.valid() && op.failure().has_value();
                finish(!failed, failed ? op.failure()->reason : QString());
            });
        },
        error);
}

bool SessionThread::call(std::function<bool(QString&)> work, QString& error)
{
    return HandOver(
        m_context.data(), m_shared,
        [work = std::move(work)](const Finish& finish) {
            QString why;
            const bool ok = work(why);
            finish(ok, why);
        },
        error);
}

namespace {

bool HandOver(QObject* context, const std::shared_ptr<SessionThread::Shared>& shared,
    std::function<void(const Finish&)> begin, QString& error)
{
    if (!context) {
        error = QStringLiteral("the box is gone");
        return false;
    }
    if (QThread::currentThread() == context->thread()) {
        // Waiting here would stop the very thread the work needs.
        error = QStringLiteral("the procedure must not run on the session's thread");
        return false;
    }
    auto outcome = std::make_shared<Outcome>();
    const Finish finish = [outcome, shared](bool ok, const QString& why) {
        const std::lock_guard lock(shared->mutex);
        outcome->done = true;
        outcome->ok = ok;
        outcome->error = why;
        shared->changed.notify_all();
    };
    {
        const std::lock_guard lock(shared->mutex);
        if (shared->stopped) {
            error = shared->why;
            return false;
        }
    }
    QMetaObject::invokeMethod(
        context,
        [begin = std::move(begin), finish, shared] {
            {
                const std::lock_guard lock(shared->mutex);
                if (shared->stopped)
                    return; // the waiting side has gone on without it
            }
            begin(finish);
        },
        Qt::QueuedConnection);
    std::unique_lock lock(shared->mutex);
    shared->changed.wait(lock, [&] { return outcome->done || shared->stopped; });
    if (!outcome->done) {
        error = shared->why;
        return false;
    }
    error = outcome->error;
    return outcome->ok;
}

// The edge blend as the Blend 1 page's controls take it: widths below the control's least
// are no blend, everything else within the control's range.
int ControlValue(Setting id, int value)
{
    const SettingBinding& b = Binding(id);
    if (b.sent == Sent::EdgeWidth && value < b.minimum)
        return 0;
    return std::clamp(value, b.minimum, b.maximum);
}

Operation<void> ShowGrid(BoxSubsystems box, int window, int spacing)
{
    co_await box.masks.hideStream(window);
    if (box.session.CurrentWindow != window)
        co_await box.settings.selectWindow(window);
    co_await box.warp.setGridSpacing(spacing);
    co_await box.warp.showPatternColour(window, BoxPorts::kWhitePattern);
}

Operation<void> Blank(BoxSubsystems box, int window, bool gridShown)
{
    co_await box.masks.hideStream(window);
    if (gridShown)
        co_await box.warp.showPatternColour(window, 0);
}

Operation<void> SendTables(BoxSubsystems box, int window, SourceTables tables)
{
    if (box.session.CurrentWindow != window)
        co_await box.settings.selectWindow(window);
    WarpState& state = box.warp.state();
    std::copy(tables.x.begin(), tables.x.end(), state.SourceXTable.begin());
    std::copy(tables.y.begin(), tables.y.end(), state.SourceYTable.begin());
    co_await box.warp.transferTables();
}

Operation<void> SendBlend(BoxSubsystems box, int window, BlendPlan plan)
{
    static constexpr Setting kWidths[4] = {Setting::LEB, Setting::REB, Setting::TEB, Setting::BEB};
    static constexpr Setting kShifts[4] = {Setting::EFL, Setting::EFR, Setting::EFT, Setting::EFB};
    for (std::size_t side = 0; side < 4; ++side) {
        co_await box.settings.apply(kWidths[side], window, ControlValue(kWidths[side], plan.width[side]));
        co_await box.settings.apply(kShifts[side], window, ControlValue(kShifts[side], plan.shift[side]));
    }
    for (const Setting id : {Setting::EBR, Setting::EBG, Setting::EBB})
        co_await box.settings.apply(id, window, ControlValue(id, plan.transitionGamma));
    for (const Setting id : {Setting::GGR, Setting::GGG, Setting::GGB})
        co_await box.settings.apply(id, window, Binding(id).start);
    co_await box.settings.apply(Setting::EBL, window, ControlValue(Setting::EBL, plan.gammaOffset));
}

} // namespace

Operation<void> LeaveUserMaps(BoxSubsystems box, int windows)
{
    const auto hold = box.session.exchange.hold();
    for (int w = 0; w < std::clamp(windows, 0, 4); ++w) {
        if (box.session.CurrentWindow != w)
            co_await box.settings.selectWindow(w);
        co_await box.settings.sendValue(Setting::WPM, box.warp.model(w).ControlPattern);
    }
}

BoxPorts::BoxPorts(BoxSubsystems box, SessionThread& thread, SaveUndo saveUndo)
    : m_box(box)
    , m_thread(thread)
    , m_saveUndo(std::move(saveUndo))
{
}

bool BoxPorts::run(const QString& what, int window, std::function<Operation<void>()> start, QString& error)
{
    if (window < 0 || window > 3) {
        error = QStringLiteral("there is no window %1").arg(window + 1);
        return false;
    }
    if (m_thread.run(std::move(start), error))
        return true;
    error = QStringLiteral("%1 of %2 failed: %3").arg(what, WindowName(window), error);
    return false;
}

bool BoxPorts::showMask(int window, const MaskBytes& stream, QString& error)
{
    BoxSubsystems box = m_box;
    const bool grid = window >= 0 && window < 4 && m_gridShown[std::size_t(window)];
    if (grid
        && !run(
            QStringLiteral("the test grid's removal"), window,
            [box, window] { return box.warp.showPatternColour(window, 0); }, error))
        return false;
    if (grid)
        m_gridShown[std::size_t(window)] = false;
    return run(
        QStringLiteral("a pattern"), window,
        [box, window, stream] { return box.masks.showStream(window, stream); }, error);
}

bool BoxPorts::showGrid(int window, const GridSpec& grid, QString& error)
{
    BoxSubsystems box = m_box;
    const int spacing = grid.spacing;
    if (!run(
            QStringLiteral("the test grid"), window,
            [box, window, spacing] { return ShowGrid(box, window, spacing); }, error))
        return false;
    m_gridShown[std::size_t(window)] = true;
    return true;
}

bool BoxPorts::blank(int window, QString& error)
{
    BoxSubsystems box = m_box;
    const bool grid = window >= 0 && window < 4 && m_gridShown[std::size_t(window)];
    if (!run(
            QStringLiteral("blanking"), window, [box, window, grid] { return Blank(box, window, grid); },
            error))
        return false;
    m_gridShown[std::size_t(window)] = false;
    return true;
}

bool BoxPorts::release(int window, QString& error)
{
    return blank(window, error);
}

bool BoxPorts::saveUndoFile(QString& savedAs, QString& error)
{
    if (!m_saveUndo) {
        error = QStringLiteral("no place to save it was given");
        return false;
    }
    QString name;
    const bool ok = m_thread.call([this, &name](QString& why) { return m_saveUndo(name, why); }, error);
    savedAs = name;
    return ok;
}

bool BoxPorts::sendTables(int window, const SourceTables& tables, QString& error)
{
    if (tables.x.size() != std::size_t(kSourceTableEntries)
        || tables.y.size() != std::size_t(kSourceTableEntries)) {
        error = QStringLiteral("the tables of %1 are not whole").arg(WindowName(window));
        return false;
    }
    BoxSubsystems box = m_box;
    return run(
        QStringLiteral("the User Map transfer"), window,
        [box, window, tables] { return SendTables(box, window, tables); }, error);
}

bool BoxPorts::sendPointOffsets(int window, const GridArray<OffsetPair>& offsets, QString& error)
{
    BoxSubsystems box = m_box;
    return run(
        QStringLiteral("the 17x17 points"), window,
        [box, window, offsets] { return box.warp.sendPointOffsets(window, offsets); }, error);
}

bool BoxPorts::sendBlend(int window, const BlendPlan& blend, QString& error)
{
    BoxSubsystems box = m_box;
    return run(
        QStringLiteral("the blend"), window, [box, window, blend] { return SendBlend(box, window, blend); },
        error);
}

} // namespace trivel::align
