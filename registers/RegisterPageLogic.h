#pragma once
// Handlers of the chip register page and its reply steps (PendingOp 33024, 33025). They work on
// the session's copy of RegGrid, so tests and trivelctl drive them without widgets.

#include <QString>

#include <cstdint>
#include <span>

namespace trivel {

class Session;

// Start-up: every value cell "00", the display labels at their start texts.
void InitRegisterGrid(Session& s);

// Address of the value cell in column c, row r (both from 1), or -1 outside the value cells.
constexpr int RegisterAddress(int col, int row)
{
    return col >= 1 && col <= 16 && row >= 1 && row <= 8 ? row * 16 + col - 17 : -1;
}

void BtnReadBankClick(Session& s);
void RegGridDblClick(Session& s);
void RegGridKeyPress(Session& s, QChar key);
void RegGridSetEditText(Session& s, int col, int row, const QString& text);
void RegGridSelectCell(Session& s, int col, int row);
void CBBitClick(Session& s, int bit, bool checked);
void EdIntToHexChange(Session& s, const QString& text);
void TntButton3Click(Session& s);

void RegisterStep(Session& s, int op);

} // namespace trivel
