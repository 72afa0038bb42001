#pragma once
// The geometry warp of the box's windows: the models the user edits and the shared tables
// (WarpState), the box-side tables of the Warp Adjust page (WarpAdjustState), and what the warp
// pages and trivelctl do with them: the box-side modes, the control cursor, point moves with the
// box's echo, grid spacing, reset and undo; the 17x17 point mode and the stored maps; the User Map
// editor and its table transfer. Everything acts on the session's current window and never
// reads a widget. Chains that wait for the box are operations; requests nobody waits for are
// posted in order behind them.

#include "link/Operation.h"
#include "protocol/Request.h"
#include "warp/ControlGrid.h"
#include "warp/WarpAdjustState.h"
#include "warp/WarpState.h"

#include <QObject>

#include <cstdint>

namespace trivel {

// Chunks of one source table in a User Map transfer; a transfer sends two tables.
inline constexpr int kUserMapChunksPerTable = 44;

class FrameView;
class Request;
class Session;
struct SendOptions;

class Warp {
public:
    explicit Warp(Session& s);
    Warp(const Warp&) = delete;
    Warp& operator=(const Warp&) = delete;
    ~Warp();

    WarpState& state() { return m_state; }
    const WarpState& state() const { return m_state; }
    WarpAdjustState& adjust() { return m_adjust; }
    const WarpAdjustState& adjust() const { return m_adjust; }
    WarpModel& model(int window) { return m_state.model.at(std::size_t(window & 3)); }
    const WarpModel& model(int window) const { return m_state.model.at(std::size_t(window & 3)); }
    // The model of the current window; WarpWindow follows the current window.
    WarpModel& currentModel();

    // A chain of the box runs (a warp step awaiting its reply, or any operation holding the
    // link): modes, moves, undo and map loads wait for its end.
    bool busy() const;

    // ---- Warp Adjust page ----
    // Pattern colour, selected point and cursor of the current window, as the page comes up.
    void showAdjustPage();
    // Mode 0..4 or WALL. Nothing while the pages refresh, while a chain runs, or when the mode
    // is already selected; the mode group stays disabled until the box's tables are read back.
    Operation<void> selectMode(int mode);
    // One step of the cursor over the mode's points.
    void moveCursor(WarpDir dir);
    // The selected point by the move step (1 with the fine step), clamped to -600..600. Refused
    // while a chain runs (a move awaiting its echo included) or a window switch is under way.
    Operation<void> movePoint(WarpDir dir);
    // The cursor straight on a point of the current mode (trivelctl): a 9 x 5 point in the
    // box-side modes, a 17 x 17 point in the point mode. False, and nothing sent, for a point the
    // mode does not have.
    bool selectPoint(int column, int row);
    void setMoveStep(int step);
    // Shift+arrow: moves use step 1 while set.
    void setFineStep(bool on) { m_adjust.FineStep = on; }
    void setPatternColour(int index);
    // The same for any window, awaiting the box's reply (camera alignment shows and hides the
    // test grid this way, one window after another).
    Operation<void> showPatternColour(int window, int index);
    // While a move or grid change awaits its reply the track bar springs back.
    Operation<void> setGridSpacing(int spacing);
    // Asks, then clears the offsets of the mode and sends the tables again.
    Operation<void> reset();
    // Replays the opposite of the window's last recorded action.
    Operation<void> undo();
    // WPLRVal and WPUDVal from the selected point of the current window's mode.
    void showPointValues();
    // The mode button of the current window's mode down, the others up.
    void showMode();
    // The Warp Adjust controls of the current window: mode buttons, step, pattern, grid spacing.
    void refreshAdjust();
    // The window's undo history, oldest first.
    int undoCount(int window) const;
    WarpUndoRecord undoAt(int window, int index) const;

    // ---- the box's warp blocks (0x1007..0x1009) ----
    // The read after a mode change; the mode group comes back at its end.
    Operation<void> readTablesBack();
    void storeControlOffsets(const FrameView& reply, int firstWindow);
    void storeWallAndKeystone(const FrameView& reply);
    void storeModes(const FrameView& reply);

    // ---- 17x17 point mode and stored maps ----
    // A grid the splines cannot pass through leaves everything as it was and says so.
    void enterPointMode();
    // A whole 17x17 set of point offsets for a window (camera alignment): the model takes them,
    // the three point chunks go out, then the point mode.
    Operation<void> sendPointOffsets(int window, GridArray<OffsetPair> offsets);
    // User map 1..10 (slot 0..9).
    void selectUserMap(int slot);
    // Stores the window's map in slot 0..9 and selects it once the box confirms.
    Operation<void> saveUserMap(int slot);
    // Reads the map of the last selected slot back into the tool.
    Operation<void> loadUserMap();
    // Whether slot 0..9 holds a map for the current window, asked without selecting it.
    Operation<bool> slotHoldsMap(int slot);
    // The current window's 17x17 point offsets as they stand, in three chunks, then the point at
    // the cursor; the window must be in point mode (enterPointMode).
    Operation<void> sendPointOffsets();

    // ---- User Map editor ----
    void showUserMapPage();
    // Pattern 0..7.
    void selectUserMapPattern(int pattern);
    void moveUserMapCursor(WarpDir dir);
    // The point (or, in line mode, its row or column) by the edit step, then the tables.
    Operation<void> editUserMapPoint(WarpDir dir);
    void setEditStep(int step);
    void setUserMapPatternColour(int index);
    void setLineMode(bool on) { m_adjust.userMap.LineMode = on; }
    Operation<void> resetUserMap();
    // A grid the splines cannot pass leaves everything as it was and says so.
    Operation<void> undoUserMap();
    // The User Map controls of the current window: pattern button, edit step, pattern colour.
    void refreshUserMap();
    int userMapUndoCount(int window) const;
    // The current window's source tables whole, as they stand: 44 x-chunks, 44 y-chunks and the
    // apply, with no short first transfer (trivelctl warp push).
    Operation<void> transferTables();
    // Chunks of the running table transfer the box has acknowledged (0..88).
    int chunksAcknowledged() const;

    // Requests of the warp state, for the setting transfer as for the chains here.
    Request selectedPointRequest();
    Request controlCursorRequest(bool shown);
    Request gridCursorRequest();
    Request pointRequest(std::size_t window, CursorPos at);
    Request bulkControlRequest(std::size_t window, int mode, Clear clear = Clear::Frame) const;
    Request bulkCornerRequest(std::size_t window, int mode) const;
    Request pointChunkRequest(std::size_t window, int chunk) const;

private:
    enum class TransferPhase { None, X, Y, Apply };

    std::size_t windowIndex() const;
    bool linked() const;
    void post(const Request& request, const SendOptions& options);
    void post(const Request& request);


    // Undo entries.
    void recordUndo(const WarpUndoRecord& entry, std::size_t window);
    void recordUndo(const WarpUndoRecord& entry);
    void showModeButtons(int mode);

    // Chains.
    Operation<void> reselect(std::size_t window, int mode);
    Operation<void> changeMode(std::size_t window, int mode);
    Operation<void> awaitAck(Request request);
    Operation<void> sendStep(Request request, SendOptions options);
    Operation<void> moveControlPoint(
        Request request, std::size_t window, int point, bool horizontal, int before, WarpUndoRecord entry);
    Operation<void> pointModeMove(int dx, int dy);
    Operation<void> resetChain(std::size_t window);
    Operation<void> saveChain(std::size_t window, int slot);
    Operation<void> loadChain(std::size_t window);
    void storePointBytes(WarpModel& m, const FrameView& reply, std::size_t at, std::size_t n);
    void showPointModeEntered(WarpModel& m);
    void replay(const WarpUndoRecord& r, Operation<void>& started);

    // User Map editor.
    int editStep();
    void recordUserMapEdit(OffsetPair old);
    bool editPoint(int column, int row, int dx, int dy);
    Operation<void> rebuildAndTransfer();
    Operation<void> sendWallOffsets();
    Request wallRequest();
    Operation<void> startTransfer();
    Operation<void> transferChain(std::size_t window);

    Session& m_s;
    WarpState m_state;
    WarpAdjustState m_adjust;
    // A 95X / 95Y move awaits the box's echo: an undo that replays it keeps its step until then.
    bool m_awaitingEcho = false;
    TransferPhase m_phase = TransferPhase::None;
    // Reports a wrong reply to an x chunk as the transfer always has.
    QObject m_context;
};

} // namespace trivel
