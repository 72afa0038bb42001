#pragma once
// The EDID page (TntTabSheet5): one group per input with its timing.

#include "widgets/PageWidget.h"

#include <array>
#include <vector>

class QComboBox;
class QLabel;
class QSlider;

namespace trivel {

class Settings;

class EdidPage : public PageWidget {
    Q_OBJECT
public:
    EdidPage(Session& s, Settings& settings, QWidget* parent = nullptr);

private:
    Settings& m_settings;
    struct Group {
        QGroupBox* frame;
        QSlider* width;
        QSlider* height;
        QComboBox* combo;
        QPushButton* apply;
        // What only counts with "Customize": the size rows' captions, values and units.
        std::vector<QWidget*> custom;
    };
    // RefreshPages steps 5 and 9 for this page.
    void refill();
    void enableCustom(int input, bool on);

    std::array<Group, 4> m_groups{};
};

} // namespace trivel
