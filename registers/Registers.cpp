#include "registers/Registers.h"

#include "protocol/RegisterFrames.h"
#include "registers/Controls.h"
#include "session/Operations.h"
#include "session/Session.h"

namespace trivel {

namespace {

QString Hex2(unsigned v)
{
    return QStringLiteral("%1").arg(v & 0xFFu, 2, 16, QLatin1Char('0')).toUpper();
}

// A cell's text as a byte; anything that is no hex number counts as 0.
unsigned CellValue(const QString& text)
{
    bool ok = false;
    const unsigned v = text.trimmed().toUInt(&ok, 16);
    return ok ? v : 0;
}

} // namespace

Registers::Registers(Session& s)
    : m_s(s)
{
}

void Registers::setCell(int address, const QString& text)
{
    m_grid.Cells[std::size_t(address)] = text;
    if (m_grid.cellChanged)
        m_grid.cellChanged(address);
}

int Registers::selectedAddress() const
{
    const int a = RegisterAddress(m_grid.SelectedCol, m_grid.SelectedRow);
    return a < 0 ? 0 : a;
}

int Registers::bank() const
{
    return int(CellValue(m_grid.Cells[0]));
}

void Registers::reset()
{
    for (int a = 0; a < kRegisterCount; ++a)
        setCell(a, QStringLiteral("00"));
    m_grid.SelectedCol = 1;
    m_grid.SelectedRow = 1;
    m_grid.EditCommitted = m_grid.ReadPending = m_grid.Selecting = false;
    m_s.ui.setCaption(ctl::STValue, QStringLiteral("0x00"));
    for (const Control& c : {ctl::STRaw2Bytes, ctl::STDec2Bytes, ctl::STRaw4Bytes, ctl::STDec4Bytes})
        m_s.ui.setCaption(c, QStringLiteral("0"));
    m_s.ui.setCaption(ctl::STIntToHex, QStringLiteral("00000000"));
}

Operation<void> Registers::read(Request request)
{
    if (!m_s.connected())
        co_return;
    m_grid.ReadPending = true;
    const Reply reply = co_await m_s.exchange.send(std::move(request));
    const proto::RegisterReplyView view{reply};
    for (std::size_t k = 0; k < view.count(); ++k)
        if (view.address(k) < kRegisterCount)
            setCell(view.address(k), Hex2(unsigned(view.value(k))));
    m_grid.ReadPending = false;
}

Operation<void> Registers::readBank()
{
    return read(proto::RegisterBankRead(m_s.CurrentWindow, bank(), kRegisterCount));
}

Operation<void> Registers::readSelected()
{
    return read(proto::RegisterRead(m_s.CurrentWindow, bank(), selectedAddress()));
}

Operation<void> Registers::write(int address, int value)
{
    co_await m_s.exchange.send(proto::RegisterWrite(m_s.CurrentWindow, address, value));
    // A read asked for meanwhile shows the register as the box now holds it.
    if (m_grid.ReadPending)
        co_await readSelected();
}

void Registers::editCell(int col, int row, const QString& text)
{
    const int address = RegisterAddress(col, row);
    if (address < 0)
        return;
    if (!m_grid.EditCommitted) {
        m_grid.Cells[std::size_t(address)] = text; // typing in progress
        return;
    }
    bool ok = false;
    unsigned v = text.trimmed().toUInt(&ok, 16);
    if (!ok || v > 255)
        v = 0;
    setCell(address, Hex2(v));
    if (!m_s.connected())
        return;
    m_grid.EditCommitted = false;
    Launch(m_s, write(address, int(v)));
}

void Registers::selectCell(int col, int row)
{
    const int address = RegisterAddress(col, row);
    if (address < 0)
        return;
    m_grid.SelectedCol = col;
    m_grid.SelectedRow = row;
    const QString& text = m_grid.Cells[std::size_t(address)];
    UiPort& ui = m_s.ui;
    ui.setCaption(ctl::STBank, QStringLiteral("0x") + m_grid.Cells[0]);
    ui.setCaption(ctl::STAddr, QStringLiteral("0x") + Hex2(unsigned(address)));
    ui.setCaption(ctl::STValue, QStringLiteral("0x") + text);
    const unsigned value = CellValue(text);
    m_grid.Selecting = true;
    for (int b = 0; b < 8; ++b)
        ui.setChecked(ctl::CBBits[std::size_t(b)], (value >> b) & 1u);
    m_grid.Selecting = false;
    // The next cells in address order; after the last one comes the bank cell.
    QString t[4];
    std::uint32_t v[4];
    for (int k = 0; k < 4; ++k) {
        t[k] = m_grid.Cells[std::size_t((address + k) % kRegisterCount)];
        v[k] = CellValue(t[k]) & 0xFFu;
    }
    ui.setCaption(ctl::STRaw2Bytes, t[1] + QLatin1Char(' ') + t[0]);
    ui.setCaption(ctl::STDec2Bytes, QString::number(v[0] + 256 * v[1]));
    ui.setCaption(ctl::STRaw4Bytes, QStringList{t[3], t[2], t[1], t[0]}.join(QLatin1Char(' ')));
    ui.setCaption(ctl::STDec4Bytes, QString::number(v[0] | v[1] << 8 | v[2] << 16 | v[3] << 24));
}

void Registers::setBit(int bit, bool on)
{
    if (m_grid.Selecting || bit < 0 || bit > 7)
        return;
    unsigned value = CellValue(m_grid.Cells[std::size_t(selectedAddress())]) & 0xFFu;
    value &= ~(1u << bit);
    if (on)
        value |= 1u << bit;
    m_grid.EditCommitted = true;
    editCell(m_grid.SelectedCol, m_grid.SelectedRow, Hex2(value));
}

void Registers::showHex(const QString& decimal)
{
    bool ok = false;
    const qlonglong v = decimal.trimmed().toLongLong(&ok);
    m_s.ui.setCaption(ctl::STIntToHex,
        ok ? QStringLiteral("%1").arg(quint64(v), 8, 16, QLatin1Char('0')).toUpper()
           : QStringLiteral("00000000"));
}

void Registers::sendTestRequest()
{
    if (m_s.connected())
        m_s.exchange.post(proto::TestRequest(m_s.CurrentWindow), {.awaitReply = false});
}

} // namespace trivel
