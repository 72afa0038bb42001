#pragma once
// The alignment's pattern display and result sink over the box's subsystems, and the thread the
// procedure runs on. The procedure blocks (photos, solving); the subsystems live on the session's
// thread, which must never block. So every call of a port here hands an operation to the
// session's thread and waits on the procedure's own thread for its end.

#include "align/AlignPorts.h"
#include "align/Procedure.h"
#include "link/Clock.h"
#include "link/Operation.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace trivel {
class Masks;
class Session;
class Settings;
class Warp;
} // namespace trivel

namespace trivel::align {

// Work handed from another thread to the thread of `context` (the session's), waited for.
class SessionThread {
public:
    explicit SessionThread(QObject& context);
    ~SessionThread();
    SessionThread(const SessionThread&) = delete;
    SessionThread& operator=(const SessionThread&) = delete;

    // Starts the operation on the session's thread and waits for its end: false, with the
    // failure's reason, when it failed or the waits were stopped.
    bool run(std::function<Operation<void>()> start, QString& error);
    // Plain work on the session's thread (nothing that waits for the box).
    bool call(std::function<bool(QString&)> work, QString& error);
    // Ends the waits at once and refuses every call after it (the window closed, the command
    // ended): an operation already started on the session's thread runs to its own end.
    void stop(const QString& why);

    struct Shared; // what both threads see, under its mutex

private:
    QPointer<QObject> m_context;
    std::shared_ptr<Shared> m_shared;
};

// The subsystems the ports drive.
struct BoxSubsystems {
    Session& session;
    Settings& settings;
    Warp& warp;
    Masks& masks;
};

class BoxPorts final : public PatternDisplay, public ResultSink {
public:
    // Saves the box's setting file, on the session's thread: the name it was saved as.
    using SaveUndo = std::function<bool(QString& savedAs, QString& error)>;

    BoxPorts(BoxSubsystems box, SessionThread& thread, SaveUndo saveUndo);

    bool showMask(int window, const MaskBytes& stream, QString& error) override;
    bool showGrid(int window, const GridSpec& grid, QString& error) override;
    bool blank(int window, QString& error) override;
    bool release(int window, QString& error) override;

    bool saveUndoFile(QString& savedAs, QString& error) override;
    bool sendTables(int window, const SourceTables& tables, QString& error) override;
    bool sendPointOffsets(int window, const GridArray<OffsetPair>& offsets, QString& error) override;
    bool sendBlend(int window, const BlendPlan& blend, QString& error) override;

    // The pattern colour index of white (the test grid in white lines).
    static constexpr int kWhitePattern = 1;

private:
    bool run(const QString& what, int window, std::function<Operation<void>()> start, QString& error);

    BoxSubsystems m_box;
    SessionThread& m_thread;
    SaveUndo m_saveUndo;
    std::array<bool, 4> m_gridShown{}; // the pattern colour is on: it paints over a mask
};

// Each of the first `windows` windows back on its own warp mode (as the box reported it), so that
// the User Map tables of an alignment no longer show: a setting file's warp blocks alone do not
// take them away. On the session's thread, after a setting file's transfer.
Operation<void> LeaveUserMaps(BoxSubsystems box, int windows);

// What the procedure reports while it runs, handed to the session's thread.
struct AlignCallbacks {
    std::function<void(const QString& step)> step;
    // Every photo the camera gives, as it comes (the live picture).
    std::function<void(const Photo& photo)> photo;
    std::function<void(const AlignReport& report)> finished;
};

// Another pattern display for a run, made on the run's thread over the box's own display (which
// it may use, say to hold windows black) and the way to the session's thread. Null: the box's.
using DisplayFactory
    = std::function<std::unique_ptr<PatternDisplay>(PatternDisplay& box, SessionThread& thread)>;

// The procedure on a thread of its own over BoxPorts, with the camera made on that thread.
class AlignRunner {
public:
    AlignRunner(QObject& context, BoxSubsystems box, BoxPorts::SaveUndo saveUndo);
    // Stops the waits and joins the thread.
    ~AlignRunner();
    AlignRunner(const AlignRunner&) = delete;
    AlignRunner& operator=(const AlignRunner&) = delete;

    // Starts a run with the camera DEVICE, DIR or sim://HOST:PORT; false while one runs.
    bool start(const QString& camera, const AlignOptions& options, AlignCallbacks callbacks,
        DisplayFactory display = {});
    // Sends a solution measured before (after a measure-only run, or to undo a revert): the
    // setting file first when undoFile is empty, then each window's tables (or points) and blend.
    // The report carries the undo file, sent, ok and the errors.
    bool startApply(
        const Solution& solution, bool pointMode, const QString& undoFile, AlignCallbacks callbacks);
    bool running() const { return m_running; }
    // Ends the run's waits for the box; the run ends with the reason among its errors.
    void stop(const QString& why);
    void join();

private:
    void work(QString camera, AlignOptions options, AlignCallbacks callbacks, DisplayFactory display);
    void apply(Solution solution, bool pointMode, QString undoFile, AlignCallbacks callbacks);
    void finish(const AlignReport& report, const AlignCallbacks& callbacks);

    QPointer<QObject> m_context;
    BoxSubsystems m_box;
    BoxPorts::SaveUndo m_saveUndo;
    std::unique_ptr<SessionThread> m_thread;
    std::thread m_worker;
    std::atomic<bool> m_running{false};
};

// The camera's picture while no run uses the camera: a photo every intervalMs, on a thread of its
// own, each handed to the context's thread. A folder of photos shows its first one only.
class CameraWatch {
public:
    explicit CameraWatch(QObject& context);
    ~CameraWatch();
    CameraWatch(const CameraWatch&) = delete;
    CameraWatch& operator=(const CameraWatch&) = delete;

    void start(const QString& camera, int intervalMs, std::function<void(const Photo&)> seen,
        std::function<void(const QString&)> failed);
    // Ends the watch and waits for its thread (at most one photo's time).
    void stop();
    bool watching() const { return m_worker.joinable(); }

private:
    QPointer<QObject> m_context;
    std::thread m_worker;
    std::atomic<bool> m_stop{false};
};

// Checks that the camera opens (and closes it again): the reason when it does not.
bool ProbeCamera(const QString& camera, QString& error);

} // namespace trivel::align
