#pragma once
// The layout of the setting files, shared by the save and the load in files/SettingFile.cpp:
// the caches a file carries, the little-endian reader and writer, and each section written once
// as a template that both of them run.

#include "box/Box.h"
#include "files/SettingFile.h"
#include "mask/Masks.h"
#include "session/Session.h"
#include "settings/SettingsState.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>

namespace trivel::settingfile {

constexpr int kSlots = 10; // 0..8 the mono slots 1..9, 9 the colour slot 10
constexpr std::uint8_t kMaskMark = 'E';
constexpr int kModel116 = 116;

// Everything a file carries besides the slot copies. A load fills a copy of the session's
// values and gives it back only once the whole file has been read.
struct FileCaches {
    WindowSettingsRecord ws;
    PerWindow<BlendRecord> blend{};
    EdgeMaskCornerTables edge;
    PerWindow<std::uint8_t> controlPattern{};
    std::array<std::array<PointOffset, kControlPoints>, 4> controlOffsets{};
    std::array<std::array<PointOffset, kKeystoneCorners>, 4> keystone{};
    std::array<std::array<PointOffset, kWallPoints>, 4> wallPoints{};
    PerWindow<std::uint8_t> warpPattern{};
    PerWindow<GridArray<OffsetPair>> pointOffsets{};
    PerWindow<std::array<OffsetPair, 4>> cornerOffsets{};
    PerWindow<GridArray<OffsetPair>> wallOffsets{};
    std::array<SignalSize, 4> fileInput{};
    PerWindow<PipRecord> pip{};
    std::array<SignalSize, 4> filePip{};
    std::array<std::int32_t, 4> maskAssignment{};
    PerWindow<std::uint8_t> dcm{};
    PerWindow<std::uint8_t> hdo{};

    static FileCaches From(const Session& s)
    {
        FileCaches c;
        c.ws = s.settings().WindowSettings;
        c.blend = s.settings().BlendSettings;
        c.edge = s.settings().EdgeMaskCorners;
        for (std::size_t w = 0; w < 4; ++w) {
            const WarpModel& m = s.box->warp.state().model[w];
            c.controlPattern[w] = m.ControlPattern;
            c.warpPattern[w] = m.WarpPattern;
            c.pointOffsets[w] = m.PointOffsets;
            c.cornerOffsets[w] = m.CornerOffsets;
            c.wallOffsets[w] = m.WallOffsets;
        }
        c.controlOffsets = s.box->warp.adjust().ControlOffsets;
        c.keystone = s.box->warp.adjust().KeystoneCorners;
        c.wallPoints = s.box->warp.adjust().WallPoints;
        c.fileInput = s.FileInputSize;
        c.pip = s.settings().PipSettings;
        c.filePip = s.FilePipSourceSize;
        c.maskAssignment = s.masks->state().MaskAssignment;
        c.dcm = s.settings().DCM;
        c.hdo = s.settings().HDO;
        return c;
    }

    // What a save writes: the input sizes the overscans and PIP overlaps belong to are the live
    // ones once the status poll has reported them. Before that (just connected, or never
    // connected) they are not known, and writing 0 would make the next load clear every
    // overscan: the sizes of the last loaded file stand in.
    static FileCaches ToSave(const Session& s)
    {
        FileCaches c = From(s);
        if (s.LastInputMask != kSignalMaskUnknown) {
            c.fileInput = s.InputSize;
            c.filePip = s.PipSourceSize;
        }
        return c;
    }

    void storeInto(Session& s) const
    {
        s.settings().WindowSettings = ws;
        s.settings().BlendSettings = blend;
        s.settings().EdgeMaskCorners = edge;
        for (std::size_t w = 0; w < 4; ++w) {
            WarpModel& m = s.box->warp.state().model[w];
            m.ControlPattern = controlPattern[w];
            m.WarpPattern = warpPattern[w];
            m.PointOffsets = pointOffsets[w];
            m.CornerOffsets = cornerOffsets[w];
            m.WallOffsets = wallOffsets[w];
        }
        s.box->warp.adjust().ControlOffsets = controlOffsets;
        s.box->warp.adjust().KeystoneCorners = keystone;
        s.box->warp.adjust().WallPoints = wallPoints;
        s.FileInputSize = fileInput;
        s.settings().PipSettings = pip;
        s.FilePipSourceSize = filePip;
        s.masks->state().MaskAssignment = maskAssignment;
        s.settings().DCM = dcm;
        s.settings().HDO = hdo;
    }
};

// What a load does to one slot copy.
struct SlotAction {
    enum Kind { Keep, Fill, ZeroHeader, Clear } kind = Keep;
    std::size_t offset = 0; // of the entry's bytes in the file
    std::size_t length = 0;
};
using SlotActions = std::array<SlotAction, kSlots>;

inline std::size_t SlotCapacity(int slot)
{
    return slot == kSlots - 1 ? kColourSlotBytes : kMonoSlotBytes;
}

inline std::uint32_t SizeField(const std::uint8_t* header)
{
    return std::uint32_t(header[4]) | std::uint32_t(header[5]) << 8 | std::uint32_t(header[6]) << 16
        | std::uint32_t(header[7]) << 24;
}

class Writer {
public:
    Writer(std::size_t expected) { out.reserve(qsizetype(expected)); }
    QByteArray out;

    bool section(const char*, std::size_t) { return true; }
    void io(std::uint8_t& v) { out.append(char(v)); }
    void io(std::uint16_t& v) { putLE<2>(v); }
    void io(std::int16_t& v) { putLE<2>(std::uint16_t(v)); }
    void io(std::uint32_t& v) { putLE<4>(v); }
    void io(std::int32_t& v) { putLE<4>(std::uint32_t(v)); }
    void raw(const std::uint8_t* p, std::size_t n)
    {
        out.append(reinterpret_cast<const char*>(p), qsizetype(n));
    }
    void zeros(std::size_t n) { out.append(qsizetype(n), '\0'); }

private:
    template <int N> void putLE(std::uint32_t v)
    {
        char bytes[N];
        for (int i = 0; i < N; ++i)
            bytes[i] = char(std::uint8_t(v >> (8 * i)));
        out.append(bytes, N);
    }
};

// Sequential little-endian reads. A section is asked for as a whole before its fields are
// read, so a file cut inside it is refused by name; every byte read is bounds-checked anyway.
class Reader {
public:
    Reader(const QByteArray& b, std::size_t pos)
        : m_data(reinterpret_cast<const std::uint8_t*>(b.constData()))
        , m_size(std::size_t(b.size()))
        , m_pos(pos)
    {
    }

    QString error;

    std::size_t pos() const { return m_pos; }
    std::size_t remaining() const { return m_pos <= m_size ? m_size - m_pos : 0; }
    const std::uint8_t* at(std::size_t off) const { return m_data + off; }

    bool section(const char* what, std::size_t n)
    {
        if (!error.isEmpty())
            return false;
        if (n <= remaining())
            return true;
        return fail(
            QStringLiteral("File is incomplete: it ends inside %1 (the file has %2 bytes, %3 needed). "
                           "Nothing was loaded.")
                .arg(QString::fromLatin1(what))
                .arg(m_size)
                .arg(m_pos + n));
    }
    bool fail(const QString& why)
    {
        if (error.isEmpty())
            error = why;
        return false;
    }

    void io(std::uint8_t& v) { v = std::uint8_t(take<1>()); }
    void io(std::uint16_t& v) { v = std::uint16_t(take<2>()); }
    void io(std::int16_t& v) { v = std::int16_t(take<2>()); }
    void io(std::uint32_t& v) { v = take<4>(); }
    void io(std::int32_t& v) { v = std::int32_t(take<4>()); }
    void raw(std::uint8_t* p, std::size_t n)
    {
        const std::size_t have = std::min(n, remaining());
        std::copy_n(m_data + m_pos, have, p);
        std::fill_n(p + have, n - have, std::uint8_t(0));
        m_pos += have;
    }
    void zeros(std::size_t n) { skip(n); }
    void skip(std::size_t n) { m_pos += std::min(n, remaining()); }

private:
    // Past the end (which the section checks keep it from) a value reads as 0.
    template <int N> std::uint32_t take()
    {
        if (remaining() < std::size_t(N)) {
            m_pos = m_size;
            return 0;
        }
        const std::uint8_t* p = m_data + m_pos;
        m_pos += N;
        if constexpr (N == 1)
            return p[0];
        else if constexpr (N == 2)
            return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
        else
            return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
                | std::uint32_t(p[3]) << 24;
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos;
};

template <class IO, class T, std::size_t N> void PerWin(IO& io, std::array<T, N>& a)
{
    for (T& v : a)
        io.io(v);
}

template <class IO, std::size_t N> void Pairs(IO& io, std::array<PointOffset, N>& a)
{
    for (PointOffset& p : a) {
        io.io(p.x);
        io.io(p.y);
    }
}

template <class IO> void Grid(IO& io, GridArray<OffsetPair>& g)
{
    for (auto& column : g)
        for (OffsetPair& p : column) {
            io.io(p.dx);
            io.io(p.dy);
        }
}

template <class IO> void Corners(IO& io, std::array<OffsetPair, 4>& a)
{
    for (OffsetPair& p : a) {
        io.io(p.dx);
        io.io(p.dy);
    }
}

// Sections 1 to 12 of the whole-box layout.
template <class IO> bool WarpAndPictureSections(IO& io, FileCaches& c)
{
    if (!io.section("the window settings", kWindowSettingsBytes))
        return false;
    c.ws.forEachField([&io](const char*, auto& a) { PerWin(io, a); });
    if (!io.section("the blend settings", 4 * BlendRecord::kSize))
        return false;
    for (BlendRecord& b : c.blend)
        io.raw(b.bytes.data(), b.bytes.size());
    if (!io.section("the edge-mask corners", 128))
        return false;
    for (auto& w : c.edge.x)
        PerWin(io, w);
    for (auto& w : c.edge.y)
        PerWin(io, w);
    if (!io.section("the warp modes", 4))
        return false;
    PerWin(io, c.controlPattern);
    if (!io.section("the control offsets", 4 * 180))
        return false;
    for (auto& w : c.controlOffsets)
        Pairs(io, w);
    if (!io.section("the keystone corners", 4 * 16))
        return false;
    for (auto& w : c.keystone)
        Pairs(io, w);
    if (!io.section("the wall points", 4 * 32))
        return false;
    for (auto& w : c.wallPoints)
        Pairs(io, w);
    if (!io.section("the warp patterns", 4))
        return false;
    PerWin(io, c.warpPattern);
    if (!io.section("the point offsets", 4 * 1156))
        return false;
    for (auto& w : c.pointOffsets)
        Grid(io, w);
    if (!io.section("the corner offsets", 4 * 16))
        return false;
    for (auto& w : c.cornerOffsets)
        Corners(io, w);
    if (!io.section("the wall offsets", 4 * 1156))
        return false;
    for (auto& w : c.wallOffsets)
        Grid(io, w);
    return true;
}

template <class IO> bool InputSizeSections(IO& io, FileCaches& c)
{
    if (!io.section("the input sizes", 32))
        return false;
    for (SignalSize& z : c.fileInput)
        io.io(z.width);
    for (SignalSize& z : c.fileInput)
        io.io(z.height);
    return true;
}

template <class IO> bool PipSections(IO& io, FileCaches& c)
{
    if (!io.section("the PIP settings", 44 + 32 + 32))
        return false;
    for (PipRecord& p : c.pip)
        io.raw(p.bytes.data(), p.bytes.size());
    for (PipRecord& p : c.pip)
        for (std::int16_t& o : p.overlap)
            io.io(o);
    for (SignalSize& z : c.filePip)
        io.io(z.width);
    for (SignalSize& z : c.filePip)
        io.io(z.height);
    return true;
}

template <class IO> bool MaskAssignmentSection(IO& io, FileCaches& c)
{
    if (!io.section("the mask assignments", 16))
        return false;
    PerWin(io, c.maskAssignment);
    return true;
}

template <class IO> bool ColourOutputSections(IO& io, FileCaches& c)
{
    if (!io.section("the deep-colour and HDCP settings", 8))
        return false;
    PerWin(io, c.dcm);
    PerWin(io, c.hdo);
    return true;
}

// The 2792-byte record of one window; the gaps are zero.
template <class IO> void SingleWindowRecord(IO& io, FileCaches& c, std::size_t w)
{
    c.ws.forEachField([&io, w](const char* name, auto& a) {
        io.io(a[w]);
        if (std::strcmp(name, "VGE") == 0)
            io.zeros(3);
    });
    io.raw(c.blend[w].bytes.data(), BlendRecord::kSize);
    for (std::int16_t& v : c.edge.x[w])
        io.io(v);
    for (std::int16_t& v : c.edge.y[w])
        io.io(v);
    io.io(c.controlPattern[w]);
    io.zeros(1);
    Pairs(io, c.controlOffsets[w]);
    Pairs(io, c.keystone[w]);
    Pairs(io, c.wallPoints[w]);
    io.io(c.warpPattern[w]);
    io.zeros(1);
    Grid(io, c.pointOffsets[w]);
    Corners(io, c.cornerOffsets[w]);
    Grid(io, c.wallOffsets[w]);
    io.zeros(2);
    io.io(c.fileInput[w].width);
    io.io(c.fileInput[w].height);
    io.raw(c.pip[w].bytes.data(), c.pip[w].bytes.size());
    io.zeros(1);
    for (std::int16_t& o : c.pip[w].overlap)
        io.io(o);
    io.io(c.filePip[w].width);
    io.io(c.filePip[w].height);
    io.io(c.maskAssignment[w]);
}

} // namespace trivel::settingfile
