#include "settings/pages/ImagePage.h"

#include "settings/Controls.h"
#include "settings/OutputModes.h"
#include "settings/pages/OutputGroup.h"

namespace trivel {

ImagePage::ImagePage(Session& s, QWidget* parent)
    : PageWidget(s, parent)
{
    auto* output = build::Group(this, &ctl::TntGroupBox6, QStringLiteral("Output"), QRect(318, 4, 300, 222));
    auto* outputs = new QButtonGroup(output);
    // The Tag of each button is its OPM code.
    for (const OutputMode& m : kOutputModes) {
        const int i = m.code;
        auto* b = build::SpeedButton(output, outputs, m.button, QString::fromLatin1(m.caption),
            QRect(8 + (i % 3) * 96, 22 + (i / 3) * 39, 92, 34), m.code);
        b->setChecked(i == 0);
        connect(b, &QPushButton::clicked, this,
            [this, b] { emit outputModeClicked(b->property("Tag").toInt()); });
    }
    auto* input = build::Group(this, &ctl::InputFrame, QStringLiteral("Input"), QRect(318, 232, 300, 64));
    auto* inputs = new QButtonGroup(input);
    const char* sources[] = {"HDMI 1", "HDMI 2", "DP", "VGA"};
    for (std::size_t i = 0; i < ctl::BtnSrcs.size(); ++i) {
        auto* b = build::SpeedButton(input, inputs, ctl::BtnSrcs[i], QString::fromLatin1(sources[i]),
            QRect(8 + int(i) * 72, 22, 68, 34), int(i));
        b->setChecked(i == 0);
        connect(b, &QPushButton::clicked, this, [this, i] { emit inputClicked(int(i)); });
    }
    BuildOutputGroup(this, s, QRect(318, 298, 300, 40));
}

} // namespace trivel
