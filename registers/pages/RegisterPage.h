#pragma once
// The chip register page (TntTabSheet6, "K410 Reg"); its tab stays hidden.

#include "app/PageWidget.h"

namespace trivel {

class RegisterPage : public PageWidget {
    Q_OBJECT
public:
    explicit RegisterPage(Session& s, QWidget* parent = nullptr);
};

} // namespace trivel
