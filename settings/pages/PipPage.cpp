#include "settings/pages/PipPage.h"

#include "session/Operations.h"
#include "session/Session.h"
#include "settings/Controls.h"
#include "settings/EdidLogic.h"
#include "settings/PipLogic.h"
#include "settings/SettingBinding.h"
#include "settings/Settings.h"
#include "settings/pages/SettingSlider.h"
#include "settings/pages/SliderRow.h"

namespace trivel {

namespace {

constexpr const char* kSliderRows[] = {"PIZ", "PIH", "PIV", "PLO", "PRO", "PTO", "PBO"};
// Wide enough for "Bottom".
constexpr int kCaptionWidth = 58;

} // namespace

PipPage::PipPage(Session& s, Settings& settings, QWidget* parent)
    : PageWidget(s, parent)
    , m_settings(settings)
{
    const struct {
        const char* title;
        std::array<const char*, 6> items;
        QRect geometry;
    } groups[] = {
        {"Display", {"Off", "PiP", "POP1", "POP2"}, QRect(8, 8, 300, 52)},
        {"Ratio", {"Full Screen", "Original"}, QRect(8, 66, 300, 52)},
        {"Input", {"HDMI-1", "HDMI-2", "DP", "VGA"}, QRect(8, 124, 300, 52)},
        {"Orientation", {"Normal", "90", "270", "H Mirror", "V Mirror", "HV Mirror"}, QRect(8, 240, 610, 52)},
    };
    for (int g = 0; g < kPipGroups; ++g) {
        auto* box = build::Group(
            this, &ctl::PipGroups[std::size_t(g)], QString::fromLatin1(groups[g].title), groups[g].geometry);
        const int n = PipGroupItemCount(g);
        const int column = (groups[g].geometry.width() - 16) / n;
        for (int i = 0; i < n; ++i) {
            auto* r = new QRadioButton(QString::fromLatin1(groups[g].items[std::size_t(i)]), box);
            r->setGeometry(10 + i * column, 22, column - 1, 22);
            connect(
                r, &QRadioButton::clicked, this, [this, g, i] { Launch(m_s, m_settings.choosePip(g, i)); });
        }
        m_groups[std::size_t(g)] = box;
    }
    // "Off" is chosen at design time; "90" and "270" are not offered at start-up.
    m_groups[0]->findChildren<QRadioButton*>().front()->setChecked(true);
    const auto orientation = m_groups[3]->findChildren<QRadioButton*>();
    orientation[1]->setEnabled(false);
    orientation[2]->setEnabled(false);

    auto* position = build::Group(this, nullptr, QStringLiteral("Size / Position"), QRect(318, 8, 300, 104));
    const char* positionCaptions[] = {"Size", "H Pos", "V Pos"};
    const char* positionTips[] = {"Size of the inset picture, 0..100",
        "Horizontal position of the inset picture, 0..100", "Vertical position of the inset picture, 0..100"};
    for (std::size_t i = 0; i < 3; ++i) {
        auto row = build::MakeSliderRow(position, ctl::PipSliders[i], ctl::PipSliderLabels[i],
            QString::fromLatin1(positionCaptions[i]), 10, 22 + int(i) * 26, 280, kCaptionWidth);
        build::SetRowTip(row, QString::fromLatin1(positionTips[i]));
        auto* bind = new SettingSlider(row.bar, m_settings, *FindBinding(kSliderRows[i]),
            [label = row.value](int v) { label->setText(QString::number(v)); });
        // These store in their end-of-scroll handler, with the send.
        bind->setStoreOnScroll(true);
        row.value->setText(QStringLiteral("0"));
        m_bars[i] = row.bar;
    }
    auto* overlap = build::Group(this, nullptr, QStringLiteral("Overlap"), QRect(318, 118, 300, 130));
    const char* overlapCaptions[] = {"Left", "Right", "Top", "Bottom"};
    for (std::size_t i = 0; i < 4; ++i) {
        auto row = build::MakeSliderRow(overlap, ctl::PipOverlaps[i], ctl::PipOverlapLabels[i],
            QString::fromLatin1(overlapCaptions[i]), 10, 22 + int(i) * 26, 280, kCaptionWidth);
        build::SetRowTip(row,
            QStringLiteral("Overlap of the two pictures at the %1 edge, -1800..1800")
                .arg(QString::fromLatin1(overlapCaptions[i]).toLower()));
        new SettingSlider(row.bar, m_settings, *FindBinding(kSliderRows[3 + i]),
            [label = row.value](int v) { label->setText(QString::number(v)); });
        row.value->setText(QStringLiteral("0"));
        m_bars[3 + i] = row.bar;
    }

    m_res = build::Make<QLabel>(
        this, ctl::STPIPRes, QStringLiteral("- - - - - - - -"), QRect(318, 300, 180, 20));
    m_res->setAlignment(Qt::AlignCenter);
    connect(&s.events, &SessionEvents::refreshPages, this, &PipPage::refill);
}

void PipPage::refill()
{
    if (m_s.flag(Flag::PipCapable)) {
        for (int g = 0; g < kPipGroups; ++g)
            m_s.ui.set(ctl::PipGroups[std::size_t(g)], Prop::ItemIndex, PipGroupItem(m_s, g));
        for (std::size_t i = 0; i < m_bars.size(); ++i)
            m_bars[i]->setValue(CachedSetting(m_s, *FindBinding(kSliderRows[i]), m_s.CurrentWindow));
        // Each window has its own inputs on this box.
        const auto captions = InputCaptions(m_s);
        const auto items = m_groups[2]->findChildren<QRadioButton*>();
        for (int i = 0; i < items.size() && i < 4; ++i)
            items[i]->setText(captions[std::size_t(i)]);
    }
    m_s.ui.setCaption(ctl::STPIPRes, PipResolutionText(m_s));
}

} // namespace trivel
