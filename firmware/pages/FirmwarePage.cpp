#include "firmware/pages/FirmwarePage.h"

#include "firmware/Controls.h"
#include "firmware/Firmware.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

namespace trivel {

namespace {

QLabel* Caption(QWidget* parent, const QString& text, const QRect& geometry)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(geometry);
    return l;
}

} // namespace

FirmwarePage::FirmwarePage(Session& s, Firmware& firmware, QWidget* parent)
    : PageWidget(s, parent)
    , m_firmware(firmware)
{
    OpenDialog1 = [this] { return QFileDialog::getOpenFileName(this); };

    Caption(this, QStringLiteral("File"), QRect(16, 24, 60, 20));
    auto* file = build::Make<QLineEdit>(this, ctl::FileLabel, QString(), QRect(90, 22, 470, 24));
    file->setReadOnly(true);
    auto* load = build::Make<QPushButton>(this, ctl::BtnLoad, QStringLiteral("..."), QRect(566, 22, 40, 24));
    connect(load, &QPushButton::clicked, this, &FirmwarePage::BtnLoadClick);

    Caption(this, QStringLiteral("Size"), QRect(16, 60, 60, 20));
    build::Make<QLabel>(this, ctl::SizeLabel, QString(), QRect(90, 60, 160, 20));
    Caption(this, QStringLiteral("Date"), QRect(16, 88, 60, 20));
    build::Make<QLabel>(this, ctl::DateLabel, QString(), QRect(90, 88, 240, 20));
    Caption(this, QStringLiteral("Checksum"), QRect(16, 116, 64, 20));
    build::Make<QLabel>(this, ctl::CksLabel, QString(), QRect(90, 116, 160, 20));

    auto* bar = new QProgressBar(this);
    bar->setObjectName(ctl::ProgressBar1.qname());
    bar->setGeometry(16, 160, 544, 24);
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    // Empty until a download reports its percent: "100 %" before anything reads as done.
    build::Make<QLabel>(this, ctl::PLabel, QString(), QRect(566, 162, 60, 20));

    // Enabled by a connect, disabled by a disconnect.
    auto* start
        = build::Make<QPushButton>(this, ctl::ProgBtn, QStringLiteral("Start"), QRect(500, 260, 110, 32));
    start->setEnabled(false);
    connect(start, &QPushButton::clicked, this, &FirmwarePage::ProgBtnClick);

    // Nothing shows it, so it stays checked and every successful update restarts the box.
    auto* reset
        = build::Make<QCheckBox>(this, ctl::CBReset, QStringLiteral("Reset Device"), QRect(16, 220, 140, 20));
    reset->setChecked(true);
    reset->setEnabled(false);
    reset->setVisible(false);

    Caption(this, QStringLiteral("Firmware of the box"), QRect(16, 280, 200, 18));
    build::Make<QLabel>(this, ctl::MCUVersion, QString(), QRect(16, 300, 200, 20));
}

void FirmwarePage::BtnLoadClick()
{
    const QString path = OpenDialog1 ? OpenDialog1() : QString();
    if (!path.isEmpty())
        m_firmware.loadImage(path);
}

void FirmwarePage::ProgBtnClick()
{
    m_firmware.startUpdate();
}

} // namespace trivel
