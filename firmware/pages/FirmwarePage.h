#pragma once
// The Firmware Update page.

#include "app/PageWidget.h"

namespace trivel {

class FirmwarePage : public PageWidget {
    Q_OBJECT
public:
    explicit FirmwarePage(Session& s, QWidget* parent = nullptr);
};

} // namespace trivel
