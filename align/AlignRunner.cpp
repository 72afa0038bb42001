#include "align/BoxPorts.h"
#include "align/CameraSources.h"

namespace trivel::align {

namespace {

// The camera as the procedure uses it, each photo also handed on (the live picture).
class WatchedCamera final : public CameraSource {
public:
    WatchedCamera(CameraSource& camera, std::function<void(const Photo&)> seen)
        : m_camera(camera)
        , m_seen(std::move(seen))
    {
    }
    bool open(QString& error) override { return m_camera.open(error); }
    std::optional<Photo> grab(QString& error) override
    {
        std::optional<Photo> p = m_camera.grab(error);
        if (p && m_seen)
            m_seen(*p);
        return p;
    }
    bool stillCamera() const override { return m_camera.stillCamera(); }
    std::optional<LensModel> lens() const override { return m_camera.lens(); }
    std::optional<ScreenMarks> marks() const override { return m_camera.marks(); }
    QString describe() const override { return m_camera.describe(); }

private:
    CameraSource& m_camera;
    std::function<void(const Photo&)> m_seen;
};

class PostedProgress final : public AlignProgress {
public:
    explicit PostedProgress(std::function<void(const QString&)> step)
        : m_step(std::move(step))
    {
    }
    void step(const QString& text) override
    {
        if (m_step)
            m_step(text);
    }

private:
    std::function<void(const QString&)> m_step;
};

// Calls fn on the context's thread, later; nothing once the context is gone.
template <typename Fn> void Post(const QPointer<QObject>& context, Fn fn)
{
    if (QObject* c = context.data())
        QMetaObject::invokeMethod(c, std::move(fn), Qt::QueuedConnection);
}

} // namespace

AlignRunner::AlignRunner(QObject& context, BoxSubsystems box, BoxPorts::SaveUndo saveUndo)
    : m_context(&context)
    , m_box(box)
    , m_saveUndo(std::move(saveUndo))
{
}

AlignRunner::~AlignRunner()
{
    stop(QStringLiteral("the run was ended"));
    join();
}

bool AlignRunner::start(
    const QString& camera, const AlignOptions& options, AlignCallbacks callbacks, DisplayFactory display)
{
    if (m_running)
        return false;
    join();
    m_thread = std::make_unique<SessionThread>(*m_context);
    m_running = true;
    m_worker = std::thread(
        [this, camera, options, callbacks, display] { work(camera, options, callbacks, display); });
    return true;
}

bool AlignRunner::startApply(
    const Solution& solution, bool pointMode, const QString& undoFile, AlignCallbacks callbacks)
{
    if (m_running)
        return false;
    join();
    m_thread = std::make_unique<SessionThread>(*m_context);
    m_running = true;
    m_worker = std::thread([this, solution, pointMode, undoFile, callbacks] {
        apply(solution, pointMode, undoFile, callbacks);
    });
    return true;
}

void AlignRunner::stop(const QString& why)
{
    if (m_thread)
        m_thread->stop(why);
}

void AlignRunner::join()
{
    if (m_worker.joinable())
        m_worker.join();
}

void AlignRunner::work(QString spec, AlignOptions options, AlignCallbacks callbacks, DisplayFactory display)
{
    // The camera lives on this thread (a socket belongs to the thread that made it), and so do
    // its waits: the settle time and a folder's polling block this thread only.
    RealClock clock;
    AlignReport report;
    QString error;
    std::unique_ptr<CameraSource> camera = MakeCameraSource(spec, clock, error);
    if (!camera) {
        report.errors << QStringLiteral("The camera cannot be opened: %1").arg(error);
    } else {
        const QPointer<QObject> context = m_context;
        WatchedCamera watched(*camera, [context, callbacks](const Photo& p) {
            if (callbacks.photo)
                Post(context, [callbacks, p] { callbacks.photo(p); });
        });
        PostedProgress progress([context, callbacks](const QString& text) {
            if (callbacks.step)
                Post(context, [callbacks, text] { callbacks.step(text); });
        });
        BoxPorts ports(m_box, *m_thread, m_saveUndo);
        std::unique_ptr<PatternDisplay> other = display ? display(ports, *m_thread) : nullptr;
        if (display && !other) {
            report.errors << QStringLiteral("The pattern screen is gone; nothing was sent.");
        } else {
            AlignProcedure procedure(
                other ? *other : static_cast<PatternDisplay&>(ports), ports, watched, clock, options);
            procedure.setProgress(&progress);
            report = procedure.run();
        }
    }
    finish(report, callbacks);
}

void AlignRunner::apply(Solution solution, bool pointMode, QString undoFile, AlignCallbacks callbacks)
{
    AlignReport report;
    report.solution = solution;
    report.undoFile = undoFile;
    BoxPorts ports(m_box, *m_thread, m_saveUndo);
    const auto step = [this, &callbacks](const QString& text) {
        if (callbacks.step)
            Post(m_context, [callbacks, text] { callbacks.step(text); });
    };
    QString error;
    if (report.undoFile.isEmpty()) {
        step(QStringLiteral("Saving the box's setting file"));
        if (!ports.saveUndoFile(report.undoFile, error))
            report.errors << QStringLiteral(
                "The box's setting file could not be saved, so nothing was sent: %1")
                                 .arg(error);
    }
    for (std::size_t w = 0; report.errors.isEmpty() && w < solution.windows.size(); ++w) {
        const int window = int(w);
        const WindowSolution& ws = solution.windows[w];
        step(QStringLiteral("Sending the warp and blend of %1").arg(WindowName(window)));
        report.sent = true;
        const bool ok = (pointMode ? ports.sendPointOffsets(window, ws.pointOffsets, error)
                                   : ports.sendTables(window, ws.tables, error))
            && ports.sendBlend(window, ws.blend, error);
        if (!ok)
            report.errors << error;
    }
    report.ok = report.errors.isEmpty();
    finish(report, callbacks);
}

void AlignRunner::finish(const AlignReport& report, const AlignCallbacks& callbacks)
{
    m_running = false;
    // Posted after every step and photo, so it comes last; it also wakes a waiting event loop.
    Post(m_context, [callbacks, report] {
        if (callbacks.finished)
            callbacks.finished(report);
    });
}

CameraWatch::CameraWatch(QObject& context)
    : m_context(&context)
{
}

CameraWatch::~CameraWatch()
{
    stop();
}

void CameraWatch::start(const QString& spec, int intervalMs, std::function<void(const Photo&)> seen,
    std::function<void(const QString&)> failed)
{
    stop();
    m_stop = false;
    m_worker = std::thread([this, spec, intervalMs, seen, failed] {
        RealClock clock;
        QString error;
        std::unique_ptr<CameraSource> camera = MakeCameraSource(spec, clock, error);
        if (!camera || !camera->open(error)) {
            Post(m_context,
                [failed, error] { failed(QStringLiteral("The camera cannot be opened: %1").arg(error)); });
            return;
        }
        while (!m_stop) {
            std::optional<Photo> p = camera->grab(error);
            if (!p) {
                Post(m_context,
                    [failed, error] { failed(QStringLiteral("The camera gave no picture: %1").arg(error)); });
                return;
            }
            Post(m_context, [seen, photo = std::move(*p)] { seen(photo); });
            if (camera->stillCamera())
                return; // the next photo of a folder belongs to the run
            for (int waited = 0; waited < intervalMs && !m_stop; waited += 20)
                clock.sleepMs(20);
        }
    });
}

void CameraWatch::stop()
{
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
}

bool ProbeCamera(const QString& spec, QString& error)
{
    RealClock clock;
    std::unique_ptr<CameraSource> camera = MakeCameraSource(spec, clock, error);
    return camera && camera->open(error);
}

} // namespace trivel::align
