#pragma once
// The Image page: picture sliders, colour preset, output modes and inputs.

#include "app/PageWidget.h"

namespace trivel {

class ImagePage : public PageWidget {
    Q_OBJECT
public:
    explicit ImagePage(Session& s, QWidget* parent = nullptr);

signals:
    // An output-mode button (Tag = OPM code) or an input button (Tag = input) was clicked.
    void outputModeClicked(int tag);
    void inputClicked(int tag);
};

} // namespace trivel
