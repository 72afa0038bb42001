#pragma once
// The chip register service: the grid of one bank of the video chip's registers, read and written
// on the box's current window. The page and trivelctl drive it; the grid it holds is what the
// page shows (the core never reads the widget).

#include "link/Operation.h"
#include "protocol/Request.h"
#include "registers/RegisterState.h"

#include <QString>

namespace trivel {

class Session;

// Address of the value cell in column c, row r (both from 1), or -1 outside the value cells.
constexpr int RegisterAddress(int col, int row)
{
    return col >= 1 && col <= 16 && row >= 1 && row <= 8 ? row * 16 + col - 17 : -1;
}

class Registers {
public:
    explicit Registers(Session& s);

    RegisterState& grid() { return m_grid; }
    const RegisterState& grid() const { return m_grid; }

    // Every value cell "00" and the display labels at their start texts.
    void reset();

    // The whole bank named in cell 0, or only the selected register.
    Operation<void> readBank();
    Operation<void> readSelected();

    // Typing in a cell changes the grid only; Enter commits, and a committed value (hex, 00..FF,
    // anything else counts as 00) is written to the box.
    void noteEnter() { m_grid.EditCommitted = true; }
    void editCell(int col, int row, const QString& text);
    void selectCell(int col, int row);
    // One bit of the selected register, written at once.
    void setBit(int bit, bool on);
    // The hex form of a decimal number typed into the converter.
    void showHex(const QString& decimal);
    // The request of the page's unlabelled button; the box does not answer it.
    void sendTestRequest();

    // A bank read or a single write, as trivelctl asks for them.
    Operation<void> write(int address, int value);

private:
    void setCell(int address, const QString& text);
    int selectedAddress() const;
    int bank() const;
    Operation<void> read(Request request);

    Session& m_s;
    RegisterState m_grid;
};

} // namespace trivel
