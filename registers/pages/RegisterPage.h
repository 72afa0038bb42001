#pragma once
// The chip register page (TntTabSheet6, "K410 Reg"); its tab stays hidden.

#include "widgets/PageWidget.h"

class QTableWidget;

namespace trivel {
class Registers;

class RegisterPage : public PageWidget {
    Q_OBJECT
public:
    RegisterPage(Session& s, Registers& registers, QWidget* parent = nullptr);
    ~RegisterPage() override;

private:
    void showCell(int address);

    Registers& m_registers;
    QTableWidget* m_grid = nullptr;
    bool m_painting = false; // cell texts written by the core raise no edit event
};

} // namespace trivel
