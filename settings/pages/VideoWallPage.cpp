#include "settings/pages/VideoWallPage.h"

#include "session/BoxCommands.h"
#include "settings/Controls.h"

#include <QLabel>

namespace trivel {

VideoWallPage::VideoWallPage(Session& s, QWidget* parent)
    : PageWidget(s, parent)
{
    auto* orientation
        = build::Group(this, &ctl::TntGroupBox2, QStringLiteral("Orientation"), QRect(318, 8, 300, 130));
    const char* captions[] = {"Normal", "90", "270", "H mirror", "V mirror", "HV mirror"};
    for (std::size_t i = 0; i < ctl::RBRots.size(); ++i) {
        auto* r = build::Make<QRadioButton>(orientation, ctl::RBRots[i], QString::fromLatin1(captions[i]),
            QRect(16 + int(i / 3) * 140, 26 + int(i % 3) * 32, 120, 22));
        r->setProperty("Tag", int(i));
        r->setChecked(i == 0);
    }
    auto* res
        = build::Make<QLabel>(this, ctl::STRes, QStringLiteral("- - - - - - - -"), QRect(318, 150, 180, 20));
    res->setAlignment(Qt::AlignCenter);
    auto* reset
        = build::Make<QPushButton>(this, ctl::BtnReset, QStringLiteral("Reset "), QRect(520, 290, 96, 30));
    connect(reset, &QPushButton::clicked, this, [this] { BtnResetClick(m_s); });
}

} // namespace trivel
