#pragma once
// The Firmware Update page.

#include "widgets/PageWidget.h"

#include <functional>

namespace trivel {

class Firmware;

class FirmwarePage : public PageWidget {
    Q_OBJECT
public:
    FirmwarePage(Session& s, Firmware& firmware, QWidget* parent = nullptr);

    // OpenDialog1 (no filter): the chosen file, or an empty string when cancelled. Tests
    // replace it.
    std::function<QString()> OpenDialog1;

public slots:
    void BtnLoadClick();
    void ProgBtnClick();

private:
    Firmware& m_firmware;
};

} // namespace trivel
