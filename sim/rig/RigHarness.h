#pragma once
// The simulated rig behind the alignment procedure's ports, in process: a display and a sink
// that change what the scene's windows show, and a camera that photographs the scene. Tests and
// benchmarks run the whole procedure on it with a virtual clock.

#include "align/AlignPorts.h"
#include "sim/rig/RigScene.h"

#include <functional>

namespace trivel::sim {

class RigDisplay : public align::PatternDisplay {
public:
    explicit RigDisplay(RigScene& scene)
        : m_scene(scene)
    {
    }
    bool showMask(int window, const MaskBytes& stream, QString& error) override;
    bool showGrid(int window, const align::GridSpec& grid, QString& error) override;
    bool blank(int window, QString& error) override;
    bool release(int window, QString& error) override;

    int shows = 0; // every call that changed the wall
    // Called before every change, with the count so far: tests bump the camera here.
    std::function<void(int shows)> beforeChange;

private:
    bool window(int w, QString& error);
    RigScene& m_scene;
};

class RigSink : public align::ResultSink {
public:
    explicit RigSink(RigScene& scene)
        : m_scene(scene)
    {
    }
    bool saveUndoFile(QString& savedAs, QString& error) override;
    bool sendTables(int window, const align::SourceTables& tables, QString& error) override;
    bool sendPointOffsets(int window, const GridArray<OffsetPair>& offsets, QString& error) override;
    bool sendBlend(int window, const align::BlendPlan& blend, QString& error) override;

    int undoFiles = 0;
    int sends = 0; // tables, points and blends taken
    bool refuseUndo = false; // the setting file cannot be saved
    // Every table a window was sent, in order (point offsets as the box turns them into tables).
    std::vector<std::vector<align::SourceTables>> tablesSent;

private:
    RigScene& m_scene;
};

class RigCameraSource : public align::CameraSource {
public:
    explicit RigCameraSource(RigScene& scene)
        : m_scene(scene)
    {
    }
    bool open(QString&) override { return true; }
    std::optional<align::Photo> grab(QString&) override { return m_scene.photo(); }
    std::optional<align::LensModel> lens() const override { return m_scene.rig().camera.lens; }
    std::optional<align::ScreenMarks> marks() const override { return m_scene.rig().marks(); }
    QString describe() const override { return QStringLiteral("the simulated rig's camera"); }

private:
    RigScene& m_scene;
};

} // namespace trivel::sim
