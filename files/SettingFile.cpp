#include "files/SettingFile.h"

#include "box/Box.h"
#include "session/Controls.h"
#include "box/PageShow.h"
#include "session/PageTable.h"
#include "mask/Masks.h"
#include "session/Session.h"
#include "settings/SettingsState.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cstring>

namespace trivel {

Q_LOGGING_CATEGORY(lcFiles, "trivel.files")

namespace {

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

std::size_t SlotCapacity(int slot)
{
    return slot == kSlots - 1 ? kColourSlotBytes : kMonoSlotBytes;
}

std::uint32_t SizeField(const std::uint8_t* header)
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

const SlotCopy& CopyOfSlot(const Session& s, int slot)
{
    return slot == kSlots - 1 ? s.masks->state().ColourSlotCopy
                              : s.masks->state().MonoSlotCopy[std::size_t(slot)];
}

// One mask entry: the copy's stream up to its size field, or a length of 0. A copy whose size
// field cannot be right (a broken read from the box) is written as empty rather than past its
// buffer. Returns the length written.
std::uint32_t WriteMaskEntry(Writer& wr, const Session& s, int slot, bool withData)
{
    std::uint32_t length = 0;
    const SlotCopy& copy = CopyOfSlot(s, slot);
    if (withData && copy.size() >= kMaskHeaderBytes) {
        const std::uint32_t size = SizeField(copy.data());
        if (size >= kMaskHeaderBytes && size <= std::min(copy.size(), SlotCapacity(slot)))
            length = size;
        else if (size != 0)
            qCWarning(lcFiles) << "slot" << slot + 1 << "copy has a size field of" << size
                               << "bytes; saved as empty";
    }
    wr.io(length);
    if (length > 0)
        wr.raw(copy.data(), length);
    return length;
}

void WriteHeader(Writer& wr, const Session& s, bool wholeBox)
{
    wr.out.append(wholeBox ? "WPM" : "SBF", 3);
    std::uint8_t model = std::uint8_t(s.BoardModel);
    wr.io(model);
    std::uint8_t one = 1, version = kSettingFileVersion;
    wr.io(one);
    wr.io(version);
    std::uint8_t mark = s.flag(Flag::UserMask) ? kMaskMark : 0;
    wr.io(mark);
    wr.zeros(9);
}

// Reads one mask entry at the reader's position: refuses a length that runs past the end of the
// file, does not fit the slot, or disagrees with the stream's own size field.
bool ReadMaskEntry(Reader& rd, int slot, SlotAction& action)
{
    const QByteArray which = QStringLiteral("the mask entry of slot %1").arg(slot + 1).toLatin1();
    if (!rd.section(which.constData(), 4))
        return false;
    std::uint32_t length = 0;
    rd.io(length);
    if (length == 0) {
        action = {SlotAction::ZeroHeader, 0, 0};
        return true;
    }
    if (length > SlotCapacity(slot))
        return rd.fail(
            QStringLiteral("The mask of slot %1 in this file is %2 bytes long, more than the slot holds "
                           "(%3 bytes). Nothing was loaded.")
                .arg(slot + 1)
                .arg(length)
                .arg(SlotCapacity(slot)));
    if (!rd.section(which.constData(), length))
        return false;
    const std::size_t offset = rd.pos();
    if (length < kMaskHeaderBytes || SizeField(rd.at(offset)) != length)
        return rd.fail(
            QStringLiteral("The mask of slot %1 in this file is damaged: its entry is %2 bytes long but "
                           "its header says %3. Nothing was loaded.")
                .arg(slot + 1)
                .arg(length)
                .arg(length < kMaskHeaderBytes ? 0 : SizeField(rd.at(offset))));
    rd.skip(length);
    action = {SlotAction::Fill, offset, length};
    return true;
}

bool CheckAssignments(Reader& rd, const FileCaches& c, std::size_t first, std::size_t last)
{
    for (std::size_t w = first; w <= last; ++w) {
        const std::int32_t a = c.maskAssignment[w];
        if (a < 0 || a > kSlots)
            return rd.fail(
                QStringLiteral("The mask assignment of window %1 in this file is %2, not a slot 1 to 10 "
                               "or 0. Nothing was loaded.")
                    .arg(w + 1)
                    .arg(a));
    }
    return true;
}

void ClearOverscans(FileCaches& c, std::size_t w)
{
    c.ws.OLE[w] = c.ws.ORE[w] = c.ws.OTE[w] = c.ws.OBE[w] = 0;
}

// Files from before the EDID choices existed.
void EdidDefaults(FileCaches& c, std::size_t w)
{
    c.ws.H1E[w] = c.ws.H2E[w] = c.ws.DPE[w] = c.ws.VGE[w] = 0;
    c.ws.H1W[w] = c.ws.H2W[w] = c.ws.DPW[w] = c.ws.VGW[w] = 1920;
    c.ws.H1V[w] = c.ws.H2V[w] = c.ws.DPV[w] = c.ws.VGV[w] = 1080;
}

void SingleWindowBlendDefaults(BlendRecord& b)
{
    for (std::size_t off : {16, 18, 20})
        b.put16(off, 50);
    b.bytes[25] = 50;
    for (std::size_t off = 86; off <= 91; ++off)
        b.bytes[off] = 50;
}

bool ReadWholeBox(Reader& rd, FileCaches& c, SlotActions& actions, int v, bool fileMasks, bool boxMasks)
{
    if (!WarpAndPictureSections(rd, c))
        return false;
    if (v >= 4) {
        if (!InputSizeSections(rd, c))
            return false;
        for (std::size_t w = 0; w < 4; ++w)
            if (c.fileInput[w].width == 0)
                ClearOverscans(c, w);
    } else {
        c.fileInput = {};
    }
    if (v >= 5) {
        if (!PipSections(rd, c))
            return false;
    } else {
        c.pip = {};
        c.filePip = {};
    }
    if (v < 8)
        for (std::size_t w = 0; w < 4; ++w)
            EdidDefaults(c, w);
    if (v >= 9) {
        if (!MaskAssignmentSection(rd, c) || !CheckAssignments(rd, c, 0, 3))
            return false;
    } else {
        c.maskAssignment = {};
    }
    // A box without the mask feature still has to step over the section to reach 21 and 22.
    if (v >= 10 && fileMasks) {
        for (int slot = 0; slot < kSlots; ++slot) {
            SlotAction a;
            if (!ReadMaskEntry(rd, slot, a))
                return false;
            if (boxMasks)
                actions[std::size_t(slot)] = a;
        }
    } else if (boxMasks) {
        actions.fill({SlotAction::Clear, 0, 0});
    }
    if (v >= 11) {
        if (!ColourOutputSections(rd, c))
            return false;
    } else {
        c.dcm = {};
        c.hdo = {};
    }
    return true;
}

bool ReadSingleWindow(
    Reader& rd, FileCaches& c, SlotActions& actions, int v, bool fileMasks, bool boxMasks, std::size_t w)
{
    if (!rd.section("the window record", kSingleWindowRecordBytes))
        return false;
    SingleWindowRecord(rd, c, w);
    if (c.fileInput[w].width == 0)
        ClearOverscans(c, w);
    if (v < 8)
        EdidDefaults(c, w);
    if (v >= 9) {
        if (!CheckAssignments(rd, c, w, w))
            return false;
    } else {
        c.maskAssignment[w] = 0;
    }
    const int a = c.maskAssignment[w];
    if (v >= 10 && fileMasks) {
        // The entry is there whatever the assignment (a u32 0 for none): it must be stepped over
        // for DCM and HDO to be read from their own bytes.
        SlotAction entry;
        if (!ReadMaskEntry(rd, a == 0 ? kSlots - 1 : a - 1, entry))
            return false;
        if (boxMasks && a != 0)
            actions[std::size_t(a - 1)] = entry;
    } else if (boxMasks && a != 0) {
        actions[std::size_t(a - 1)] = {SlotAction::Clear, 0, 0};
    }
    if (v >= 11) {
        if (!rd.section("the deep-colour and HDCP settings", 8))
            return false;
        std::uint32_t dcm = 0, hdo = 0;
        rd.io(dcm);
        rd.io(hdo);
        c.dcm[w] = std::uint8_t(dcm);
        c.hdo[w] = std::uint8_t(hdo);
    } else {
        c.dcm[w] = c.hdo[w] = 0;
    }
    return true;
}

void ApplySlotActions(Session& s, const SlotActions& actions, const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    for (int slot = 0; slot < kSlots; ++slot) {
        const SlotAction& a = actions[std::size_t(slot)];
        SlotCopy& copy = slot == kSlots - 1 ? s.masks->state().ColourSlotCopy
                                            : s.masks->state().MonoSlotCopy[std::size_t(slot)];
        switch (a.kind) {
        case SlotAction::Keep:
            break;
        case SlotAction::Fill: {
            copy.clear();
            const std::span<std::uint8_t> bytes = copy.writable();
            std::copy_n(data + a.offset, std::min(a.length, bytes.size()), bytes.begin());
            const auto& magic = slot == kSlots - 1 ? kColourMagic : kMonoMagic;
            std::copy(magic.begin(), magic.end(), bytes.begin());
            break;
        }
        case SlotAction::ZeroHeader:
            copy.clearHeader();
            break;
        case SlotAction::Clear:
            copy.clear();
            break;
        }
    }
}

// The refill after a load: the first page is shown with Refreshing set, then every page.
void RefreshAfterLoad(Session& s)
{
    // The refill zeroes the current window's overscans when it has no input signal now; the file
    // has its own rule for that (its input width 0), and what it holds is what goes to the box.
    const WindowSettingsRecord loaded = s.settings().WindowSettings;
    const bool was = s.flag(Flag::Refreshing);
    s.setFlag(Flag::Refreshing, true);
    SetActivePage(s, Page::WarpAdjust);
    RunPageShow(s, Page::WarpAdjust);
    s.setFlag(Flag::Refreshing, was);
    RefreshPages(s);
    RefreshBlendPages(s);
    WindowSettingsRecord& ws = s.settings().WindowSettings;
    ws.OLE = loaded.OLE;
    ws.ORE = loaded.ORE;
    ws.OTE = loaded.OTE;
    ws.OBE = loaded.OBE;
}

SettingFileOutcome Refused(bool wholeBox, const QString& why)
{
    SettingFileOutcome r;
    r.wholeBox = wholeBox;
    r.message = why;
    qCInfo(lcFiles).noquote() << "load refused:" << why;
    return r;
}

// The file's bytes; slotsWritten gets the numbers (1..10) of the slots whose masks went in.
QByteArray BuildFile(const Session& s, bool wholeBox, std::vector<int>& slotsWritten)
{
    FileCaches c = FileCaches::ToSave(s); // the shared read/write sections take it mutable
    const bool masks = s.flag(Flag::UserMask);
    Writer wr(wholeBox ? kWholeBoxFileBytes : kSettingFileHeaderBytes + kSingleWindowRecordBytes + 12);
    WriteHeader(wr, s, wholeBox);
    if (wholeBox) {
        WarpAndPictureSections(wr, c);
        InputSizeSections(wr, c);
        PipSections(wr, c);
        MaskAssignmentSection(wr, c);
        if (masks) {
            for (int slot = 0; slot < kSlots; ++slot) {
                const bool assigned = std::find(c.maskAssignment.begin(), c.maskAssignment.end(), slot + 1)
                    != c.maskAssignment.end();
                if (WriteMaskEntry(wr, s, slot, s.SaveAllMasks || assigned) > 0)
                    slotsWritten.push_back(slot + 1);
            }
        }
        ColourOutputSections(wr, c);
        return wr.out;
    }

    const std::size_t w = std::size_t(s.CurrentWindow & 3);
    SingleWindowRecord(wr, c, w);
    if (masks) {
        const std::int32_t a = c.maskAssignment[w];
        if (a >= 1 && a <= kSlots) {
            if (WriteMaskEntry(wr, s, a - 1, true) > 0)
                slotsWritten.push_back(a);
        } else {
            std::uint32_t none = 0;
            wr.io(none);
        }
    }
    std::uint32_t dcm = c.dcm[w], hdo = c.hdo[w];
    wr.io(dcm);
    wr.io(hdo);
    return wr.out;
}

// "3", "3 and 10", "1, 3 and 10".
QString NumberList(const std::vector<int>& n)
{
    QString out;
    for (std::size_t i = 0; i < n.size(); ++i) {
        if (i > 0)
            out += i + 1 == n.size() ? QStringLiteral(" and ") : QStringLiteral(", ");
        out += QString::number(n[i]);
    }
    return out;
}

QString Contents(const Session& s, bool wholeBox, const std::vector<int>& written)
{
    QString text = wholeBox
        ? QStringLiteral("whole-box file with windows 1 to 4")
        : QStringLiteral("single-window file with window %1").arg((s.CurrentWindow & 3) + 1);
    if (!s.flag(Flag::UserMask))
        return text;
    if (written.empty())
        return wholeBox ? text + QStringLiteral(" and no mask slot") : text;
    return text
        + (written.size() == 1 ? QStringLiteral(" and mask slot ") : QStringLiteral(" and mask slots "))
        + NumberList(written);
}

} // namespace

QByteArray SettingFileBytes(const Session& s, bool wholeBox)
{
    std::vector<int> written;
    return BuildFile(s, wholeBox, written);
}

SettingFileOutcome SaveSettingFile(Session& s, const QString& path, bool wholeBox)
{
    SettingFileOutcome r;
    r.wholeBox = wholeBox;
    std::vector<int> written;
    const QByteArray bytes = BuildFile(s, wholeBox, written);
    QString why;
    if (!WriteFileAtomically(path, bytes, why)) {
        r.message = QStringLiteral("The setting file was not saved: %1. Any earlier file of that name is "
                                   "unchanged.")
                        .arg(why);
        qCWarning(lcFiles).noquote() << path << r.message;
        return r;
    }
    r.contents = Contents(s, wholeBox, written);
    qCInfo(lcFiles).noquote() << "saved" << path << bytes.size() << "bytes:" << r.contents;
    r.ok = true;
    return r;
}

SettingFileOutcome LoadSettingFile(Session& s, const QString& path)
{
    QByteArray bytes;
    QString why;
    if (!ReadRegularFile(path, kLargestSettingFile, bytes, why))
        return Refused(false, why + QStringLiteral(" Nothing was loaded."));
    return LoadSettingBytes(s, bytes);
}

SettingFileOutcome LoadSettingBytes(Session& s, const QByteArray& bytes)
{
    // A file of neither kind is refused by the whole-box check with its own message.
    return LoadSettingBytes(s, bytes, SettingFileKindOf(bytes) != SettingFileKind::SingleWindow);
}

SettingFileOutcome LoadSettingBytes(Session& s, const QByteArray& bytes, bool wholeBox)
{
    const auto headerByte
        = [&bytes](int i) { return i < bytes.size() ? std::uint8_t(bytes[i]) : std::uint8_t(0); };
    const char* magic = wholeBox ? "WPM" : "SBF";
    if (bytes.size() < 3 || std::memcmp(bytes.constData(), magic, 3) != 0)
        return Refused(wholeBox, QStringLiteral("File is not correct!! [ %1]").arg(headerByte(5)));
    const QString wrongModel = QStringLiteral("File is not for this Model!! [ %1]").arg(headerByte(3));
    if (s.BoardModel == kModel116 && headerByte(3) != kModel116)
        return Refused(wholeBox, wrongModel);
    const bool boxMasks = s.flag(Flag::UserMask);
    const bool fileMasks = headerByte(6) == kMaskMark;
    if (boxMasks && !fileMasks)
        return Refused(wholeBox, wrongModel);
    if (s.transfer.Running)
        return Refused(wholeBox, QStringLiteral("Another operation is still running. Nothing was loaded."));

    Reader rd(bytes, 0);
    if (!rd.section("its header", kSettingFileHeaderBytes))
        return Refused(wholeBox, rd.error);
    rd.skip(kSettingFileHeaderBytes);
    const int v = headerByte(5);
    const std::size_t w = std::size_t(s.CurrentWindow & 3);
    FileCaches c = FileCaches::From(s);
    SlotActions actions{};
    const bool read = wholeBox ? ReadWholeBox(rd, c, actions, v, fileMasks, boxMasks)
                               : ReadSingleWindow(rd, c, actions, v, fileMasks, boxMasks, w);
    if (!read)
        return Refused(wholeBox, rd.error);

    // From here the file has been read whole: the caches are replaced.
    c.storeInto(s);
    ApplySlotActions(s, actions, bytes);

    SettingFileOutcome r;
    r.ok = true;
    r.wholeBox = wholeBox;
    const bool model116 = s.BoardModel == kModel116 || (wholeBox && headerByte(3) == kModel116);
    int assigned = 0;
    if (wholeBox) {
        for (auto& h : s.box->warp.adjust().userMap.UndoHistory)
            h.clear();
        if (model116)
            for (BlendRecord& b : s.settings().BlendSettings)
                SingleWindowBlendDefaults(b);
        // A whole-box load decides the kind of transfer itself, so a model-116 file loaded earlier
        // cannot leave the next one single-windowed.
        s.setFlag(Flag::SingleWindowTransfer, model116);
        s.TransferWindow = 0;
    } else {
        s.box->warp.adjust().userMap.UndoHistory[w].clear();
        if (model116)
            SingleWindowBlendDefaults(s.settings().BlendSettings[w]);
        s.TransferWindow = int(w);
        assigned = s.masks->state().MaskAssignment[w];
    }
    // The defaults go in before the refill so that the pages show what will be sent.
    RefreshAfterLoad(s);

    if (s.connected()) {
        if (!wholeBox)
            s.setFlag(Flag::SingleWindowTransfer, true);
        const bool single = s.flag(Flag::SingleWindowTransfer);
        SetProgress(s, 0);
        SetProgressMaximum(s, single ? 103 : 322);
        s.ui.set(ctl::UpdateStep, Prop::Top, 180);
        if (wholeBox) {
            r.maskTransfer = boxMasks && !single;
            if (boxMasks && single)
                s.ui.appendMemo(
                    QStringLiteral("Setting file: a single-window transfer of a whole-box file sends no "
                                   "mask slots."));
            if (r.maskTransfer)
                s.transfer.MaskSlot = 0;
        } else {
            r.maskTransfer = boxMasks && assigned != 0;
            if (r.maskTransfer)
                s.transfer.MaskSlot = assigned - 1;
        }
    }
    qCInfo(lcFiles) << "loaded" << (wholeBox ? "whole-box" : "single-window") << "file, version" << v;
    return r;
}

} // namespace trivel
