#include "settings/pages/EdidPage.h"

#include "session/Operations.h"
#include "session/Session.h"
#include "settings/Controls.h"
#include "settings/EdidLogic.h"
#include "settings/SettingBinding.h"
#include "settings/Settings.h"
#include "settings/pages/SettingSlider.h"
#include "settings/pages/SliderRow.h"

#include <QComboBox>

namespace trivel {

EdidPage::EdidPage(Session& s, Settings& settings, QWidget* parent)
    : PageWidget(s, parent)
    , m_settings(settings)
{
    const char* captions[] = {"HDMI 1", "HDMI 2", "DP 1", "VGA 1"};
    for (int i = 0; i < kEdidInputs; ++i) {
        const EdidGroup& g = EdidGroupOf(i);
        Group& ui = m_groups[std::size_t(i)];
        ui.frame = build::Group(this, &g.frame, QString::fromLatin1(captions[i]),
            QRect(8 + (i % 2) * 308, 8 + (i / 2) * 164, 300, 156));

        ui.combo = new QComboBox(ui.frame);
        ui.combo->setObjectName(g.combo.qname());
        ui.combo->setGeometry(12, 26, 170, 26);
        ui.combo->setToolTip(QStringLiteral("The timing this input offers the source (its EDID); "
                                            "\"Customize\" offers the width and height below"));
        for (int item = 0; item < EdidItemCount(i); ++item)
            ui.combo->addItem(EdidItemText(i, item));
        // Chosen by the user only: selecting an item by code runs no handler.
        connect(ui.combo, &QComboBox::activated, this, [this, i](int item) {
            const EdidChoice choice = EdidComboChange(m_s, i, item);
            if (choice == EdidChoice::Send)
                Launch(m_s, m_settings.sendCached(EdidCodeSetting(i)));
            enableCustom(i, choice == EdidChoice::Custom);
        });
        ui.apply
            = build::Make<QPushButton>(ui.frame, g.apply, QStringLiteral("Apply"), QRect(196, 24, 90, 30));
        connect(ui.apply, &QPushButton::clicked, this,
            [this, i] { Launch(m_s, m_settings.sendValue(EdidCodeSetting(i), kCustomTiming)); });

        // The size applies to "Customize" only; with any other timing it is greyed out.
        auto* customCaption = new QLabel(QStringLiteral("Custom size:"), ui.frame);
        customCaption->setGeometry(12, 54, 200, 16);
        auto width = build::MakeSliderRow<QSlider>(
            ui.frame, g.width, g.widthLabel, QStringLiteral("Width"), 12, 70, 276, 50, QStringLiteral("px"));
        build::SetRowTip(
            width, QStringLiteral("Width offered with \"Customize\", 1024..3840 pixels (in steps of 8)"));
        const SettingBinding* widthRow = FindBinding(g.widthMnemonic);
        auto* widthBind = new SettingSlider(width.bar, m_settings, *widthRow,
            [label = width.value](int v) { label->setText(QString::number(RoundedEdidWidth(v))); });
        // The label and the cache take the width rounded to 8; the box gets the position.
        widthBind->setStore([this, widthRow](int v) { StoreSetting(m_s, *widthRow, RoundedEdidWidth(v)); });
        widthBind->setSend([this, widthRow](int v) { Launch(m_s, m_settings.sendValue(widthRow->id, v)); });
        width.bar->setPageStep(8);
        width.bar->setTickInterval(256);
        width.bar->setTickPosition(QSlider::TicksBelow);
        width.value->setText(QStringLiteral("1920"));

        auto height = build::MakeSliderRow<QSlider>(ui.frame, g.height, g.heightLabel,
            QStringLiteral("Height"), 12, 112, 276, 50, QStringLiteral("px"));
        build::SetRowTip(height, QStringLiteral("Height offered with \"Customize\", 720..2400 pixels"));
        new SettingSlider(height.bar, m_settings, *FindBinding(g.heightMnemonic),
            [label = height.value](int v) { label->setText(QString::number(v)); });
        height.bar->setPageStep(8);
        height.bar->setTickInterval(240);
        height.bar->setTickPosition(QSlider::TicksBelow);
        height.value->setText(QStringLiteral("1080"));

        ui.width = width.bar;
        ui.height = height.bar;
        ui.custom = {
            customCaption, width.caption, width.value, width.unit, height.caption, height.value, height.unit};
        enableCustom(i, false);
    }
    connect(&s.events, &SessionEvents::refreshPages, this, &EdidPage::refill);
}

void EdidPage::enableCustom(int input, bool on)
{
    const Group& g = m_groups[std::size_t(input)];
    g.width->setEnabled(on);
    g.height->setEnabled(on);
    g.apply->setEnabled(on);
    for (QWidget* w : g.custom)
        w->setEnabled(on);
}

void EdidPage::refill()
{
    const int w = m_s.CurrentWindow;
    const auto captions = InputCaptions(m_s);
    for (int i = 0; i < kEdidInputs; ++i) {
        const EdidGroup& eg = EdidGroupOf(i);
        Group& g = m_groups[std::size_t(i)];
        g.width->setValue(CachedSetting(m_s, *FindBinding(eg.widthMnemonic), w));
        g.height->setValue(CachedSetting(m_s, *FindBinding(eg.heightMnemonic), w));
        g.combo->setCurrentIndex(EdidComboItem(m_s, i));
        enableCustom(i, g.combo->currentIndex() == g.combo->count() - 1);
        g.frame->setTitle(captions[std::size_t(i)]);
    }
}

} // namespace trivel
