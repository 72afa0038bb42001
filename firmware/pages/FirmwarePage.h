#pragma once
// The Firmware Update page.

#include "app/PageWidget.h"

#include <functional>

namespace trivel {

class FirmwarePage : public PageWidget {
    Q_OBJECT
public:
    explicit FirmwarePage(Session& s, QWidget* parent = nullptr);

    // OpenDialog1 (no filter): the chosen file, or an empty string when cancelled. Tests
    // replace it.
    std::function<QString()> OpenDialog1;

public slots:
    void BtnLoadClick();
    void ProgBtnClick();
};

} // namespace trivel
