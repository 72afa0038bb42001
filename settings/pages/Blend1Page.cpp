#include "settings/pages/Blend1Page.h"

#include "session/Operations.h"
#include "session/Session.h"
#include "settings/BlendLogic.h"
#include "settings/Controls.h"
#include "settings/SettingBinding.h"
#include "settings/Settings.h"
#include "settings/pages/SettingSlider.h"
#include "settings/pages/SliderRow.h"

#include <QCheckBox>
#include <QTabWidget>

namespace trivel {

namespace {

const char* const kSides[] = {"Left", "Right", "Top", "Bottom"};
const char* const kChannels[] = {"Red", "Green", "Blue"};

std::function<void(int)> Number(QLabel* l)
{
    return [l](int v) { l->setText(QString::number(v)); };
}

} // namespace

Blend1Page::Blend1Page(Session& s, Settings& settings, QWidget* parent)
    : PageWidget(s, parent)
    , m_settings(settings)
{
    buildEdges();
    buildShifts();
    buildGamma();
    connect(&s.events, &SessionEvents::refreshBlendPages, this, &Blend1Page::refill);
    connect(&s.events, &SessionEvents::refreshPages, this, &Blend1Page::refillMarker);
}

// A reset button: its operation, then the sliders from the records it has reset.
void Blend1Page::addReset(QWidget* parent, const Control& c, Reset reset, const QRect& r)
{
    auto* b = build::Make<QPushButton>(parent, c, QStringLiteral("Reset"), r);
    connect(b, &QPushButton::clicked, this, [this, reset] {
        Launch(m_s, reset(m_settings));
        refill();
    });
}

void Blend1Page::buildEdges()
{
    auto* edge = build::Group(this, nullptr, QStringLiteral("Edge"), QRect(8, 4, 300, 162));
    const char* widthRows[] = {"LEB", "REB", "TEB", "BEB"};
    for (int side = 0; side < 4; ++side) {
        auto row = build::MakeSliderRow(edge, ctl::EdgeWidths[std::size_t(side)],
            ctl::EdgeWidthLabels[std::size_t(side)], QString::fromLatin1(kSides[side]), 10, 22 + side * 26,
            280, 50, QStringLiteral("off"));
        build::SetRowTip(row,
            QStringLiteral(
                "Blend width of the %1 edge in pixels; the lowest position, 0, turns its blend off")
                .arg(QString::fromLatin1(kSides[side]).toLower()));
        const SettingBinding* b = FindBinding(widthRows[side]);
        // 49, the lowest position, means no blend: stored and shown as 0, and said so.
        auto* bind = new SettingSlider(row.bar, m_settings, *b, [label = row.value, unit = row.unit](int v) {
            label->setText(QString::number(v >= 50 ? v : 0));
            unit->setText(v >= 50 ? QStringLiteral("px") : QStringLiteral("off"));
        });
        bind->setStore([this, side](int v) { SBEdgeChange(m_s, side, v); });
        row.value->setText(QString::number(b->start));
        row.unit->setText(b->start >= 50 ? QStringLiteral("px") : QStringLiteral("off"));
        m_bound.emplace_back(row.bar, b);
    }
    m_marker = build::Make<QCheckBox>(
        edge, ctl::BlendMarkerEn, QStringLiteral("Show Marker"), QRect(12, 128, 120, 22));
    // Runs for a change by code too: a refresh that changes the box sends the marker as well.
    connect(m_marker, &QCheckBox::toggled, this,
        [this](bool on) { Launch(m_s, m_settings.showBlendMarker(on)); });
    addReset(
        edge, ctl::BtnEdgeReset, [](Settings& st) { return st.resetEdgeWidths(); }, QRect(200, 124, 88, 28));
}

void Blend1Page::buildShifts()
{
    auto* shift = build::Group(this, nullptr, QStringLiteral("Shift"), QRect(8, 170, 300, 162));
    const char* shiftRows[] = {"EFL", "EFR", "EFT", "EFB"};
    for (int side = 0; side < 4; ++side) {
        auto row = build::MakeSliderRow(shift, ctl::EdgeShifts[std::size_t(side)],
            ctl::EdgeShiftLabels[std::size_t(side)], QString::fromLatin1(kSides[side]), 10, 22 + side * 26,
            280, 50, QStringLiteral("px"));
        build::SetRowTip(row,
            QStringLiteral("Moves the blend region of the %1 edge, in pixels")
                .arg(QString::fromLatin1(kSides[side]).toLower()));
        const SettingBinding* b = FindBinding(shiftRows[side]);
        new SettingSlider(row.bar, m_settings, *b, Number(row.value));
        row.value->setText(QStringLiteral("0"));
        m_bound.emplace_back(row.bar, b);
    }
    addReset(
        shift, ctl::BtnShiftRst, [](Settings& st) { return st.resetEdgeShifts(); }, QRect(200, 124, 88, 28));
}

void Blend1Page::buildGamma()
{
    auto* gamma = build::Group(this, nullptr, QStringLiteral("GAMMA"), QRect(318, 4, 300, 170));
    auto* sub = new QTabWidget(gamma);
    sub->setGeometry(6, 20, 288, 144);
    auto* transition = new QWidget;
    auto* gain = new QWidget;
    auto* offset = new QWidget;
    sub->addTab(transition, QStringLiteral("Transition  "));
    sub->addTab(gain, QStringLiteral("Gain"));
    sub->addTab(offset, QStringLiteral("Offset"));
    const char* transRows[] = {"EBR", "EBG", "EBB"};
    const char* gainRows[] = {"GGR", "GGG", "GGB"};
    for (int ch = 0; ch < 3; ++ch) {
        const auto c = std::size_t(ch);
        auto t = build::MakeSliderRow(transition, ctl::GammaTrans[c], ctl::GammaTransLabels[c],
            QString::fromLatin1(kChannels[ch]), 6, 6 + ch * 26, 270);
        const SettingBinding* tb = FindBinding(transRows[ch]);
        new SettingSlider(
            t.bar, m_settings, *tb, [label = t.value](int v) { label->setText(TransitionGammaText(v)); });
        t.bar->setSingleStep(10);
        t.bar->setPageStep(10);
        t.value->setText(TransitionGammaText(tb->start));
        m_bound.emplace_back(t.bar, tb);

        auto g = build::MakeSliderRow(gain, ctl::GammaGains[c], ctl::GammaGainLabels[c],
            QString::fromLatin1(kChannels[ch]), 6, 6 + ch * 26, 270);
        const SettingBinding* gb = FindBinding(gainRows[ch]);
        new SettingSlider(g.bar, m_settings, *gb, Number(g.value));
        g.value->setText(QString::number(gb->start));
        m_bound.emplace_back(g.bar, gb);
    }
    auto o
        = build::MakeSliderRow(offset, ctl::SCBias, ctl::STBiasVal, QStringLiteral("Offset"), 6, 6, 270, 50);
    const SettingBinding* ob = FindBinding("EBL");
    new SettingSlider(
        o.bar, m_settings, *ob, [label = o.value](int v) { label->setText(GammaOffsetText(v)); });
    o.value->setText(GammaOffsetText(ob->start));
    m_bound.emplace_back(o.bar, ob);

    addReset(
        transition, ctl::BtnGammaTransReset, [](Settings& st) { return st.resetTransitionGamma(); },
        QRect(188, 84, 88, 26));
    addReset(
        gain, ctl::BtnGammaGainReset, [](Settings& st) { return st.resetGammaGain(); },
        QRect(188, 84, 88, 26));
    addReset(
        offset, ctl::BtnBtnGammaBiasReset, [](Settings& st) { return st.resetGammaOffset(); },
        QRect(188, 84, 88, 26));
}

void Blend1Page::refill()
{
    // Values below a slider's range show at its minimum (ResetWindowSettings gives the
    // transitions 50 with a range of 90..300); the slider's change handler stores what it shows.
    for (const auto& [bar, row] : m_bound)
        bar->setValue(CachedSetting(m_s, *row, m_s.CurrentWindow));
}

void Blend1Page::refillMarker()
{
    m_marker->setChecked(m_s.settings().BlendMarker[std::size_t(m_s.CurrentWindow & 3)] != 0);
}

} // namespace trivel
