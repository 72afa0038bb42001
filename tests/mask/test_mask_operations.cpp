// The slot operations of the Digi Mapping and Mask pages, driven against the simulated box.

#include "box/Box.h"
#include "link/Clock.h"
#include "mask/Controls.h"
#include "mask/MaskCodec.h"
#include "mask/Masks.h"
#include "session/Session.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "sim/BoxModel.h"
#include "support/FakeBoxTransport.h"
#include "support/RecordingUi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace trivel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

std::uint32_t Le32(const Bytes& f, std::size_t off)
{
    return std::uint32_t(f[off]) | std::uint32_t(f[off + 1]) << 8 | std::uint32_t(f[off + 2]) << 16
        | std::uint32_t(f[off + 3]) << 24;
}

// A mono stream of n bytes: a header for a 100 x 20 picture, then runs of 10 pixels.
Bytes MonoStream(std::size_t n)
{
    Bytes b(n, 0x0A);
    const std::uint8_t head[] = {0xFF, 'M', 'E', 'X', 0, 0, 0, 0, 100, 0, 0, 0, 20, 0, 0, 0};
    std::copy(std::begin(head), std::end(head), b.begin());
    std::fill(b.begin() + 16, b.begin() + 32, 0);
    return b;
}

// A stored stream as the box keeps it: size field set.
Bytes StoredMono(std::size_t n)
{
    Bytes b = MonoStream(n);
    b[4] = std::uint8_t(n);
    b[5] = std::uint8_t(n >> 8);
    b[6] = std::uint8_t(n >> 16);
    for (std::size_t i = 32; i < n; ++i)
        b[i] = std::uint8_t(i % 2 ? 0x85 : 0x05);
    return b;
}

class MaskOperations : public ::testing::Test {
protected:
    VirtualClock clock;
    RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    Masks& masks = tool.masks;
    sim::BoxModel box;
    FakeBoxTransport link{box};

    MaskOperations()
    {
        link.delivery = Delivery::Pumped;
        link.attach(s);
        s.CurrentWindow = 1;
        s.setFlag(Flag::UserMask, true);
    }

    // As a page's button starts it: nobody awaits it, a failure not yet shown is reported.
    void click(Operation<void> (Masks::*operation)())
    {
        link.clearLog();
        ui.messages.clear();
        last = (masks.*operation)();
        Launch(s, last);
        link.pump();
    }
    Operation<void> last;

    void load(Bytes stream, int kind)
    {
        s.masks->state().Stream.bytes = std::move(stream);
        s.masks->state().MaskKind = kind;
    }

    std::vector<QString> texts() const
    {
        std::vector<QString> t;
        for (const auto& m : ui.messages)
            t.push_back(m.text);
        return t;
    }
};

TEST_F(MaskOperations, PreviewSendsChunksThenTheShowFrame)
{
    struct Case {
        std::size_t size;
        std::vector<std::uint32_t> positions;
        std::vector<std::size_t> lengths;
    };
    // A multiple of 480 sends no empty chunk: the reply to the last chunk sends the show frame.
    const Case cases[] = {{1000, {0, 480, 960}, {480, 480, 40}}, {960, {0, 480}, {480, 480}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        load(MonoStream(c.size), 1);
        s.masks->state().OffsetX = 300;
        s.masks->state().OffsetY = 40;
        s.masks->state().Trans = true;
        s.masks->state().MaskColor = 0x102030;
        click(&Masks::preview);

        ASSERT_EQ(link.sent.size(), c.positions.size() + 1);
        for (std::size_t i = 0; i < c.positions.size(); ++i) {
            const Bytes& f = link.sent[i];
            EXPECT_EQ(Le32(f, 4), Cmd::MaskUploadMono);
            EXPECT_EQ(f[8], 1);
            EXPECT_EQ(Le32(f, 12), c.positions[i]);
            EXPECT_EQ(Le32(f, 16), c.size);
            for (std::size_t k = 20 + c.lengths[i]; k < 512; ++k)
                ASSERT_EQ(f[k], 0) << k;
        }
        const Bytes& show = link.sent.back();
        EXPECT_EQ(Le32(show, 4), Cmd::MaskShow);
        EXPECT_EQ(show[8], 1);
        EXPECT_EQ(show[12], 1); // BtnMaskEn is always down
        EXPECT_EQ(show[16], 1);
        EXPECT_EQ(texts(), std::vector<QString>{"User Mask data Upload finished "});
        EXPECT_FALSE(s.busy());
        EXPECT_FALSE(ui.waitWindowOpen());
        EXPECT_EQ(box.window(1).maskShown, 1);
    }
    // The header went out with the size, placement, flags and colour.
    const Bytes& stream = s.masks->state().Stream.bytes;
    EXPECT_EQ(Le32(stream, 4), 960u);
    EXPECT_EQ(Le32(stream, 16), 300u);
    EXPECT_EQ(Le32(stream, 20), 40u);
    EXPECT_EQ(stream[24], 1);
    EXPECT_EQ(stream[25], 0);
    EXPECT_EQ(stream[26] | stream[27] << 8, 5);
    EXPECT_EQ((Bytes{stream[28], stream[29], stream[30]}), (Bytes{0x10, 0x20, 0x30}));
}

TEST_F(MaskOperations, PreviewWithoutAMaskSaysSoAndSendsNothing)
{
    click(&Masks::preview);
    EXPECT_TRUE(link.sent.empty());
    EXPECT_EQ(texts(), std::vector<QString>{"please Load image first!!"});
}

TEST_F(MaskOperations, SaveChecksComeInOrderAndNothingIsSentOnAFailedOne)
{
    struct Case {
        int kind;
        int index;
        const char* message; // nullptr: stored
        int wireSlot;
    };
    const Case cases[] = {
        {0, 3, "please Load and preview image first!!", 0},
        {2, 0, "please select save index (1-10) !", 0},
        {2, 5, "please select save index 10 for color mask image !", 0},
        {1, 10, "please select save index (1-9) !", 0},
        {2, 10, nullptr, 9},
        {1, 3, nullptr, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " " << c.index);
        load(StoredMono(600), c.kind);
        masks.selectSlot(c.index);
        click(&Masks::save);
        if (c.message) {
            EXPECT_TRUE(link.sent.empty());
            EXPECT_EQ(texts(), std::vector<QString>{c.message});
            continue;
        }
        ASSERT_EQ(link.sent.size(), 2u);
        EXPECT_EQ(Le32(link.sent[0], 4), Cmd::MaskStore);
        EXPECT_EQ(link.sent[0][8], 1);
        EXPECT_EQ(link.sent[0][12], c.wireSlot);
        EXPECT_EQ(
            link.log[1], "100c S00DMI+" + std::string(c.index < 10 ? "00" : "0") + std::to_string(c.index));
        EXPECT_EQ(texts(), std::vector<QString>{"User Mask Saved "});
        const SlotCopy& copy = c.index == 10 ? s.masks->state().ColourSlotCopy
                                             : s.masks->state().MonoSlotCopy[std::size_t(c.index - 1)];
        EXPECT_TRUE(std::equal(s.masks->state().Stream.bytes.begin() + 4, s.masks->state().Stream.bytes.end(),
            copy.begin() + 4));
        EXPECT_EQ(s.masks->state().MaskAssignment[1], c.index);
        EXPECT_EQ(s.masks->state().MaskIdx2, c.index);
        EXPECT_EQ(box.window(0).maskAssignment, c.index);
        EXPECT_FALSE(s.busy());
    }
}

TEST_F(MaskOperations, UploadedAndStoredMaskIsReadBackWithTheSameBytes)
{
    MaskPicture p(70, 9, 1);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            p.setPixel(x, y, (x * 3 + y) % 7 < 3);
    QString message;
    ASSERT_TRUE(EncodeMonoMask(p, 32768, s.masks->state().Stream.bytes, s.masks->state().MaskKind, message));
    s.masks->state().ImageReverse = true;
    click(&Masks::preview);
    masks.selectSlot(4);
    click(&Masks::save);
    const Bytes stored = s.masks->state().Stream.bytes;
    ASSERT_EQ(box.maskSlot(3), stored);

    s.masks->state().Stream.clear();
    s.masks->state().MaskKind = 0;
    s.masks->state().ImageReverse = false;
    click(&Masks::read);
    EXPECT_FALSE(s.busy());
    EXPECT_EQ(s.masks->state().MaskKind, 1);
    EXPECT_TRUE(s.masks->state().ImageReverse);
    ASSERT_EQ(s.masks->state().Stream.size(), stored.size());
    EXPECT_EQ(s.masks->state().Stream.bytes[0], 0x00); // rebuilt from data read back
    EXPECT_TRUE(std::equal(stored.begin() + 1, stored.end(), s.masks->state().Stream.bytes.begin() + 1));
    const MaskDecodeResult back = DecodeMonoMask(s.masks->state().Stream.bytes);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.picture.pixels, p.pixels);
    EXPECT_EQ(s.masks->state().Picture.width(), 70);
    EXPECT_EQ(ui.caption(ctl::STMaskInfo), MaskInfoText(70, 9, stored.size()));
}

TEST_F(MaskOperations, ReadAsksForChunksWhileTheCountIsBelowTheSizeField)
{
    box.maskSlot(5) = StoredMono(288);
    masks.selectSlot(6);
    click(&Masks::read);
    // The size field counts the header too, so the second request asks past the stored end.
    EXPECT_EQ(link.log, (Lines{"1025 5", "1026 32", "1026 288"}));
    EXPECT_EQ(s.masks->state().Stream.bytes.size(), 288u);
    EXPECT_EQ(s.masks->state().MaskKind, 1);
    EXPECT_FALSE(ui.waitWindowOpen());
    EXPECT_TRUE(ui.memo().isEmpty());
}

TEST_F(MaskOperations, ReadShowsTheHourglassUntilItEndsEitherWay)
{
    box.maskSlot(5) = StoredMono(288);
    for (const int item : {6, 4}) { // slot 6 holds a mask, slot 4 is empty
        SCOPED_TRACE(item);
        masks.selectSlot(item);
        const Operation<void> read = masks.read();
        EXPECT_TRUE(ui.hourglass());
        link.pump(1); // the header
        EXPECT_EQ(ui.hourglass(), item == 6);
        link.pump();
        EXPECT_FALSE(ui.hourglass());
        EXPECT_FALSE(ui.waitWindowOpen());
        EXPECT_EQ(read.succeeded(), item == 6);
    }
}

TEST_F(MaskOperations, ReadingAnEmptySlotDropsTheCurrentMask)
{
    load(StoredMono(288), 1);
    masks.selectSlot(4);
    click(&Masks::read);
    EXPECT_EQ(link.log, (Lines{"1025 3"}));
    EXPECT_EQ(texts(), std::vector<QString>{"User Mask 4 is empty !!"});
    EXPECT_EQ(s.masks->state().MaskKind, 0);
    EXPECT_TRUE(s.masks->state().Stream.empty());
    EXPECT_EQ(s.masks->state().Picture.width(), 8); // the blank picture
    EXPECT_FALSE(s.busy());

    masks.selectSlot(0);
    click(&Masks::read);
    EXPECT_TRUE(link.sent.empty());
    EXPECT_EQ(texts(), std::vector<QString>{"please select index (1-10)"});
}

TEST_F(MaskOperations, AHostileSizeFieldStopsTheReadAtTheBuffersEnd)
{
    box.hostile = sim::Hostile::MaskSize;
    struct Case {
        int index;
        std::size_t buffer;
    };
    for (const Case c : {Case{2, kMonoSlotBytes}, Case{10, kColourSlotBytes}}) {
        SCOPED_TRACE(c.index);
        box.maskSlot(c.index - 1) = StoredMono(288);
        masks.selectSlot(c.index);
        click(&Masks::read);
        EXPECT_EQ(link.sent.size(), 1 + (c.buffer - 32 + 255) / 256);
        EXPECT_FALSE(s.busy());
        EXPECT_EQ(s.masks->state().Stream.size(), c.buffer);
        EXPECT_EQ(s.masks->state().MonoReadBuffer[1].size(), kMonoSlotBytes);
        EXPECT_EQ(s.masks->state().ColourReadBuffer.allocated(), c.index == 10);
        ASSERT_FALSE(ui.memo().isEmpty());
        EXPECT_TRUE(ui.memo().last().contains(QStringLiteral("4294967040"))) << qPrintable(ui.memo().last());
    }
}

TEST_F(MaskOperations, AHostileSizeFieldAtConnectStaysInsideTheSlotCopies)
{
    box.hostile = sim::Hostile::MaskSize;
    box.maskSlot(0) = StoredMono(288);
    box.maskSlot(9) = StoredMono(288);
    box.silentAfter = -1;
    link.clearLog();
    const Operation<void> slotRead = masks.readSlots();
    link.pump();
    EXPECT_TRUE(slotRead.succeeded());
    EXPECT_EQ(s.masks->state().MonoSlotCopy[0].size(), kMonoSlotBytes);
    EXPECT_EQ(s.masks->state().ColourSlotCopy.size(), kColourSlotBytes);
    EXPECT_EQ(ui.memo().size(), 2);
    const auto requests = [this](const char* code) {
        return std::count_if(
            link.log.begin(), link.log.end(), [code](const std::string& l) { return l.rfind(code, 0) == 0; });
    };
    EXPECT_EQ(requests("1026 "), 1024);
    EXPECT_EQ(requests("102a "), 8192);
}

TEST_F(MaskOperations, DeleteZeroesTheSlotsCopyAndClearsThePreview)
{
    for (int slot : {10, 3}) {
        SCOPED_TRACE(slot);
        auto& copy = slot == 10 ? s.masks->state().ColourSlotCopy
                                : s.masks->state().MonoSlotCopy[std::size_t(slot - 1)];
        const Bytes stored = StoredMono(288);
        std::copy(stored.begin(), stored.end(), copy.writable().begin());
        box.maskSlot(slot - 1) = stored;
        s.masks->state().MaskAssignment[1] = slot;
        masks.selectSlot(slot);
        click(&Masks::deleteSlot);
        ASSERT_EQ(link.sent.size(), 2u);
        EXPECT_EQ(Le32(link.sent[0], 4), Cmd::MaskDelete);
        EXPECT_EQ(link.sent[0][12], slot - 1);
        EXPECT_EQ(Le32(link.sent[1], 4), Cmd::MaskShow);
        EXPECT_EQ(link.sent[1][12], 0);
        EXPECT_TRUE(std::all_of(copy.begin(), copy.begin() + 32, [](std::uint8_t b) { return b == 0; }));
        EXPECT_EQ(copy[32], stored[32]); // only the header
        EXPECT_TRUE(box.maskSlot(slot - 1).empty());
        EXPECT_EQ(s.masks->state().MaskAssignment[1], slot);
        EXPECT_EQ(texts(), std::vector<QString>{"User Mask Deleted ! "});
    }
    masks.selectSlot(0);
    click(&Masks::deleteSlot);
    EXPECT_TRUE(link.sent.empty());
    EXPECT_EQ(texts(), std::vector<QString>{"please select delete index (1-10) !"});
}

TEST_F(MaskOperations, SetOnEitherPageAssignsTheSlotToTheWindow)
{
    masks.selectSlot(7);
    click(&Masks::assign);
    EXPECT_EQ(link.log, (Lines{"100c S00DMI+007"}));
    EXPECT_EQ(s.masks->state().MaskIdx2, 7);
    EXPECT_EQ(texts(), std::vector<QString>{"User Mapping Set done !!"});

    masks.previewSlot(0);
    click(&Masks::assignPreviewed);
    EXPECT_EQ(link.log, (Lines{"100c S00DMI+000"}));
    EXPECT_EQ(s.masks->state().MaskAssignment[1], 0);
    EXPECT_EQ(box.window(0).maskAssignment, 0);
    EXPECT_FALSE(s.busy());
    EXPECT_FALSE(ui.waitWindowOpen());
}

TEST_F(MaskOperations, CleanClearsThePreviewWithoutAPendingStep)
{
    s.request().put32(200, 0xA5A5A5A5);
    click(&Masks::clearPreview);
    ASSERT_EQ(link.sent.size(), 1u);
    EXPECT_EQ(Le32(link.sent[0], 4), Cmd::MaskShow);
    EXPECT_EQ(link.sent[0][8], 1);
    EXPECT_EQ(link.sent[0][12], 0);
    EXPECT_EQ(Le32(link.sent[0], 200), 0xA5A5A5A5u); // the frame was not cleared
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MaskOperations, AStatusReplyCrossingAReadIsNotTakenForTheSlot)
{
    box.maskSlot(5) = StoredMono(288);
    masks.selectSlot(6);
    std::vector<std::uint8_t> poll(kTcpFrameSize, 0);
    FrameView(poll.data(), poll.size()).setCode(Cmd::Status);
    const auto status = box.handle(poll.data(), poll.size());
    ASSERT_TRUE(status);
    for (const int before : {0, 1}) { // before the header's reply, before the first piece's
        SCOPED_TRACE(before);
        link.clearLog();
        ui.messages.clear();
        const Operation<void> read = masks.read();
        link.pump(before);
        DeliverReply(s, status->data(), status->size(), false);
        link.pump();
        EXPECT_TRUE(read.succeeded());
        EXPECT_TRUE(texts().empty()) << texts().front().toStdString();
        EXPECT_EQ(link.log, (Lines{"1025 5", "1026 32", "1026 288"}));
        EXPECT_EQ(s.masks->state().MaskKind, 1);
        EXPECT_EQ(s.masks->state().Stream.size(), 288u);
    }
}

// Every operation ends failed, and the exchange free, when the box stops answering or the link
// closes part-way: before any reply, or before the last one.
TEST_F(MaskOperations, ABoxThatStopsEndsEachOperationWithTheReason)
{
    struct Case {
        const char* name;
        std::function<Operation<void>()> start;
        int kind;
        int requests;
    };
    const Case cases[] = {{"preview", [this] { return masks.preview(); }, 1, 4},
        {"save", [this] { return masks.save(); }, 1, 2},
        {"delete", [this] { return masks.deleteSlot(); }, 1, 2},
        {"read", [this] { return masks.read(); }, 0, 5}, {"assign", [this] { return masks.assign(); }, 0, 1}};
    for (const Case& c : cases) {
        for (const bool closes : {false, true}) {
            for (const int answered : {0, c.requests - 1}) {
                SCOPED_TRACE(testing::Message()
                    << c.name << (closes ? " closes" : " silent") << " after " << answered);
                box.maskSlot(1) = StoredMono(800);
                load(StoredMono(1200), c.kind);
                masks.selectSlot(2);
                FakeBoxTransport fresh{box};
                fresh.delivery = Delivery::Pumped;
                fresh.attach(s);
                ui.messages.clear();
                const Operation<void> op = c.start();
                Launch(s, op);
                fresh.pump(answered);
                if (closes) {
                    fresh.close();
                    s.setTransport(nullptr, QStringLiteral("link closed"));
                } else {
                    fresh.dropQueued();
                    fresh.silent = true;
                    clock.advance(kReplyAllowanceMs + 1);
                }
                fresh.pump();
                ASSERT_TRUE(op.finished());
                ASSERT_FALSE(op.succeeded());
                EXPECT_EQ(op.failure()->kind, closes ? Failure::Kind::LinkLost : Failure::Kind::NoReply);
                EXPECT_FALSE(s.exchange.holding());
                if (!closes) {
                    EXPECT_FALSE(ui.waitWindowOpen());
                }
                s.setTransport(nullptr);
            }
        }
    }
}

} // namespace
} // namespace trivel::test
