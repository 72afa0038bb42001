// The table of settings and the slider binding built on it.

#include "link/Clock.h"
#include "box/Box.h"
#include "protocol/SettingCodec.h"
#include "session/Session.h"
#include "session/Session.h"
#include "settings/SettingBinding.h"
#include "settings/pages/SettingSlider.h"
#include "support/FakeBoxTransport.h"
#include "support/RecordingUi.h"

#include <QScrollBar>
#include <QSet>
#include <QSlider>

#include <gtest/gtest.h>

using namespace trivel;
using namespace trivel::test;

namespace {

struct BoundSession {
    VirtualClock clock;
    RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    sim::BoxModel box;
    FakeBoxTransport link{box};

    BoundSession()
    {
        link.delivery = Delivery::Synchronous;
        link.attach(s);
    }

    // The setting texts sent since the last call.
    std::vector<std::string> sent()
    {
        std::vector<std::string> texts;
        for (const auto& f : link.sent)
            if (f.size() >= 20 && f[4] == 0x02 && f[5] == 0x10)
                texts.emplace_back(reinterpret_cast<const char*>(f.data()) + 8, 10);
        link.sent.clear();
        return texts;
    }
};

} // namespace

TEST(SettingBindings, EveryRowIsWellFormed)
{
    QSet<QString> mnemonics;
    for (const SettingBinding& b : SettingBindings()) {
        SCOPED_TRACE(b.mnemonic);
        EXPECT_FALSE(mnemonics.contains(QString::fromLatin1(b.mnemonic))) << "listed twice";
        mnemonics.insert(QString::fromLatin1(b.mnemonic));
        EXPECT_EQ(&Binding(b.id), &b) << "the id names its own row";
        EXPECT_EQ(FindSetting(b.mnemonic), b.id);
        const std::string_view tpl = b.tpl;
        ASSERT_EQ(tpl.size(), 10u);
        EXPECT_EQ(tpl.substr(3, 3), b.mnemonic);
        EXPECT_TRUE(tpl.substr(0, 3) == "s00" || tpl.substr(0, 3) == "S00");
        EXPECT_LE(b.minimum, b.maximum);
        if (b.trigger != Trigger::Command) {
            EXPECT_TRUE(InRange(b, b.start)) << b.start;
        }
    }
    EXPECT_EQ(FindBinding("BRI")->start, 50);
    EXPECT_EQ(FindBinding("NOPE"), nullptr);
}

TEST(SettingBindings, CacheFieldsRoundTripOverTheWholeRange)
{
    VirtualClock clock;
    RecordingUi ui;
    Box tool(clock, ui);
    Session& s = tool.session;
    for (const SettingBinding& b : SettingBindings()) {
        if (!b.cached())
            continue;
        SCOPED_TRACE(b.mnemonic);
        for (int w = 0; w < 4; ++w) {
            s.CurrentWindow = w;
            for (int v : {b.minimum, b.maximum, (b.minimum + b.maximum) / 2}) {
                StoreSetting(s, b, v);
                EXPECT_EQ(CachedSetting(s, b, w), v) << "window " << w;
            }
        }
        // Each window keeps its own value.
        s.CurrentWindow = 1;
        StoreSetting(s, b, b.minimum);
        s.CurrentWindow = 2;
        StoreSetting(s, b, b.maximum);
        EXPECT_EQ(CachedSetting(s, b, 1), b.minimum);
    }
}

TEST(SettingBindings, SentValuesFollowTheVocabulary)
{
    const struct {
        const char* mnemonic;
        int position;
        int sent;
    } cases[] = {
        {"BRI", 61, 61},
        {"XHA", 5, 50},
        {"HZM", 2, 1},
        {"HPN", 1, 0},
        {"LEB", 49, 0},
        {"LEB", 50, 50},
        {"VKY", 2, 62},
        {"OLE", -1800, -1800},
        {"RXT", 0, 2},
        {"WWW", 0, 1920},
        {"MDN", 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SentValue(*FindBinding(c.mnemonic), c.position), c.sent) << c.mnemonic << " " << c.position;
}

TEST(SettingBindings, SettingWriteClearsTheBufferAndSendsOneFrame)
{
    BoundSession b;
    b.s.RequestBuffer.fill(0xAA);
    EXPECT_TRUE(b.tool.settings.sendValue(Setting::BRI, 70).succeeded());
    ASSERT_EQ(b.link.sent.size(), 1u);
    const auto& f = b.link.sent.front();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.data()) + 8, 12), "s00BRI+070\r\n");
    EXPECT_EQ(f[20], 0) << "the rest of the buffer was cleared";
    EXPECT_EQ(f[0], 0);
}

TEST(SettingSlider, ChangeStoresAndEndOfScrollSendsTheNewValue)
{
    BoundSession b;
    b.s.CurrentWindow = 1;
    QScrollBar bar(Qt::Horizontal);
    int shown = -1;
    SettingSlider bind(&bar, b.tool.settings, *FindBinding("BRI"), [&shown](int v) { shown = v; });
    EXPECT_EQ(bar.value(), 50);
    b.sent();

    // By code: stored and shown, never sent.
    bar.setValue(40);
    EXPECT_EQ(b.s.settings().WindowSettings.BRI[1], 40);
    EXPECT_EQ(shown, 40);
    EXPECT_TRUE(b.sent().empty());

    // An arrow click: the action comes before the value is applied, the new value goes out.
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(b.sent(), std::vector<std::string>{"s00BRI+041"});
    bar.triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(b.sent(), std::vector<std::string>{"s00BRI+031"});

    // A drag sends once, on release.
    bar.setSliderDown(true);
    for (int v : {35, 52, 70}) {
        bar.setSliderPosition(v);
        bar.triggerAction(QAbstractSlider::SliderMove);
    }
    EXPECT_TRUE(b.sent().empty());
    bar.setSliderDown(false);
    EXPECT_EQ(b.sent(), std::vector<std::string>{"s00BRI+070"});

    // An arrow at the end of the range moves nothing and sends nothing.
    bar.setValue(100);
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_TRUE(b.sent().empty());
}

TEST(SettingSlider, TransformedAndTrackBarRows)
{
    BoundSession b;
    QScrollBar xha(Qt::Horizontal);
    SettingSlider sharp(&xha, b.tool.settings, *FindBinding("XHA"));
    xha.setValue(4);
    xha.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(b.sent(), std::vector<std::string>{"s00XHA+050"});

    // EDID track bars send on every change, but not while the pages are refilled.
    QSlider width(Qt::Horizontal);
    SettingSlider edid(&width, b.tool.settings, *FindBinding("H2W"));
    b.sent();
    width.setValue(1925);
    EXPECT_EQ(b.sent(), std::vector<std::string>{"s00H2W1925"});
    b.s.setFlag(Flag::Refreshing, true);
    width.setValue(1930);
    EXPECT_TRUE(b.sent().empty());
    EXPECT_EQ(b.s.settings().WindowSettings.H2W[0], 1930);
}

TEST(SettingSlider, PipSlidersStoreAtTheEndOfTheScroll)
{
    BoundSession b;
    QScrollBar size(Qt::Horizontal);
    SettingSlider pip(&size, b.tool.settings, *FindBinding("PIZ"));
    pip.setStoreOnScroll(true);
    size.setValue(30);
    EXPECT_EQ(b.s.settings().PipSettings[0].bytes[PipRecord::PIZ], 0);
    size.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(b.s.settings().PipSettings[0].bytes[PipRecord::PIZ], 31);
    EXPECT_EQ(b.sent(), std::vector<std::string>{"s00PIZ+031"});
}
