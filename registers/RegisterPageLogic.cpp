#include "registers/RegisterPageLogic.h"

#include "registers/Controls.h"
#include "registers/RegisterOps.h"
#include "session/PendingOps.h"
#include "session/Session.h"

namespace trivel {

namespace {

// Sent by TntButton3 with the window number; what the box does with it is its own affair.
constexpr std::uint32_t kChipCommand = 0xF123;

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

void SetCell(Session& s, int address, const QString& text)
{
    s.registers.Cells[std::size_t(address)] = text;
    if (s.registers.cellChanged)
        s.registers.cellChanged(address);
}

int SelectedAddress(const Session& s)
{
    const int a = RegisterAddress(s.registers.SelectedCol, s.registers.SelectedRow);
    return a < 0 ? 0 : a;
}

std::uint8_t Bank(const Session& s)
{
    return std::uint8_t(CellValue(s.registers.Cells[0]));
}

} // namespace

void InitRegisterGrid(Session& s)
{
    RegisterState& r = s.registers;
    for (int a = 0; a < kRegisterCount; ++a)
        SetCell(s, a, QStringLiteral("00"));
    r.SelectedCol = 1;
    r.SelectedRow = 1;
    r.EditCommitted = r.ReadPending = r.Selecting = false;
    s.ui.setCaption(ctl::STValue, QStringLiteral("0x00"));
    for (const Control& c : {ctl::STRaw2Bytes, ctl::STDec2Bytes, ctl::STRaw4Bytes, ctl::STDec4Bytes})
        s.ui.setCaption(c, QStringLiteral("0"));
    s.ui.setCaption(ctl::STIntToHex, QStringLiteral("00000000"));
}

void BtnReadBankClick(Session& s)
{
    if (!s.connected())
        return;
    s.clearRequest();
    FrameView f = s.request();
    f.setCode(Cmd::RegisterRead);
    f.put8(8, std::uint8_t(s.CurrentWindow));
    f.put8(9, kRegisterCount);
    f.put8(10, Bank(s));
    for (int a = 0; a < kRegisterCount; ++a)
        f.put8(32 + 2 * std::size_t(a), std::uint8_t(a));
    s.registers.ReadPending = true;
    s.PendingOp = Op::RegisterRead;
    SendFrame(s);
}

void RegGridDblClick(Session& s)
{
    if (!s.connected())
        return;
    FrameView f = s.request();
    f.setCode(Cmd::RegisterRead);
    f.put8(8, std::uint8_t(s.CurrentWindow));
    f.put8(9, 1);
    f.put8(10, Bank(s));
    f.put8(32, std::uint8_t(SelectedAddress(s)));
    s.registers.ReadPending = true;
    s.PendingOp = Op::RegisterRead;
    SendFrame(s);
}

void RegGridKeyPress(Session& s, QChar key)
{
    if (key == QLatin1Char('\r') || key == QLatin1Char('\n'))
        s.registers.EditCommitted = true;
}

void RegGridSetEditText(Session& s, int col, int row, const QString& text)
{
    const int address = RegisterAddress(col, row);
    if (address < 0)
        return;
    RegisterState& r = s.registers;
    if (!r.EditCommitted) {
        r.Cells[std::size_t(address)] = text; // typing in progress
        return;
    }
    bool ok = false;
    unsigned v = text.trimmed().toUInt(&ok, 16);
    if (!ok || v > 255)
        v = 0;
    SetCell(s, address, Hex2(v));
    if (!s.connected())
        return;
    FrameView f = s.request();
    f.setCode(Cmd::RegisterWrite);
    f.put8(8, std::uint8_t(s.CurrentWindow));
    f.put8(9, 1);
    f.put8(32, std::uint8_t(address));
    f.put8(33, std::uint8_t(v));
    s.PendingOp = Op::RegisterWrite;
    r.EditCommitted = false;
    SendFrame(s);
}

void RegGridSelectCell(Session& s, int col, int row)
{
    const int address = RegisterAddress(col, row);
    if (address < 0)
        return;
    RegisterState& r = s.registers;
    r.SelectedCol = col;
    r.SelectedRow = row;
    const QString& text = r.Cells[std::size_t(address)];
    s.ui.setCaption(ctl::STBank, QStringLiteral("0x") + r.Cells[0]);
    s.ui.setCaption(ctl::STAddr, QStringLiteral("0x") + Hex2(unsigned(address)));
    s.ui.setCaption(ctl::STValue, QStringLiteral("0x") + text);

    const unsigned value = CellValue(text);
    r.Selecting = true;
    for (int b = 0; b < 8; ++b)
        s.ui.setChecked(ctl::CBBits[std::size_t(b)], (value >> b) & 1u);
    r.Selecting = false;

    // The next cells in address order; after the last one comes the bank cell.
    QString t[4];
    std::uint32_t v[4];
    for (int k = 0; k < 4; ++k) {
        t[k] = r.Cells[std::size_t((address + k) % kRegisterCount)];
        v[k] = CellValue(t[k]) & 0xFFu;
    }
    s.ui.setCaption(ctl::STRaw2Bytes, t[1] + QLatin1Char(' ') + t[0]);
    s.ui.setCaption(ctl::STDec2Bytes, QString::number(v[0] + 256 * v[1]));
    s.ui.setCaption(ctl::STRaw4Bytes, QStringList{t[3], t[2], t[1], t[0]}.join(QLatin1Char(' ')));
    s.ui.setCaption(ctl::STDec4Bytes, QString::number(v[0] | v[1] << 8 | v[2] << 16 | v[3] << 24));
}

void CBBitClick(Session& s, int bit, bool checked)
{
    RegisterState& r = s.registers;
    if (r.Selecting || bit < 0 || bit > 7)
        return;
    const int address = SelectedAddress(s);
    unsigned value = CellValue(r.Cells[std::size_t(address)]) & 0xFFu;
    value &= ~(1u << bit);
    if (checked)
        value |= 1u << bit;
    r.EditCommitted = true;
    RegGridSetEditText(s, r.SelectedCol, r.SelectedRow, Hex2(value));
}

void EdIntToHexChange(Session& s, const QString& text)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    s.ui.setCaption(ctl::STIntToHex,
        ok ? QStringLiteral("%1").arg(quint64(v), 8, 16, QLatin1Char('0')).toUpper()
           : QStringLiteral("00000000"));
}

void TntButton3Click(Session& s)
{
    s.clearRequest();
    FrameView f = s.request();
    f.setCode(kChipCommand);
    f.put8(8, std::uint8_t(s.CurrentWindow));
    SendFrame(s);
}

void RegisterStep(Session& s, int op)
{
    RegisterState& r = s.registers;
    if (op == Op::RegisterWrite) {
        if (r.ReadPending)
            RegGridDblClick(s);
        else
            s.PendingOp = Op::Idle;
        return;
    }
    if (r.ReadPending) {
        const FrameView reply = s.reply();
        // Only the pairs inside one link frame: a count claiming more reads no further.
        const std::size_t fit = (kTcpFrameSize - 32) / 2;
        const std::size_t n = std::min<std::size_t>(reply.u8(9), fit);
        for (std::size_t k = 0; k < n; ++k) {
            const unsigned address = reply.u8(32 + 2 * k);
            if (address < unsigned(kRegisterCount))
                SetCell(s, int(address), Hex2(reply.u8(33 + 2 * k)));
        }
        r.ReadPending = false;
    }
    s.PendingOp = Op::Idle;
}

} // namespace trivel
