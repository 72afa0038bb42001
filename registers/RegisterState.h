#pragma once
// RegGrid's contents and the register page's flags: the core never reads the grid widget.

#include <QString>

#include <array>
#include <functional>

namespace trivel {

inline constexpr int kRegisterCount = 128;

struct RegisterState {
    // Value cells by address (column c, row r from 1: address r * 16 + c - 17); cell 0 holds the
    // bank number.
    std::array<QString, kRegisterCount> Cells;
    int SelectedCol = 1;
    int SelectedRow = 1;
    bool EditCommitted = false;
    bool ReadPending = false;
    bool Selecting = false;
    // The page repaints a cell when the core changed it.
    std::function<void(int address)> cellChanged;
};

} // namespace trivel
