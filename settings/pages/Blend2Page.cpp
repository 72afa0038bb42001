#include "settings/pages/Blend2Page.h"

#include "session/Operations.h"
#include "session/Session.h"
#include "settings/BlendLogic.h"
#include "settings/Controls.h"
#include "settings/SettingBinding.h"
#include "settings/Settings.h"
#include "settings/pages/SettingSlider.h"
#include "settings/pages/SliderRow.h"

#include <QTabWidget>

namespace trivel {

namespace {

const char* const kChannels[] = {"Red", "Green", "Blue"};

// Checks the button of a selection, or none for a selection outside the buttons.
template <std::size_t N> void CheckSelection(Session& s, const ControlSet<N>& set, int selected)
{
    for (std::size_t i = 0; i < N; ++i)
        if (int(i) != selected)
            s.ui.setChecked(set[i], false);
    if (selected >= 0)
        s.ui.setChecked(set[std::size_t(selected)], true);
}

} // namespace

Blend2Page::Blend2Page(Session& s, Settings& settings, QWidget* parent)
    : PageWidget(s, parent)
    , m_settings(settings)
{
    buildColour();
    buildRegions();
    buildCorners();
    connect(&s.events, &SessionEvents::refreshBlendPages, this, &Blend2Page::refill);
}

void Blend2Page::buildColour()
{
    auto number = [](QLabel* l) { return [l](int v) { l->setText(QString::number(v)); }; };
    auto* colour = build::Group(this, nullptr, QStringLiteral("Color"), QRect(8, 4, 300, 170));
    auto* sub = new QTabWidget(colour);
    sub->setGeometry(6, 20, 288, 144);
    auto* gain = new QWidget;
    auto* offset = new QWidget;
    sub->addTab(gain, QStringLiteral("Gain"));
    sub->addTab(offset, QStringLiteral("Offset"));
    const char* gainRows[] = {"EGR", "EGG", "EGB"};
    const char* offsetRows[] = {"EOR", "EOG", "EOB"};
    for (int ch = 0; ch < 3; ++ch) {
        const auto c = std::size_t(ch);
        auto g = build::MakeSliderRow(gain, ctl::ColourGains[c], ctl::ColourGainLabels[c],
            QString::fromLatin1(kChannels[ch]), 6, 6 + ch * 26, 270);
        const SettingBinding* gb = FindBinding(gainRows[ch]);
        new SettingSlider(g.bar, m_settings, *gb, number(g.value));
        g.bar->setSingleStep(10);
        g.value->setText(QString::number(gb->start));
        m_colour.emplace_back(g.bar, gb);

        auto o = build::MakeSliderRow(offset, ctl::ColourOffsets[c], ctl::ColourOffsetLabels[c],
            QString::fromLatin1(kChannels[ch]), 6, 6 + ch * 26, 270);
        const SettingBinding* ob = FindBinding(offsetRows[ch]);
        new SettingSlider(o.bar, m_settings, *ob, number(o.value));
        o.value->setText(QString::number(ob->start));
        m_colour.emplace_back(o.bar, ob);
    }
    auto* gainReset = build::Make<QPushButton>(
        gain, ctl::BTNColorGainReset, QStringLiteral("Reset"), QRect(188, 84, 88, 26));
    connect(gainReset, &QPushButton::clicked, this, [this] {
        Launch(m_s, m_settings.resetColourGain());
        refill();
    });
    auto* offsetReset = build::Make<QPushButton>(
        offset, ctl::BTNColorBiasReset, QStringLiteral("Reset"), QRect(188, 84, 88, 26));
    connect(offsetReset, &QPushButton::clicked, this, [this] {
        Launch(m_s, m_settings.resetColourOffset());
        refill();
    });
}

void Blend2Page::buildRegions()
{
    auto number = [](QLabel* l) { return [l](int v) { l->setText(QString::number(v)); }; };
    // Black-level offsets of the selected region: the change only shows the position; the
    // end of the scroll stores it, selects the region's point and sends.
    auto* regions = build::Group(this, nullptr, QStringLiteral("Offset"), QRect(318, 4, 300, 130));
    build::RadioGrid(regions, ctl::RBOffsets, QPoint(14, 26));
    const char* blackRows[] = {"BCR", "BCG", "BCB"};
    for (int ch = 0; ch < 3; ++ch) {
        const auto c = std::size_t(ch);
        auto row = build::MakeSliderRow(regions, ctl::BlackOffsets[c], ctl::BlackOffsetLabels[c],
            QString::fromLatin1(kChannels[ch]), 136, 26 + ch * 28, 158, 40);
        auto* bind = new SettingSlider(row.bar, m_settings, *FindBinding(blackRows[ch]), number(row.value));
        bind->setStore([](int) {});
        bind->setSend([this, id = bind->row().id](int v) { Launch(m_s, m_settings.sendAtPoint(id, v)); });
        row.value->setText(QStringLiteral("0"));
        m_offsets[c] = row.bar;
    }
    for (std::size_t tag = 0; tag < ctl::RBOffsets.size(); ++tag) {
        auto* r = regions->findChild<QRadioButton*>(ctl::RBOffsets[tag].qname());
        connect(r, &QRadioButton::toggled, this, [this, tag](bool on) {
            if (!on)
                return;
            RBOffsetClick(m_s, int(tag));
            showRegion();
        });
    }
}

void Blend2Page::buildCorners()
{
    auto number = [](QLabel* l) { return [l](int v) { l->setText(QString::number(v)); }; };
    auto* corners = build::Group(this, nullptr, QStringLiteral("Corner"), QRect(318, 140, 300, 130));
    build::RadioGrid(corners, ctl::RBCorners, QPoint(14, 26));
    const char* cornerRows[] = {"EOX", "EOY"};
    const char* axes[] = {"X", "Y"};
    for (int axis = 0; axis < 2; ++axis) {
        const auto a = std::size_t(axis);
        auto row = build::MakeSliderRow(corners, ctl::CornerSliders[a], ctl::CornerLabels[a],
            QString::fromLatin1(axes[axis]), 136, 26 + axis * 28, 158, 20);
        auto* bind
            = new SettingSlider(row.bar, m_settings, *FindBinding(cornerRows[axis]), number(row.value));
        bind->setStore([](int) {});
        bind->setSend([this, id = bind->row().id](int v) { Launch(m_s, m_settings.sendAtPoint(id, v)); });
        row.value->setText(QString::number(FindBinding(cornerRows[axis])->start));
        m_corner[a] = row.bar;
    }
    for (std::size_t tag = 0; tag < ctl::RBCorners.size(); ++tag) {
        auto* r = corners->findChild<QRadioButton*>(ctl::RBCorners[tag].qname());
        connect(r, &QRadioButton::toggled, this, [this, tag](bool on) {
            if (!on)
                return;
            RBCornerClick(m_s, int(tag));
            showCorner();
        });
    }
}

void Blend2Page::showRegion()
{
    for (int ch = 0; ch < 3; ++ch)
        m_offsets[std::size_t(ch)]->setValue(BlackLevelValue(m_s, ch));
}

void Blend2Page::showCorner()
{
    for (int axis = 0; axis < 2; ++axis)
        m_corner[std::size_t(axis)]->setValue(BlendCornerValue(m_s, axis));
}

void Blend2Page::refill()
{
    for (const auto& [bar, row] : m_colour)
        bar->setValue(CachedSetting(m_s, *row, m_s.CurrentWindow));
    showRegion();
    showCorner();
    CheckSelection(m_s, ctl::RBOffsets, SelectedRegion(m_s));
    CheckSelection(m_s, ctl::RBCorners, SelectedCorner(m_s));
}

} // namespace trivel
