#include "sim/rig/RigHarness.h"

#include "align/Solve.h"

namespace trivel::sim {

bool RigDisplay::window(int w, QString& error)
{
    if (w < 0 || std::size_t(w) >= m_scene.content.size()) {
        error = QStringLiteral("the rig has no window %1").arg(w + 1);
        return false;
    }
    if (beforeChange)
        beforeChange(shows);
    ++shows;
    return true;
}

bool RigDisplay::showMask(int w, const MaskBytes& stream, QString& error)
{
    if (!window(w, error))
        return false;
    WindowContent& c = m_scene.content[std::size_t(w)];
    c.mask = stream;
    c.grid.reset();
    return true;
}

bool RigDisplay::showGrid(int w, const align::GridSpec& grid, QString& error)
{
    if (!window(w, error))
        return false;
    WindowContent& c = m_scene.content[std::size_t(w)];
    c.mask.clear();
    c.grid = grid;
    return true;
}

bool RigDisplay::blank(int w, QString& error)
{
    if (!window(w, error))
        return false;
    WindowContent& c = m_scene.content[std::size_t(w)];
    c.mask.clear();
    c.grid.reset();
    return true;
}

bool RigDisplay::release(int w, QString& error)
{
    return blank(w, error); // the rig's inputs are black
}

bool RigSink::saveUndoFile(QString& savedAs, QString& error)
{
    if (refuseUndo) {
        error = QStringLiteral("the disk is full");
        return false;
    }
    ++undoFiles;
    savedAs = QStringLiteral("rig-before-align.WBF");
    return true;
}

bool RigSink::sendTables(int w, const align::SourceTables& tables, QString& error)
{
    if (w < 0 || std::size_t(w) >= m_scene.content.size()) {
        error = QStringLiteral("no such window");
        return false;
    }
    m_scene.content[std::size_t(w)].sourceX = tables.x;
    m_scene.content[std::size_t(w)].sourceY = tables.y;
    tablesSent.resize(m_scene.content.size());
    tablesSent[std::size_t(w)].push_back(tables);
    ++sends;
    return true;
}

bool RigSink::sendPointOffsets(int w, const GridArray<OffsetPair>& offsets, QString& error)
{
    if (w < 0 || std::size_t(w) >= m_scene.content.size()) {
        error = QStringLiteral("no such window");
        return false;
    }
    const RigProjector& p = m_scene.rig().projectors[std::size_t(w)];
    const auto tables = align::TablesFromPointOffsets(p.width, p.height, offsets);
    if (!tables) {
        error = QStringLiteral("the box's warp splines fail on these points");
        return false;
    }
    return sendTables(w, *tables, error);
}

bool RigSink::sendBlend(int w, const align::BlendPlan& blend, QString& error)
{
    if (w < 0 || std::size_t(w) >= m_scene.content.size()) {
        error = QStringLiteral("no such window");
        return false;
    }
    blend.applyTo(m_scene.content[std::size_t(w)].blend);
    ++sends;
    return true;
}

} // namespace trivel::sim
