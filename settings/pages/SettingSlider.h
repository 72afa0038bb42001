#pragma once
// Binds a slider (scroll bar or track bar) to its row of the settings table with the binding
// pattern of the settings pages: "change" runs on every position change, by the user or by code,
// shows and stores the position and never sends; "end of scroll" runs once after a thumb release,
// an arrow or page click, or a key, and sends the stored value. The EDID track bars send on every
// change instead, and the PIP sliders store in their end-of-scroll handler.

#include <QObject>

#include <functional>

class QAbstractSlider;

namespace trivel {

class Session;
class Settings;
struct SettingBinding;

class SettingSlider : public QObject {
    Q_OBJECT
public:
    // `show` writes the position (or what the page shows for it) into the value label.
    SettingSlider(QAbstractSlider* slider, Settings& settings, const SettingBinding& row,
        std::function<void(int)> show = {});

    const SettingBinding& row() const { return m_row; }
    QAbstractSlider* slider() const { return m_slider; }
    // Storing happens at the end of a scroll rather than on every change (the PIP sliders).
    void setStoreOnScroll(bool on) { m_storeOnScroll = on; }
    // A handler of the row's own instead of the plain store or send (edge widths store 0 below
    // 50, region and corner values select their point first); both get the position.
    void setStore(std::function<void(int)> store) { m_store = std::move(store); }
    void setSend(std::function<void(int)> send) { m_send = std::move(send); }

private:
    void changed(int position);
    void action(int action);
    void endOfScroll();
    void store(int position);
    void send(int position);

    QAbstractSlider* m_slider;
    Session& m_s;
    Settings& m_settings;
    const SettingBinding& m_row;
    std::function<void(int)> m_show;
    std::function<void(int)> m_store;
    std::function<void(int)> m_send;
    bool m_storeOnScroll = false;
    // An arrow, page or key action moved the position: its value change ends the scroll.
    bool m_endPending = false;
};

} // namespace trivel
