#include "box/Box.h"
#include "SettingFileFixture.h"

#include "files/SettingFileActions.h"
#include "session/Controls.h"
#include "session/PageTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace trivel::test {
namespace {

constexpr qsizetype kH = 16; // header

QByteArray Header(const QByteArray& b)
{
    return b.left(kH);
}

// The caches a load may change, as the bytes a save would write, plus the slot copies.
struct Snapshot {
    QByteArray whole;
    std::array<QByteArray, 4> single;
    std::vector<std::uint8_t> slotBytes;
    std::array<SignalSize, 4> fileInput{};
    std::uint32_t flags = 0;

    static Snapshot Of(Session& x)
    {
        Snapshot n;
        n.whole = SettingFileBytes(x, true);
        const int cw = x.CurrentWindow;
        for (int w = 0; w < 4; ++w) {
            x.CurrentWindow = w;
            n.single[std::size_t(w)] = SettingFileBytes(x, false);
        }
        x.CurrentWindow = cw;
        for (const auto& c : x.masks->state().MonoSlotCopy)
            n.slotBytes.insert(n.slotBytes.end(), c.begin(), c.end());
        n.slotBytes.insert(n.slotBytes.end(), x.masks->state().ColourSlotCopy.begin(),
            x.masks->state().ColourSlotCopy.end());
        n.fileInput = x.FileInputSize;
        n.flags = x.SessionFlags;
        return n;
    }
    bool operator==(const Snapshot&) const = default;
};

TEST_F(SettingFileTest, HeaderAndSizesOfBothLayouts)
{
    struct Case {
        const char* name;
        bool whole;
        bool masks;
        qsizetype size;
        const char* magic;
    };
    const Case cases[] = {
        {"whole box, no mask feature", true, false, 11160, "WPM"},
        {"single window, no mask feature", false, false, 2816, "SBF"},
        {"single window, mask feature, nothing assigned", false, true, 2820, "SBF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Session& x = s;
        x.BoardModel = 0x173; // only the low byte is kept
        x.setFlag(Flag::UserMask, c.masks);
        x.masks->state().MaskAssignment = {};
        const QByteArray b = SettingFileBytes(x, c.whole);
        EXPECT_EQ(b.size(), c.size);
        QByteArray expected(c.magic, 3);
        expected
            += QByteArray::fromHex("7301 0b") + QByteArray(1, c.masks ? 'E' : '\0') + QByteArray(9, '\0');
        EXPECT_EQ(Header(b).toHex(), expected.toHex());
    }
}

TEST_F(SettingFileTest, WholeBoxFieldsSitAtTheirOffsets)
{
    FillEveryField(s);
    auto& ws = s.settings().WindowSettings;
    ws.BRI[2] = 0x5A;
    ws.OLE[1] = -300;
    ws.VGV[3] = 0x01020304;
    s.settings().BlendSettings[1].bytes[5] = 0xB5;
    s.settings().EdgeMaskCorners.y[2][3] = -1234;
    s.box->warp.state().model[3].ControlPattern = 100;
    s.box->warp.adjust().ControlOffsets[1][44].y = -77;
    s.box->warp.adjust().KeystoneCorners[3][1].x = 4321;
    s.box->warp.adjust().WallPoints[2][7].y = -5;
    s.box->warp.state().model[1].WarpPattern = 6;
    s.box->warp.state().model[1].PointOffsets[3][5] = {-600, 599};
    s.box->warp.state().model[3].CornerOffsets[2].dy = -31000;
    s.box->warp.state().model[0].WallOffsets[16][16].dy = 900;
    s.FileInputSize[2].width = 3840;
    s.FileInputSize[3].height = 2160;
    s.settings().PipSettings[1].bytes[4] = 0xC4;
    s.settings().PipSettings[3].overlap[3] = -12;
    s.FilePipSourceSize[0].width = 1366;
    s.FilePipSourceSize[3].height = 768;
    s.masks->state().MaskAssignment[2] = 10;
    s.settings().DCM[1] = 0xD1;
    s.settings().HDO[3] = 0xE3;

    const QByteArray b = SettingFileBytes(s, true);
    ASSERT_EQ(b.size(), 11160);
    EXPECT_EQ(U8At(b, kH + 62), 0x5A);
    EXPECT_EQ(I16At(b, kH + 26), -300);
    EXPECT_EQ(U32At(b, kH + 240), 0x01020304u);
    EXPECT_EQ(U8At(b, kH + 244 + 94 + 5), 0xB5);
    EXPECT_EQ(I16At(b, kH + 244 + 376 + 64 + 2 * 16 + 3 * 2), -1234);
    EXPECT_EQ(U8At(b, 767), 100);
    EXPECT_EQ(I16At(b, 768 + 180 + 44 * 4 + 2), -77);
    EXPECT_EQ(I16At(b, 1488 + 48 + 4), 4321);
    EXPECT_EQ(I16At(b, 1552 + 64 + 28 + 2), -5);
    EXPECT_EQ(U8At(b, 1681), 6);
    EXPECT_EQ(I16At(b, 1684 + 1156 + 3 * 68 + 5 * 4), -600); // column-major
    EXPECT_EQ(I16At(b, 1684 + 1156 + 3 * 68 + 5 * 4 + 2), 599);
    EXPECT_EQ(I16At(b, 6308 + 48 + 8 + 2), -31000);
    EXPECT_EQ(I16At(b, 6372 + 16 * 68 + 16 * 4 + 2), 900);
    EXPECT_EQ(U32At(b, 10996 + 8), 3840u);
    EXPECT_EQ(U32At(b, 11012 + 12), 2160u);
    EXPECT_EQ(U8At(b, 11028 + 11 + 4), 0xC4);
    EXPECT_EQ(I16At(b, 11072 + 24 + 6), -12);
    EXPECT_EQ(U32At(b, 11104), 1366u);
    EXPECT_EQ(U32At(b, 11120 + 12), 768u);
    EXPECT_EQ(U32At(b, 11136 + 8), 10u);
    EXPECT_EQ(U8At(b, 11153), 0xD1);
    EXPECT_EQ(U8At(b, 11159), 0xE3);
}

TEST_F(SettingFileTest, SingleWindowRecordOfTheCurrentWindow)
{
    FillEveryField(s);
    s.CurrentWindow = 2;
    auto& ws = s.settings().WindowSettings;
    ws.VZM[2] = 0x15;
    ws.OBE[2] = -9;
    ws.VGE[2] = 0x1C;
    ws.H1W[2] = 2560;
    ws.VGV[2] = 1600;
    s.settings().BlendSettings[2].bytes[93] = 0x5D;
    s.box->warp.state().model[2].ControlPattern = 16;
    s.box->warp.adjust().KeystoneCorners[2][0].x = -11;
    s.box->warp.state().model[2].WarpPattern = 7;
    s.box->warp.state().model[2].PointOffsets[0][0].dx = 123;
    s.box->warp.state().model[2].WallOffsets[16][16].dy = -456;
    s.FileInputSize[2] = {1280, 1024};
    s.settings().PipSettings[2].bytes[10] = 0xAA;
    s.settings().PipSettings[2].overlap[0] = -3;
    s.FilePipSourceSize[2] = {800, 600};
    s.masks->state().MaskAssignment[2] = 0;
    s.settings().DCM[2] = 0x01;
    s.settings().HDO[2] = 0x02;

    const QByteArray b = SettingFileBytes(s, false);
    ASSERT_EQ(b.size(), 2816);
    EXPECT_EQ(U8At(b, kH + 5), 0x15);
    EXPECT_EQ(I16At(b, kH + 12), -9);
    EXPECT_EQ(U8At(b, kH + 28), 0x1C);
    EXPECT_EQ(b.mid(kH + 29, 3), QByteArray(3, '\0'));
    EXPECT_EQ(U32At(b, kH + 32), 2560u);
    EXPECT_EQ(U32At(b, kH + 60), 1600u);
    EXPECT_EQ(U8At(b, kH + 64 + 93), 0x5D);
    EXPECT_EQ(U8At(b, kH + 190), 16);
    EXPECT_EQ(U8At(b, kH + 191), 0);
    EXPECT_EQ(I16At(b, kH + 372), -11);
    EXPECT_EQ(U8At(b, kH + 420), 7);
    EXPECT_EQ(I16At(b, kH + 422), 123);
    EXPECT_EQ(I16At(b, kH + 1594 + 1156 - 2), -456);
    EXPECT_EQ(U32At(b, kH + 2752), 1280u);
    EXPECT_EQ(U32At(b, kH + 2756), 1024u);
    EXPECT_EQ(U8At(b, kH + 2770), 0xAA);
    EXPECT_EQ(U8At(b, kH + 2771), 0);
    EXPECT_EQ(I16At(b, kH + 2772), -3);
    EXPECT_EQ(U32At(b, kH + 2780), 800u);
    EXPECT_EQ(U32At(b, kH + 2784), 600u);
    EXPECT_EQ(U32At(b, kH + 2788), 0u);
    EXPECT_EQ(U32At(b, kH + 2792), 1u);
    EXPECT_EQ(U32At(b, kH + 2796), 2u);
}

// save -> load into a fresh session -> save gives the same bytes, for both layouts, with and
// without the mask feature, on a state where every field differs from its start value.
TEST_F(SettingFileTest, SaveLoadSaveGivesIdenticalBytes)
{
    for (bool masks : {false, true}) {
        for (bool whole : {true, false}) {
            SCOPED_TRACE(std::string(whole ? "whole box" : "single window") + (masks ? ", masks" : ""));
            VirtualClock c1, c2;
            RecordingUi u1, u2;
            Box aBox{c1, u1}, bBox{c2, u2};
            Session& a = aBox.session;
            Session& b = bBox.session;
            a.BoardModel = b.BoardModel = 115;
            a.setFlag(Flag::UserMask, masks);
            b.setFlag(Flag::UserMask, masks);
            FillEveryField(a, whole ? 3 : 5);
            a.CurrentWindow = b.CurrentWindow = 3; // assigned slot 9
            PutSlotCopy(a, 3, MaskStreamBytes(961, false, 1));
            PutSlotCopy(a, 9, MaskStreamBytes(300, false, 2));
            PutSlotCopy(a, 10, MaskStreamBytes(5000, true, 3));
            const QByteArray first = SettingFileBytes(a, whole);
            const SettingFileOutcome o = LoadSettingBytes(b, first, whole);
            ASSERT_TRUE(o.ok) << o.message.toStdString();
            EXPECT_EQ(o.wholeBox, whole);
            const QByteArray second = SettingFileBytes(b, whole);
            EXPECT_EQ(second.size(), first.size());
            EXPECT_TRUE(second == first);
            if (whole) {
                EXPECT_EQ(b.FileInputSize, a.FileInputSize);
                EXPECT_EQ(b.FilePipSourceSize, a.FilePipSourceSize);
            }
        }
    }
}

TEST_F(SettingFileTest, UncheckedSaveAllWritesOnlyTheAssignedSlots)
{
    withMasks(s);
    FillEveryField(s);
    for (int slot = 1; slot <= 10; ++slot)
        PutSlotCopy(s, slot, MaskStreamBytes(std::uint32_t(100 + slot), slot == 10, std::uint8_t(slot)));
    s.masks->state().MaskAssignment = {3, 0, 10, 0};
    s.SaveAllMasks = false;

    const QByteArray b = SettingFileBytes(s, true);
    qsizetype at = 11152;
    std::vector<std::uint32_t> lengths;
    for (int slot = 1; slot <= 10; ++slot) {
        const std::uint32_t n = U32At(b, at);
        lengths.push_back(n);
        if (n) {
            EXPECT_EQ(U32At(b, at + 4 + 4), n) << "slot " << slot; // the stream's own size field
        }
        at += 4 + n;
    }
    EXPECT_EQ(lengths, (std::vector<std::uint32_t>{0, 0, 103, 0, 0, 0, 0, 0, 0, 110}));
    EXPECT_EQ(b.size(), at + 8);

    s.SaveAllMasks = true;
    EXPECT_EQ(SettingFileBytes(s, true).size(),
        11160 + 40 + (101 + 102 + 103 + 104 + 105 + 106 + 107 + 108 + 109 + 110));
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Everything in a folder, hidden files included: a save must leave no temporary file behind.
QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// A whole-box file renamed or saved under a lower-case or bare name is still a whole-box file, and a
// single-window file under ".WBF" a single-window one: the first bytes decide.
TEST_F(SettingFileTest, TheFileItselfSaysItsKindWhateverItsName)
{
    QTemporaryDir dir;
    FillEveryField(s);
    s.CurrentWindow = 2;
    t.CurrentWindow = 1;
    for (bool whole : {true, false}) {
        for (const char* name : {"RIG.WBF", "rig.wbf", "Rig.Wbf", "rig.sbf", "RIG.SBF", "rig", "rig.bak"}) {
            SCOPED_TRACE(std::string(whole ? "whole-box bytes as " : "single-window bytes as ") + name);
            const QString path = dir.filePath(name);
            WriteAll(path, SettingFileBytes(s, whole));
            t.settings().WindowSettings.BRI = {};
            const SettingFileOutcome o = LoadSettingFile(t, path);
            ASSERT_TRUE(o.ok) << o.message.toStdString();
            EXPECT_EQ(o.wholeBox, whole);
            const auto& bri = t.settings().WindowSettings.BRI;
            if (whole) {
                EXPECT_EQ(bri, s.settings().WindowSettings.BRI);
            } else {
                EXPECT_EQ(bri, (std::array<std::uint8_t, 4>{0, s.settings().WindowSettings.BRI[2], 0, 0}));
            }
        }
    }
}

TEST(SettingFileSaveName, ExtensionInAnyCaseElseTheChosenKind)
{
    struct Case {
        const char* name;
        bool wholeBoxChosen;
        const char* path;
        bool wholeBox;
    };
    const Case cases[] = {
        {"a/RIG.WBF", false, "a/RIG.WBF", true}, {"a/rig.wbf", false, "a/rig.wbf", true},
        {"a/rig.Wbf", true, "a/rig.Wbf", true}, {"a/rig.sbf", true, "a/rig.sbf", false},
        {"a/RIG.SBF", false, "a/RIG.SBF", false}, {"a/rig", true, "a/rig.WBF", true},
        {"a/rig", false, "a/rig.SBF", false}, {"a/rig.txt", true, "a/rig.txt.WBF", true},
        {"old.wbf/rig", false, "old.wbf/rig.SBF", false}, // a folder's name says nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SaveTarget t = ResolveSaveName(QString::fromLatin1(c.name), c.wholeBoxChosen);
        EXPECT_EQ(t.path, QString::fromLatin1(c.path));
        EXPECT_EQ(t.wholeBox, c.wholeBox);
    }
}

// The Save Setting button: the name's extension in any case, else the kind the dialog's filter
// chose; the confirmation says what went into the file.
TEST_F(SettingFileTest, SaveButtonWritesTheKindAskedForAndSaysWhat)
{
    QTemporaryDir dir;
    withMasks(s);
    FillEveryField(s); // windows 1, 3 and 4 have slots 3, 10 and 9
    PutSlotCopy(s, 3, MaskStreamBytes(100, false, 1));
    PutSlotCopy(s, 10, MaskStreamBytes(200, true, 2));
    s.SaveAllMasks = false;
    s.CurrentWindow = 2;
    struct Case {
        const char* typed;
        bool wholeBoxFilter;
        const char* written;
        const char* says;
    };
    const Case cases[] = {
        {"rig.wbf", true, "rig.wbf", "rig.wbf: whole-box file with windows 1 to 4 and mask slots 3 and 10."},
        {"low.wbf", false, "low.wbf", "low.wbf: whole-box file with windows 1 to 4 and mask slots 3 and 10."},
        {"bare", true, "bare.WBF", "bare.WBF: whole-box file with windows 1 to 4 and mask slots 3 and 10."},
        {"bare", false, "bare.SBF", "bare.SBF: single-window file with window 3 and mask slot 10."},
        {"one.Sbf", true, "one.Sbf", "one.Sbf: single-window file with window 3 and mask slot 10."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        ui.messages.clear();
        TntButton1Click(s, dir.filePath(c.typed), c.wholeBoxFilter);
        const QByteArray b = ReadAll(dir.filePath(c.written));
        const bool whole = QByteArray(c.says).contains("whole-box");
        EXPECT_EQ(b.left(3), whole ? "WPM" : "SBF");
        EXPECT_EQ(b.size(), whole ? 11160 + 40 + 100 + 200 : 2816 + 4 + 200);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, "File saved successfully.\n\n" + QString::fromLatin1(c.says));
    }
}

// The dialog asked about the name typed; when an extension is added, the file of that name is
// replaced only once the user says so.
TEST_F(SettingFileTest, SaveButtonAsksBeforeReplacingAFileTheDialogDidNotName)
{
    QTemporaryDir dir;
    WriteAll(dir.filePath("rig.WBF"), "earlier backup");
    ui.answers = {MsgResult::Cancel};
    TntButton1Click(s, dir.filePath("rig"), true);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Question);
    EXPECT_EQ(ui.messages[0].text, "rig.WBF already exists.\nDo you want to replace it?");
    EXPECT_EQ(ReadAll(dir.filePath("rig.WBF")), "earlier backup");

    ui.answers = {MsgResult::Ok};
    TntButton1Click(s, dir.filePath("rig"), true);
    EXPECT_EQ(ReadAll(dir.filePath("rig.WBF")).left(3), "WPM");
}

// A version-4 whole-box file: sections 1 to 14 only.
TEST_F(SettingFileTest, VersionFourLoadsWithDefaultsOfTheMissingSections)
{
    FillEveryField(s);
    withMasks(s);
    QByteArray b = SettingFileBytes(s, true).left(16 + 10980 + 32);
    b[5] = 4;

    withMasks(t);
    FillEveryField(t, 50);
    PutSlotCopy(t, 2, MaskStreamBytes(500, false, 9));
    PutSlotCopy(t, 10, MaskStreamBytes(700, true, 9));
    ASSERT_NE(t.settings().DCM[0], 0);
    const SettingFileOutcome o = LoadSettingBytes(t, b, true);
    ASSERT_TRUE(o.ok) << o.message.toStdString();

    for (std::size_t w = 0; w < 4; ++w) {
        EXPECT_EQ(t.settings().PipSettings[w].bytes, (std::array<std::uint8_t, 11>{}));
        EXPECT_EQ(t.settings().PipSettings[w].overlap, (std::array<std::int16_t, 4>{}));
        EXPECT_EQ(t.FilePipSourceSize[w], SignalSize{});
        EXPECT_EQ(t.FileInputSize[w], s.FileInputSize[w]);
        EXPECT_EQ(t.masks->state().MaskAssignment[w], 0);
        EXPECT_EQ(t.settings().DCM[w], 0);
        EXPECT_EQ(t.settings().HDO[w], 0);
        // below version 8: the EDID choices of the time
        EXPECT_EQ(t.settings().WindowSettings.H2E[w], 0);
        EXPECT_EQ(t.settings().WindowSettings.DPW[w], 1920);
        EXPECT_EQ(t.settings().WindowSettings.VGV[w], 1080);
        EXPECT_EQ(t.settings().WindowSettings.BRI[w], s.settings().WindowSettings.BRI[w]);
    }
    const auto zero = [](const SlotCopy& c) {
        return std::all_of(c.begin(), c.end(), [](std::uint8_t v) { return v == 0; });
    };
    EXPECT_TRUE(zero(t.masks->state().MonoSlotCopy[1]));
    EXPECT_TRUE(zero(t.masks->state().ColourSlotCopy));
}

TEST_F(SettingFileTest, InputWidthZeroClearsThatWindowsOverscans)
{
    FillEveryField(s);
    s.FileInputSize[1].width = 0;
    s.CurrentWindow = 1;
    for (bool whole : {true, false}) {
        SCOPED_TRACE(whole ? "whole box" : "single window");
        t.CurrentWindow = 1;
        ASSERT_TRUE(LoadSettingBytes(t, SettingFileBytes(s, whole), whole).ok);
        const auto& ws = t.settings().WindowSettings;
        EXPECT_EQ(ws.OLE[1], 0);
        EXPECT_EQ(ws.ORE[1], 0);
        EXPECT_EQ(ws.OTE[1], 0);
        EXPECT_EQ(ws.OBE[1], 0);
        if (whole) {
            EXPECT_EQ(ws.OLE[2], s.settings().WindowSettings.OLE[2]);
        }
    }
}

// A save records the input sizes the overscans belong to: the live ones once the status poll has
// reported them, before that those of the last loaded file, so a save right after connecting or
// without a box does not make the next load clear the overscans.
TEST_F(SettingFileTest, SaveRecordsTheLiveInputSizesOnceTheyAreKnown)
{
    FillEveryField(s);
    s.FileInputSize[1] = {1280, 720};
    s.FilePipSourceSize[1] = {720, 576};
    s.InputSize[1] = {};
    s.PipSourceSize[1] = {};
    s.CurrentWindow = t.CurrentWindow = 1;
    ASSERT_NE(s.settings().WindowSettings.OLE[1], 0);
    struct Case {
        const char* when;
        int lastInputMask;
        SignalSize input;
        SignalSize pip;
    };
    const Case cases[] = {
        {"not reported yet", kSignalMaskUnknown, {1280, 720}, {720, 576}},
        {"reported: no signal", 0, {0, 0}, {0, 0}},
        {"reported: a signal", 0x2, {3840, 2160}, {1920, 1080}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        s.LastInputMask = c.lastInputMask;
        if (c.lastInputMask == 0x2) {
            s.InputSize[1] = {3840, 2160};
            s.PipSourceSize[1] = {1920, 1080};
        }
        for (bool whole : {true, false}) {
            SCOPED_TRACE(whole ? "whole box" : "single window");
            ASSERT_TRUE(LoadSettingBytes(t, SettingFileBytes(s, whole), whole).ok);
            EXPECT_EQ(t.FileInputSize[1], c.input);
            EXPECT_EQ(t.FilePipSourceSize[1], c.pip);
            EXPECT_EQ(
                t.settings().WindowSettings.OLE[1], c.input.width != 0 ? s.settings().WindowSettings.OLE[1] : 0);
        }
    }
}

// The three header checks, with the box's model and mask feature against the file's header.
TEST_F(SettingFileTest, HeaderChecksRefuseWithTheirMessagesAndChangeNothing)
{
    struct Case {
        const char* name;
        int boxModel;
        bool boxMasks;
        int fileModel;
        bool fileMasks;
        bool asWholeBox; // the name the file is loaded under
        QString refusal; // empty: accepted
    };
    const Case cases[] = {
        {"single-window bytes under a .WBF name", 115, false, 115, false, true,
            "File is not correct!! [ 11]"},
        {"model 116 box, file of another model", 116, false, 115, false, false,
            "File is not for this Model!! [ 115]"},
        {"mask box, file without the mask mark", 115, true, 120, false, false,
            "File is not for this Model!! [ 120]"},
        {"model 116 box, model 116 file", 116, false, 116, false, false, ""},
        {"box without masks, file with masks", 115, false, 115, true, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualClock c1, c2;
        RecordingUi u1, u2;
        Box srcBox{c1, u1}, dstBox{c2, u2};
        Session& src = srcBox.session;
        Session& dst = dstBox.session;
        src.BoardModel = c.fileModel;
        src.setFlag(Flag::UserMask, c.fileMasks);
        FillEveryField(src);
        src.masks->state().MaskAssignment = {};
        dst.BoardModel = c.boxModel;
        dst.setFlag(Flag::UserMask, c.boxMasks);
        const Snapshot before = Snapshot::Of(dst);
        const SettingFileOutcome o = LoadSettingBytes(dst, SettingFileBytes(src, false), c.asWholeBox);
        EXPECT_EQ(o.ok, c.refusal.isEmpty());
        EXPECT_EQ(o.message, c.refusal);
        if (!o.ok) {
            EXPECT_TRUE(Snapshot::Of(dst) == before);
        } else {
            EXPECT_EQ(dst.settings().DCM[0], src.settings().DCM[0]);
        }
    }
}

TEST_F(SettingFileTest, ModelOneSixteenLoadsAsASingleWindowWithItsBlendDefaults)
{
    s.BoardModel = 116;
    FillEveryField(s);
    const QByteArray b = SettingFileBytes(s, true);
    t.setFlag(Flag::Connected, true);
    const SettingFileOutcome o = LoadSettingBytes(t, b, true);
    ASSERT_TRUE(o.ok);
    EXPECT_TRUE(t.flag(Flag::SingleWindowTransfer));
    EXPECT_EQ(t.ProgressMaximum, 103);
    for (const BlendRecord& r : t.settings().BlendSettings) {
        EXPECT_EQ(r.u16(16), 50);
        EXPECT_EQ(r.u16(20), 50);
        EXPECT_EQ(r.bytes[25], 50);
        EXPECT_EQ(r.bytes[86], 50);
        EXPECT_EQ(r.bytes[91], 50);
    }
    EXPECT_EQ(t.settings().BlendSettings[0].bytes[24], s.settings().BlendSettings[0].bytes[24]);

    // A later file of another model is a whole-box transfer again.
    s.BoardModel = 115;
    ASSERT_TRUE(LoadSettingBytes(t, SettingFileBytes(s, true), true).ok);
    EXPECT_FALSE(t.flag(Flag::SingleWindowTransfer));
    EXPECT_EQ(t.ProgressMaximum, 322);
    EXPECT_EQ(t.ui.get(ctl::UpdateStep, Prop::Top).toInt(), 180);
}

// With the mask feature a model-116 whole-box load would run the single-window mask phase with a
// slot counter meant for one window: no slot is sent, and the memo says so.
TEST_F(SettingFileTest, ModelOneSixteenWholeBoxOnAMaskBoxSendsNoSlots)
{
    s.BoardModel = 116;
    withMasks(s);
    FillEveryField(s);
    PutSlotCopy(s, 3, MaskStreamBytes(400, false, 4));
    withMasks(t);
    t.setFlag(Flag::Connected, true);
    t.transfer.MaskSlot = 7;
    const SettingFileOutcome o = LoadSettingBytes(t, SettingFileBytes(s, true), true);
    ASSERT_TRUE(o.ok);
    EXPECT_FALSE(o.maskTransfer);
    EXPECT_EQ(t.transfer.MaskSlot, 7);
    ASSERT_FALSE(ui2.memo().isEmpty());
    EXPECT_TRUE(ui2.memo().last().contains("sends no mask slots"));
    EXPECT_EQ(U32At(QByteArray(reinterpret_cast<const char*>(t.masks->state().MonoSlotCopy[2].data()), 8), 4),
        400u);
}

TEST_F(SettingFileTest, SingleWindowFileCarriesAndRestoresItsSlot)
{
    withMasks(s);
    FillEveryField(s);
    s.CurrentWindow = 3; // assigned slot 9
    const auto stream = MaskStreamBytes(3000, false, 77);
    PutSlotCopy(s, 9, stream);
    const QByteArray b = SettingFileBytes(s, false);
    ASSERT_EQ(b.size(), 2816 + 4 + 3000);
    EXPECT_EQ(U32At(b, kH + 2792), 3000u);

    withMasks(t);
    t.CurrentWindow = 3;
    t.setFlag(Flag::Connected, true);
    const SettingFileOutcome o = LoadSettingBytes(t, b, false);
    ASSERT_TRUE(o.ok) << o.message.toStdString();
    EXPECT_TRUE(o.maskTransfer);
    EXPECT_EQ(t.transfer.MaskSlot, 8);
    EXPECT_EQ(t.TransferWindow, 3);
    EXPECT_TRUE(t.flag(Flag::SingleWindowTransfer));
    const auto& copy = t.masks->state().MonoSlotCopy[8];
    EXPECT_TRUE(std::equal(stream.begin() + 4, stream.end(), copy.begin() + 4));
    EXPECT_EQ(std::vector<std::uint8_t>(copy.begin(), copy.begin() + 4),
        (std::vector<std::uint8_t>{0x00, 0x4D, 0x45, 0x58}));
    EXPECT_EQ(t.settings().DCM[3], s.settings().DCM[3]);
    EXPECT_EQ(t.settings().HDO[3], s.settings().HDO[3]);
}

// The u32 0 entry of a window without a mask is stepped over, so DCM and HDO come from their
// own bytes.
TEST_F(SettingFileTest, NoAssignmentEntryIsConsumedSoDcmAndHdoRoundTrip)
{
    withMasks(s);
    FillEveryField(s);
    s.CurrentWindow = 1; // assignment 0
    s.settings().DCM[1] = 1;
    s.settings().HDO[1] = 2;
    const QByteArray b = SettingFileBytes(s, false);
    ASSERT_EQ(b.size(), 2820);
    EXPECT_EQ(U32At(b, kH + 2792), 0u);
    EXPECT_EQ(U32At(b, kH + 2796), 1u);
    EXPECT_EQ(U32At(b, kH + 2800), 2u);

    withMasks(t);
    t.CurrentWindow = 1;
    const SettingFileOutcome o = LoadSettingBytes(t, b, false);
    ASSERT_TRUE(o.ok);
    EXPECT_FALSE(o.maskTransfer);
    EXPECT_EQ(t.settings().DCM[1], 1);
    EXPECT_EQ(t.settings().HDO[1], 2);
}

// Every way a file can be cut or lie about a mask: refused with a message, nothing changed.
TEST_F(SettingFileTest, DamagedFilesAreRefusedWholeAndChangeNothing)
{
    withMasks(s);
    FillEveryField(s);
    for (int slot = 1; slot <= 10; ++slot)
        PutSlotCopy(s, slot, MaskStreamBytes(std::uint32_t(64 * slot), slot == 10, std::uint8_t(slot)));
    const QByteArray whole = SettingFileBytes(s, true);
    s.CurrentWindow = 0; // slot 3
    const QByteArray single = SettingFileBytes(s, false);
    const qsizetype maskStart = 11152;
    const qsizetype slot10 = maskStart + 9 * 4 + 64 * 45;

    const auto withU32 = [](QByteArray b, qsizetype at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = char(v >> (8 * i));
        return b;
    };
    const auto version = [](QByteArray b, int v) {
        b[5] = char(v);
        return b;
    };
    struct Case {
        const char* name;
        QByteArray bytes;
        bool whole;
        const char* says;
    };
    const Case cases[] = {
        {"empty", {}, true, "File is not correct!! [ 0]"},
        {"cut in the header", whole.left(10), true, "ends inside its header"},
        {"cut in the window settings", whole.left(100), true, "ends inside the window settings"},
        {"cut in the point offsets", whole.left(3000), true, "ends inside the point offsets"},
        {"version 9 cut before its mask assignments", version(whole.left(11136), 9), true,
            "ends inside the mask assignments"},
        {"version 5 cut in the PIP settings", version(whole.left(11100), 5), true,
            "ends inside the PIP settings"},
        {"cut in a mask entry's length", whole.left(maskStart + 2), true, "mask entry of slot 1"},
        {"cut in a mask entry's bytes", whole.left(maskStart + 4 + 30), true, "mask entry of slot 1"},
        {"mono entry longer than its slot", withU32(whole, maskStart, 262145), true,
            "more than the slot holds (262144 bytes)"},
        {"colour entry longer than its slot", withU32(whole, slot10, 2097153), true,
            "more than the slot holds (2097152 bytes)"},
        {"entry running past the end", withU32(whole, slot10, 200000), true, "mask entry of slot 10"},
        {"entry and stream size disagree", withU32(whole, maskStart, 60), true, "damaged"},
        {"cut before DCM and HDO", whole.chopped(3), true, "deep-colour and HDCP"},
        {"mask assignment out of range", withU32(whole, 11136 + 4, 11), true, "is 11, not a slot"},
        {"single window cut in its record", single.left(2000), false, "ends inside the window record"},
        {"single window cut in its mask", single.chopped(20), false, "mask entry of slot 3"},
        {"single window cut in DCM and HDO", single.chopped(2), false, "deep-colour and HDCP"},
    };

    withMasks(t);
    FillEveryField(t, 40);
    PutSlotCopy(t, 1, MaskStreamBytes(90, false, 5));
    const Snapshot before = Snapshot::Of(t);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SettingFileOutcome o = LoadSettingBytes(t, c.bytes, c.whole);
        EXPECT_FALSE(o.ok);
        EXPECT_TRUE(o.message.contains(QLatin1String(c.says))) << o.message.toStdString();
        EXPECT_TRUE(Snapshot::Of(t) == before);
    }
    // The same files whole are fine.
    EXPECT_TRUE(LoadSettingBytes(t, whole, true).ok);
    EXPECT_TRUE(LoadSettingBytes(t, single, false).ok);
}

// Files of older versions end where their version says; each length is exactly enough.
TEST_F(SettingFileTest, OlderVersionsEndWhereTheirSectionsEnd)
{
    FillEveryField(s);
    const QByteArray v11 = SettingFileBytes(s, true);
    struct Case {
        int version;
        qsizetype length;
    };
    const Case cases[] = {{4, 16 + 10980 + 32}, {5, 11136}, {8, 11136}, {9, 11152}, {10, 11152}, {11, 11160}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        QByteArray b = v11.left(c.length);
        b[5] = char(c.version);
        EXPECT_TRUE(LoadSettingBytes(t, b, true).ok);
        EXPECT_FALSE(LoadSettingBytes(t, b.chopped(1), true).ok);
    }
}

TEST_F(SettingFileTest, WholeBoxWithMasksReadOnABoxWithoutThemSkipsTheSection)
{
    withMasks(s);
    FillEveryField(s);
    PutSlotCopy(s, 5, MaskStreamBytes(1000, false, 1));
    const QByteArray b = SettingFileBytes(s, true);
    ASSERT_GT(b.size(), 11160);
    const SettingFileOutcome o = LoadSettingBytes(t, b, true); // t: no mask feature
    ASSERT_TRUE(o.ok) << o.message.toStdString();
    EXPECT_EQ(t.settings().DCM, s.settings().DCM);
    EXPECT_EQ(t.settings().HDO, s.settings().HDO);
    EXPECT_EQ(t.masks->state().MonoSlotCopy[4][4], 0); // not taken over
}

TEST_F(SettingFileTest, LoadRefreshesThePagesAndEmptiesTheUndoHistories)
{
    FillEveryField(s);
    ui2.watch(t.events);
    for (auto& h : t.box->warp.adjust().userMap.UndoHistory)
        h.assign(20, 1);
    t.ActivePage = Page::System;
    ASSERT_TRUE(LoadSettingBytes(t, SettingFileBytes(s, true), true).ok);
    EXPECT_EQ(ui2.refreshPagesCount, 1);
    EXPECT_EQ(ui2.refreshBlendPagesCount, 1);
    EXPECT_EQ(t.ActivePage, Page::WarpAdjust);
    EXPECT_FALSE(t.flag(Flag::Refreshing));
    for (auto& h : t.box->warp.adjust().userMap.UndoHistory)
        EXPECT_TRUE(h.empty());
}

// A save that fails leaves the earlier file as it was and says why.
TEST_F(SettingFileTest, FailedSaveLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("RIG.WBF");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("earlier backup");
    }
    FillEveryField(s);
    // A file-size limit below the file makes the write itself fail, even for root.
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const SettingFileOutcome o = SaveSettingFile(s, path, true);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.message,
        "The setting file was not saved: File too large. Any earlier file of that name is unchanged.");
    EXPECT_EQ(ReadAll(path), "earlier backup");
    EXPECT_EQ(Entries(dir.path()), QStringList{"RIG.WBF"});

    const SettingFileOutcome cannotOpen = SaveSettingFile(s, dir.filePath("no/such/folder/RIG.WBF"), true);
    EXPECT_FALSE(cannotOpen.ok);
    EXPECT_TRUE(cannotOpen.message.contains("No such file or directory")) << cannotOpen.message.toStdString();
}

// A save that succeeds replaces the file whole: its permissions stay, a link stays a link, and
// no temporary file is left.
TEST_F(SettingFileTest, SaveReplacesTheFileWholeAndKeepsItsPermissions)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("RIG.WBF");
    WriteAll(path, "earlier backup");
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ASSERT_TRUE(QFile::link(path, dir.filePath("latest.WBF")));
    FillEveryField(s);
    const SettingFileOutcome o = SaveSettingFile(s, dir.filePath("latest.WBF"), true);
    ASSERT_TRUE(o.ok) << o.message.toStdString();
    EXPECT_EQ(ReadAll(path), SettingFileBytes(s, true));
    const QFile::Permissions bits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
        | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    EXPECT_EQ(QFile::permissions(path) & bits, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    EXPECT_TRUE(QFileInfo(dir.filePath("latest.WBF")).isSymLink());
    EXPECT_EQ(Entries(dir.path()), (QStringList{"latest.WBF", "RIG.WBF"}));
}

// Only regular files are read; a named pipe (which would block the read for ever) is refused by
// trivelctl's tests, which can give up on a hang.
TEST_F(SettingFileTest, WhatIsNotARegularFileIsRefusedWithTheReason)
{
    QTemporaryDir dir;
    FillEveryField(t, 7);
    const Snapshot before = Snapshot::Of(t);
    const struct {
        QString path;
        const char* says;
    } cases[] = {
        {"/nonexistent/RIG.WBF", "Cannot read the file: No such file or directory. Nothing was loaded."},
        {dir.path(),
            "This is a folder, not a setting file: only regular files are read. Nothing was loaded."},
        {"/dev/null",
            "This is a device, not a setting file: only regular files are read. Nothing was loaded."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const SettingFileOutcome o = LoadSettingFile(t, c.path);
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.message, QString::fromLatin1(c.says));
        EXPECT_TRUE(Snapshot::Of(t) == before);
    }
}

} // namespace
} // namespace trivel::test
