#include "firmware/Firmware.h"

#include "firmware/Controls.h"
#include "session/Controls.h"
#include "session/PageTable.h"
#include "session/Session.h"
#include "session/Controls.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

namespace trivel {

Q_LOGGING_CATEGORY(lcFirmware, "trivel.firmware")

namespace {

// Windows colour values are 0x00BBGGRR; the UI port takes 0xRRGGBB.
int PortColour(std::uint32_t bgr)
{
    return int((bgr & 0xFFu) << 16 | (bgr & 0xFF00u) | (bgr >> 16 & 0xFFu));
}

} // namespace

Firmware::Firmware(Session& s)
    : m_s(s)
{
    m_linkClosing
        = QObject::connect(&s.events, &SessionEvents::linkClosing, &s.events, [this] { linkClosing(); });
}

Firmware::~Firmware()
{
    QObject::disconnect(m_linkClosing);
    // Whatever the update awaits must not resume into a gone object.
    m_update.cancel();
}

void Firmware::setBarColour(std::uint32_t bgr)
{
    m_state.BarColour = bgr;
    m_s.ui.set(ctl::ProgressBar1, Prop::Color, PortColour(bgr));
}

void Firmware::setBar(qint64 position, bool percent)
{
    m_state.BarPosition = position;
    m_s.ui.set(ctl::ProgressBar1, Prop::Position, int(position));
    if (!percent)
        return;
    m_state.Percent = FirmwarePercent(m_state.BarPosition, m_state.BarMinimum, m_state.BarMaximum);
    m_s.ui.setCaption(ctl::PLabel, QString::number(m_state.Percent) + QStringLiteral(" %"));
}

void Firmware::barToEnd()
{
    setBar(m_state.BarMaximum, false);
    m_state.Percent = 100;
    m_s.ui.setCaption(ctl::PLabel, QStringLiteral("100 %"));
}

void Firmware::startButton(bool enabled)
{
    m_s.ui.setEnabled(ctl::ProgBtn, enabled);
    m_s.ui.setCaption(ctl::ProgBtn, QStringLiteral("Start"));
}

void Firmware::showImageInfo()
{
    const QFileInfo info(m_state.FileName);
    if (m_state.FileName.isEmpty() || !info.exists()) {
        m_s.ui.setCaption(ctl::DateLabel, QString());
        m_s.ui.setCaption(ctl::SizeLabel, QString());
        return;
    }
    m_s.ui.setCaption(ctl::DateLabel, QLocale().toString(info.lastModified(), QLocale::ShortFormat));
    m_s.ui.setCaption(ctl::SizeLabel, QString::number(info.size()));
    m_state.FirmwareChecksum = FirmwareSum(m_state.FirmwareImage);
    m_s.ui.setCaption(ctl::CksLabel, FormatFirmwareChecksum(m_state.FirmwareChecksum));
}

void Firmware::loadImage(const QString& path)
{
    m_state.FileName = path;
    auto bytes = ReadFirmwareFile(path);
    m_state.FirmwareImage = bytes ? std::move(*bytes) : std::vector<std::uint8_t>{};
    m_s.ui.setCaption(ctl::FileLabel, path);
    showImageInfo();
}

// The pages and groups from which another exchange could start.
void Firmware::disableOtherOperations()
{
    m_s.ui.setEnabled(ctl::FRstBtn, false);
    m_s.ui.setEnabled(ctl::BtnFrame, false);
    for (int page : {Page::WarpAdjust, Page::VideoWall, Page::Blend1, Page::Blend2, Page::Mask, Page::Image,
             Page::Edid}) {
        m_s.PageEnabled[std::size_t(page)] = false;
        m_s.ui.setEnabled(kPages[std::size_t(page)].control, false);
    }
    m_s.ui.setEnabled(ctl::GroupBox1, false);
}

void Firmware::startUpdate()
{
    FirmwareState& f = m_state;
    UiPort& ui = m_s.ui;
    if (!m_s.connected() || m_s.busy())
        return;
    if (!HasFirmwareExtension(f.FileName)) {
        ui.message(MsgIcon::None, QString(), QStringLiteral("File Format error !!!"), MsgButtons::Ok);
        return;
    }
    f.FirmwareImage.clear();
    auto bytes = ReadFirmwareFile(f.FileName);
    if (!bytes) {
        ui.message(MsgIcon::None, QString(), QStringLiteral("Failed to load  File !!!"), MsgButtons::Ok);
        return;
    }
    f.FirmwareImage = std::move(*bytes);
    f.ReadPosition = 0;
    showImageInfo();
    f.FirmwareChecksum = FirmwareSum(f.FirmwareImage);

    const qint64 size = qint64(f.FirmwareImage.size());
    f.BarMaximum = size + size / 10;
    f.BarMinimum = -(size / 10);
    ui.set(ctl::ProgressBar1, Prop::Maximum, int(f.BarMaximum));
    ui.set(ctl::ProgressBar1, Prop::Minimum, int(f.BarMinimum));
    setBar(0, false);
    ui.setEnabled(ctl::ProgBtn, false);
    ui.setCaption(ctl::ProgBtn, QStringLiteral("Downloading"));

    if (f.FirmwareImage.size() < kFirmwareMinSize) {
        ui.message(MsgIcon::None, QString(), QStringLiteral("File not correct!!!"), MsgButtons::Ok);
        startButton(true);
        return;
    }

    f.Procedure = ChooseFirmwareProcedure(f.FirmwareImage.size(), f.FileName);
    if (f.Procedure == FirmwareProcedure::Plain)
        setBarColour(0x800080);
    else if (f.Procedure == FirmwareProcedure::Prefixed)
        setBarColour(0x00A5FF);
    qCInfo(lcFirmware) << "download" << f.FileName << size << "bytes," << FirmwareProcedureName(f.Procedure);
    disableOtherOperations();
    SetActivePage(m_s, Page::Firmware);
    f.UpdateStartTick = m_s.clock.tickMs();
    f.Outcome = FirmwareOutcome::Running;
    m_update = run();
}

void Firmware::failWith(FirmwareOutcome outcome, const QString& text)
{
    m_state.Outcome = outcome;
    qCWarning(lcFirmware) << text;
    m_s.ui.message(MsgIcon::Error, QString(), text, MsgButtons::Ok);
    startButton(true);
    m_s.ui.setEnabled(ctl::GroupBox1, true);
    Fail(Failure::Kind::BoxFault, text, true);
}

void Firmware::abort(FirmwareOutcome outcome, const QString& why, bool startEnabled)
{
    m_state.Outcome = outcome;
    qCWarning(lcFirmware) << why << "at" << m_state.ReadPosition << "of" << m_state.FirmwareImage.size();
    m_s.ui.setEnabled(ctl::GroupBox1, true);
    startButton(startEnabled);
    m_s.ui.message(MsgIcon::Error, QString(), why, MsgButtons::Ok);
}

void Firmware::linkClosing()
{
    if (!running())
        return;
    abort(FirmwareOutcome::LinkClosed, kFirmwareLinkClosed, false);
    m_update.cancel();
}

} // namespace trivel
