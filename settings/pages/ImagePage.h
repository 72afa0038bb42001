#pragma once
// The Image page: picture sliders, colour preset, output modes with deep colour and HDCP output,
// and the inputs.

#include "widgets/PageWidget.h"

#include <array>
#include <vector>

class QCheckBox;
class QComboBox;
class QScrollBar;

namespace trivel {

class Settings;

class SettingSlider;

class ImagePage : public PageWidget {
    Q_OBJECT
public:
    ImagePage(Session& s, Settings& settings, QWidget* parent = nullptr);

    // Refills the controls from the current window's caches (SessionEvents::refreshPages).
    void refill();

signals:
    // An output-mode button (Tag = OPM code) or an input button (Tag = input) was clicked.
    void outputModeClicked(int tag);
    void inputClicked(int tag);

private:
    Settings& m_settings;
    void buildPicture();
    void buildColour();
    void buildOutput();
    void buildInput();

    std::vector<SettingSlider*> m_sliders; // in the order the refresh sets them
    QComboBox* m_colour = nullptr;
    QCheckBox* m_deepColour = nullptr;
    QButtonGroup* m_hdcp = nullptr;
    QButtonGroup* m_outputs = nullptr;
    QButtonGroup* m_inputs = nullptr;
};

} // namespace trivel
