#pragma once
// A main window on a virtual clock with the GUI's UI port, a link without USB devices and,
// on demand, an in-process box that records every frame.

#include "app/GuiUi.h"
#include "app/MainWindow.h"
#include "box/Box.h"
#include "app/ProgressPanel.h"
#include "app/WaitWindow.h"
#include "link/Clock.h"
#include "link/HidBackend.h"
#include "box/Connection.h"
#include "session/Session.h"
#include "session/Session.h"
#include "support/FakeBoxTransport.h"

#include <QTemporaryDir>

#include <memory>

namespace trivel::test {

class NoHid final : public HidBackend {
public:
    std::vector<HidDeviceInfo> enumerate(std::uint16_t, std::uint16_t) override { return {}; }
    std::unique_ptr<HidDevice> open(std::uint16_t, std::uint16_t) override { return nullptr; }
};

struct AppFixture {
    QTemporaryDir lockDir;
    VirtualClock clock;
    GuiUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    Connection connection{s, std::make_unique<NoHid>(), lockDir.path()};
    TMainForm form{tool, connection, ui};
    TForm1 wait{clock};

    sim::BoxModel box;
    std::unique_ptr<FakeBoxTransport> link;

    AppFixture() { ui.setWaitWindow(&wait); }
    ~AppFixture()
    {
        s.setTransport(nullptr);
        ui.setWaitWindow(nullptr);
    }

    // A connected box that answers every frame; sentCodes records the requests.
    FakeBoxTransport& connectFakeBox()
    {
        link = std::make_unique<FakeBoxTransport>(box);
        link->setReplySink(
            [this](const std::uint8_t* b, std::size_t n, bool rid) { DeliverReply(s, b, n, rid); });
        s.setTransport(link.get());
        s.setFlag(Flag::Connected, true);
        link->useClock(&clock);
        return *link;
    }

    template <class T = QWidget> T* find(const char* name)
    {
        return form.findChild<T*>(QString::fromLatin1(name));
    }
};

} // namespace trivel::test
