#include "settings/pages/ImagePage.h"

#include "session/Operations.h"
#include "session/Session.h"
#include "settings/Controls.h"
#include "settings/OutputModes.h"
#include "settings/PictureHandlers.h"
#include "settings/Settings.h"
#include "settings/SettingsState.h"
#include "settings/pages/SettingFill.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

namespace trivel {

namespace {

struct SliderRow {
    const char* mnemonic;
    const Control* bar;
    const Control* value;
    const char* caption;
};

// Picture group, then the colour gains; the order the refresh sets them in.
const SliderRow kPicture[] = {
    {"BRI", &ctl::SBBri, &ctl::STBri, "Brightness"},
    {"CON", &ctl::SBCon, &ctl::STCon, "Contrast"},
    {"XHA", &ctl::SBXha, &ctl::STXha, "Sharpness"},
    {"HUE", &ctl::SBHUE, &ctl::STHUE, "HUE"},
    {"XAT", &ctl::SBXat, &ctl::STXat, "Saturation"},
};
const SliderRow kGains[] = {
    {"RGN", &ctl::SBRGN, &ctl::STRGN, "Red"},
    {"GGN", &ctl::SBGGN, &ctl::STGGN, "Green"},
    {"BGN", &ctl::SBBGN, &ctl::STBGN, "Blue"},
};

} // namespace

ImagePage::ImagePage(Session& s, Settings& settings, QWidget* parent)
    : PageWidget(s, parent)
    , m_settings(settings)
{
    buildPicture();
    buildColour();
    buildOutput();
    buildInput();
    connect(&s.events, &SessionEvents::refreshPages, this, &ImagePage::refill);
}

void ImagePage::buildPicture()
{
    auto* group
        = build::Group(this, &ctl::TntGroupBox4, QStringLiteral("Picture Setting"), QRect(8, 4, 300, 186));
    int y = 26;
    for (const SliderRow& r : kPicture) {
        auto* caption = new QLabel(QString::fromLatin1(r.caption), group);
        caption->setGeometry(10, y, 72, 18);
        QScrollBar* bar = fill::Bar(group, *r.bar, QRect(84, y, 164, 18));
        auto* value = build::Make<QLabel>(group, *r.value, QString(), QRect(254, y, 40, 18));
        // Sharpness shows (and sends) ten times its position.
        const bool tens = std::string_view(r.mnemonic) == "XHA";
        m_sliders.push_back(new SettingSlider(bar, m_settings, *FindBinding(r.mnemonic),
            [value, tens](int p) { value->setNum(tens ? p * 10 : p); }));
        value->setNum(tens ? bar->value() * 10 : bar->value());
        y += 32;
    }
}

void ImagePage::buildColour()
{
    auto* group
        = build::Group(this, &ctl::TntGroupBox5, QStringLiteral("Color Setting"), QRect(8, 194, 300, 144));
    auto* caption = new QLabel(QStringLiteral("Color"), group);
    caption->setGeometry(10, 24, 72, 20);
    m_colour = new QComboBox(group);
    m_colour->setObjectName(ctl::CBColor.qname());
    m_colour->setGeometry(84, 22, 164, 24);
    m_colour->addItems({QStringLiteral("Reddish"), QStringLiteral("Nature"), QStringLiteral("Blueish"),
        QStringLiteral("Custom")});
    m_colour->setCurrentIndex(1);
    // Only a choice of the user runs the handler; a refresh selects by code.
    connect(m_colour, &QComboBox::activated, this,
        [this](int i) { Launch(m_s, m_settings.chooseColourPreset(i)); });
    int y = 56;
    for (const SliderRow& r : kGains) {
        auto* label = new QLabel(QString::fromLatin1(r.caption), group);
        label->setGeometry(10, y, 72, 18);
        QScrollBar* bar = fill::Bar(group, *r.bar, QRect(84, y, 164, 18));
        auto* value = build::Make<QLabel>(group, *r.value, QString(), QRect(254, y, 40, 18));
        m_sliders.push_back(new SettingSlider(
            bar, m_settings, *FindBinding(r.mnemonic), [value](int p) { value->setNum(p); }));
        value->setNum(bar->value());
        bar->setEnabled(false); // "Nature" at start: the gains belong to "Custom"
        y += 28;
    }
}

void ImagePage::buildOutput()
{
    auto* output = build::Group(this, &ctl::TntGroupBox6, QStringLiteral("Output"), QRect(318, 4, 300, 252));
    m_outputs = new QButtonGroup(output);
    // The longest captions ("1920*1200(30)") must fit a third of the group.
    QFont small = output->font();
    small.setPixelSize(11);
    // The Tag of each button is its OPM code.
    for (const OutputMode& m : kOutputModes) {
        const int i = m.code;
        auto* b = build::SpeedButton(output, m_outputs, m.button, QString::fromLatin1(m.caption),
            QRect(8 + (i % 3) * 96, 20 + (i / 3) * 30, 92, 28), m.code);
        m_outputs->setId(b, m.code);
        b->setFont(small);
        b->setChecked(i == 0);
        connect(b, &QPushButton::clicked, this, [this, b] {
            const int tag = b->property("Tag").toInt();
            Launch(m_s, m_settings.chooseOutputMode(tag));
            emit outputModeClicked(tag);
        });
    }
    m_deepColour = new QCheckBox(QStringLiteral("Deep Color"), output);
    m_deepColour->setObjectName(ctl::CBDeepColor.qname());
    m_deepColour->setGeometry(10, 174, 120, 20);
    // A change by code runs the handler too; it stores but does not send while refreshing.
    connect(m_deepColour, &QCheckBox::toggled, this,
        [this](bool on) { Launch(m_s, m_settings.setDeepColour(on)); });

    auto* hdcp = build::Group(
        output, &ctl::RGHDCPOutput, QStringLiteral("HDCP Output     "), QRect(8, 196, 284, 48));
    m_hdcp = new QButtonGroup(hdcp);
    const char* items[] = {"InputOnly", "Enable", "Disable"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(items[i]), hdcp);
        r->setGeometry(10 + i * 92, 22, 88, 20);
        r->setChecked(i == 0);
        m_hdcp->addButton(r, i);
        connect(r, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                Launch(m_s, m_settings.chooseHdcpOutput(i));
        });
    }
}

void ImagePage::buildInput()
{
    auto* input = build::Group(this, &ctl::InputFrame, QStringLiteral("Input"), QRect(318, 260, 300, 64));
    m_inputs = new QButtonGroup(input);
    const char* sources[] = {"HDMI 1", "HDMI 2", "DP", "VGA"};
    for (std::size_t i = 0; i < ctl::BtnSrcs.size(); ++i) {
        auto* b = build::SpeedButton(input, m_inputs, ctl::BtnSrcs[i], QString::fromLatin1(sources[i]),
            QRect(8 + int(i) * 72, 22, 68, 32), int(i));
        m_inputs->setId(b, int(i));
        b->setChecked(i == 0);
        connect(b, &QPushButton::clicked, this, [this, i] {
            Launch(m_s, m_settings.chooseInput(int(i)));
            emit inputClicked(int(i));
        });
    }
}

void ImagePage::refill()
{
    Session& s = m_s;
    const std::size_t w = std::size_t(s.CurrentWindow & 3);
    const WindowSettingsRecord& ws = s.settings().WindowSettings;
    for (SettingSlider* b : m_sliders)
        fill::FromCache(s, b->slider(), b->row());
    m_colour->setCurrentIndex(CheckedIndex(s, "CLR", ws.CLR[w], m_colour->count()));
    fill::CheckOnly(m_outputs, CheckedIndex(s, "OPM", ws.OPM[w], int(kOutputModes.size())));
    fill::CheckOnly(m_inputs, CheckedIndex(s, "INP", ws.INP[w], int(ctl::BtnSrcs.size())));
    m_deepColour->setChecked(s.settings().DCM[w] == 1);
    fill::CheckOnly(m_hdcp, CheckedIndex(s, "HDO", s.settings().HDO[w], 3));
}

} // namespace trivel
