#include "settings/pages/VideoWallPage.h"

#include "box/BoxCommands.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "settings/Controls.h"
#include "settings/PictureHandlers.h"
#include "settings/Settings.h"
#include "settings/SettingsState.h"
#include "settings/pages/SettingFill.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

namespace trivel {

namespace {

// A screen with an "F" on it, turned or mirrored as orientation `ori` shows the picture.
QPixmap DrawOrientation(int ori, const QSize& size)
{
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF screen(2, 2, size.width() - 4, size.height() - 4);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.setBrush(QColor(225, 235, 250));
    p.drawRoundedRect(screen, 3, 3);

    QTransform t;
    t.translate(screen.center().x(), screen.center().y());
    switch (ori) {
    case 1:
        t.rotate(90);
        break;
    case 2:
        t.rotate(270);
        break;
    case 3:
        t.scale(-1, 1);
        break;
    case 4:
        t.scale(1, -1);
        break;
    case 5:
        t.scale(-1, -1);
        break;
    default:
        break;
    }
    const qreal h = screen.height() * 0.36;
    QPainterPath f;
    f.setFillRule(Qt::WindingFill); // the strokes overlap
    f.addRect(-h * 0.5, -h, h * 0.3, 2 * h);
    f.addRect(-h * 0.5, -h, h, h * 0.3);
    f.addRect(-h * 0.5, -h * 0.15, h * 0.75, h * 0.3);
    p.setTransform(t);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 90, 170));
    p.drawPath(f);
    return pm;
}

struct WallRow {
    const char* mnemonic;
    const Control* bar;
    const Control* value;
    const char* caption;
};

const WallRow kZoomPan[] = {
    {"HZM", &ctl::SBHzm, &ctl::STHzm, "H Zoom"},
    {"VZM", &ctl::SBVzm, &ctl::STVzm, "V Zoom"},
    {"HPN", &ctl::SBHpn, &ctl::STHpn, "H PAN"},
    {"VPN", &ctl::SBVpn, &ctl::STVpn, "V PAN"},
};
const char* const kOverscanRows[] = {"OLE", "ORE", "OTE", "OBE"};
const char* const kOverscanCaptions[] = {"Left", "Right", "Top", "Bottom"};

} // namespace

VideoWallPage::VideoWallPage(Session& s, Settings& settings, QWidget* parent)
    : PageWidget(s, parent)
    , m_settings(settings)
{
    buildWall();
    buildOrientation();
    auto* res
        = build::Make<QLabel>(this, ctl::STRes, QStringLiteral("- - - - - - - -"), QRect(318, 248, 180, 20));
    res->setAlignment(Qt::AlignCenter);
    auto* reset
        = build::Make<QPushButton>(this, ctl::BtnReset, QStringLiteral("Reset "), QRect(520, 290, 96, 30));
    connect(reset, &QPushButton::clicked, this, [this] { Launch(m_s, ResetSettings(m_s)); });
    // Without a box the reset would wait for ever for its reply.
    needsBox(reset);
    connect(&s.events, &SessionEvents::refreshPages, this, &VideoWallPage::refill);
}

void VideoWallPage::buildWall()
{
    auto* group = build::Group(this, &ctl::TntGroupBox1, QStringLiteral("Video Wall"), QRect(8, 4, 300, 334));
    std::array<QScrollBar*, 4> bars{};
    std::array<QLabel*, 4> values{};
    int y = 26;
    for (std::size_t i = 0; i < 4; ++i) {
        auto* caption = new QLabel(QString::fromLatin1(kZoomPan[i].caption), group);
        caption->setGeometry(10, y, 64, 18);
        bars[i] = fill::Bar(group, *kZoomPan[i].bar, QRect(76, y, 172, 18));
        values[i]
            = build::Make<QLabel>(group, *kZoomPan[i].value, QStringLiteral("1"), QRect(256, y, 36, 18));
        y += 32;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        QScrollBar* pan = i < 2 ? bars[i + 2] : nullptr;
        QLabel* value = values[i];
        // A zoom sets its pan's maximum first: a pan beyond it follows, cached but not sent.
        m_sliders.push_back(
            new SettingSlider(bars[i], m_settings, *FindBinding(kZoomPan[i].mnemonic), [value, pan](int p) {
                value->setNum(p);
                if (pan)
                    pan->setMaximum(p);
            }));
    }
    bars[2]->setMaximum(bars[0]->value());
    bars[3]->setMaximum(bars[1]->value());

    y += 12;
    for (std::size_t i = 0; i < 4; ++i) {
        auto* caption = new QLabel(QString::fromLatin1(kOverscanCaptions[i]), group);
        caption->setGeometry(10, y, 64, 18);
        m_overscan[i] = fill::Bar(group, ctl::OverscanBars[i], QRect(76, y, 150, 18));
        // The hidden value label always gets the value; the edit shows it.
        auto* label
            = build::Make<QLabel>(group, ctl::OverscanLabels[i], QStringLiteral("0"), QRect(232, y, 1, 1));
        label->setVisible(false);
        label->setEnabled(false);
        auto* edit = new QLineEdit(QStringLiteral("0"), group);
        edit->setObjectName(ctl::OverscanEdits[i].qname());
        edit->setGeometry(232, y - 3, 60, 24);
        edit->installEventFilter(this);
        m_edits[i] = edit;
        m_sliders.push_back(new SettingSlider(
            m_overscan[i], m_settings, *FindBinding(kOverscanRows[i]), [label, edit](int p) {
                label->setNum(p);
                edit->setText(QString::number(p));
            }));
        y += 34;
    }
}

void VideoWallPage::buildOrientation()
{
    auto* group
        = build::Group(this, &ctl::TntGroupBox2, QStringLiteral("Orientation"), QRect(318, 4, 300, 236));
    m_rotations = new QButtonGroup(group);
    const char* captions[] = {"Normal", "90", "270", "H mirror", "V mirror", "HV mirror"};
    for (std::size_t i = 0; i < ctl::RBRots.size(); ++i) {
        const int col = int(i % 3);
        const int row = int(i / 3);
        auto* image = build::Make<QLabel>(
            group, ctl::ImgRots[i], QString(), QRect(16 + col * 96, 24 + row * 104, 72, 52));
        image->setPixmap(DrawOrientation(int(i), image->size()));
        image->setProperty("Tag", int(i));
        image->installEventFilter(this);
        m_images[i] = image;
        auto* r = build::Make<QRadioButton>(group, ctl::RBRots[i], QString::fromLatin1(captions[i]),
            QRect(12 + col * 96, 80 + row * 104, 90, 22));
        r->setProperty("Tag", int(i));
        r->setChecked(i == 0);
        m_rotations->addButton(r, int(i));
        connect(r, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                Launch(m_s, m_settings.chooseRotation(int(i)));
        });
    }
}

bool VideoWallPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        for (QLabel* image : m_images)
            if (watched == image && image->isEnabled()) {
                RotImgClick(image->property("Tag").toInt());
                return true;
            }
    }
    if (event->type() == QEvent::KeyPress) {
        for (std::size_t i = 0; i < m_edits.size(); ++i)
            if (watched == m_edits[i])
                return overscanKey(i, static_cast<QKeyEvent*>(event)->key());
    }
    return PageWidget::eventFilter(watched, event);
}

bool VideoWallPage::overscanKey(std::size_t side, int key)
{
    QScrollBar* bar = m_overscan[side];
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (const std::optional<int> v = OverscanEntry(m_s, m_edits[side]->text())) {
            bar->setValue(*v);
            Launch(m_s, m_settings.sendCached(FindBinding(kOverscanRows[side])->id));
        }
        return true;
    // The arrows step the slider: shown and cached, sent with the next Enter or scroll.
    case Qt::Key_Up:
        bar->setValue(bar->value() + 1);
        return true;
    case Qt::Key_Down:
        bar->setValue(bar->value() - 1);
        return true;
    default:
        return false;
    }
}

void VideoWallPage::RotImgClick(int tag)
{
    // Checking a radio button that was not checked yet runs RBOriClick, which sends.
    if (QAbstractButton* r = m_rotations->button(tag))
        r->setChecked(true);
    m_s.settings().WindowSettings.ORI[std::size_t(m_s.CurrentWindow & 3)] = std::uint8_t(tag);
}

void VideoWallPage::refill()
{
    Session& s = m_s;
    for (SettingSlider* b : m_sliders)
        fill::FromCache(s, b->slider(), b->row());
    const int ori = s.settings().WindowSettings.ORI[std::size_t(s.CurrentWindow & 3)];
    fill::CheckOnly(m_rotations, CheckedIndex(s, "ORI", ori, int(ctl::RBRots.size())));
}

} // namespace trivel
