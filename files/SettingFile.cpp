#include "files/SettingFile.h"

#include "box/Box.h"
#include "box/PageShow.h"
#include "files/SettingFileFormat.h"
#include "files/SettingTransfer.h"
#include "mask/Masks.h"
#include "session/Controls.h"
#include "session/PageTable.h"
#include "session/Session.h"
#include "settings/SettingsState.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cstring>

namespace trivel {

Q_LOGGING_CATEGORY(lcFiles, "trivel.files")

namespace {

using namespace settingfile;

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

// With a box connected: the progress panel up and where the transfer that follows starts.
// True when it starts with the mask slots.
bool PrepareTransfer(Session& s, bool wholeBox, bool boxMasks, int assigned)
{
    if (!wholeBox)
        s.setFlag(Flag::SingleWindowTransfer, true);
    const bool single = s.flag(Flag::SingleWindowTransfer);
    SetProgress(s, 0);
    SetProgressMaximum(s, single ? kSingleWindowProgress : kWholeBoxProgress);
    s.ui.set(ctl::UpdateStep, Prop::Top, 180);
    if (wholeBox) {
        if (boxMasks && single)
            s.ui.appendMemo(QStringLiteral(
                "Setting file: a single-window transfer of a whole-box file sends no mask slots."));
        if (boxMasks && !single)
            s.transfer.MaskSlot = 0;
        return boxMasks && !single;
    }
    if (boxMasks && assigned != 0)
        s.transfer.MaskSlot = assigned - 1;
    return boxMasks && assigned != 0;
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

    if (s.connected())
        r.maskTransfer = PrepareTransfer(s, wholeBox, boxMasks, assigned);
    qCInfo(lcFiles) << "loaded" << (wholeBox ? "whole-box" : "single-window") << "file, version" << v;
    return r;
}

} // namespace trivel
