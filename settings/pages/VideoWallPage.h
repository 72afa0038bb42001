#pragma once
// The Video Wall page: zoom and pan, overscan, orientation, reset.

#include "widgets/PageWidget.h"

#include <array>
#include <vector>

class QLabel;
class QLineEdit;
class QScrollBar;

namespace trivel {

class Settings;

class SettingSlider;

class VideoWallPage : public PageWidget {
    Q_OBJECT
public:
    VideoWallPage(Session& s, Settings& settings, QWidget* parent = nullptr);

    // Refills the controls from the current window's caches (SessionEvents::refreshPages).
    void refill();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Settings& m_settings;
    void buildWall();
    void buildOrientation();
    // EditOleKeyPress / EditOleKeyDown and their siblings; true when the key was used.
    bool overscanKey(std::size_t side, int key);
    void RotImgClick(int tag);

    std::vector<SettingSlider*> m_sliders; // in the order the refresh sets them
    std::array<QScrollBar*, 4> m_overscan{};
    std::array<QLineEdit*, 4> m_edits{};
    std::array<QLabel*, 6> m_images{};
    QButtonGroup* m_rotations = nullptr;
};

} // namespace trivel
