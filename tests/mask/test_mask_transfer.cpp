// Upload chunks of the current mask stream, as they go on the wire.

#include "link/Clock.h"
#include "box/Box.h"
#include "mask/MaskTransfer.h"
#include "session/Session.h"
#include "sim/BoxModel.h"
#include "support/FakeBoxTransport.h"
#include "support/RecordingUi.h"

#include <gtest/gtest.h>

namespace trivel::test {
namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& f, std::size_t off)
{
    return std::uint32_t(f[off]) | std::uint32_t(f[off + 1]) << 8 | std::uint32_t(f[off + 2]) << 16
        | std::uint32_t(f[off + 3]) << 24;
}

class MaskChunks : public ::testing::Test {
protected:
    VirtualClock clock;
    RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    sim::BoxModel box;
    FakeBoxTransport link{box};

    MaskChunks()
    {
        link.delivery = Delivery::Pumped; // frames are only recorded
        link.attach(s);
        s.CurrentWindow = 2;
    }

    void setStream(std::size_t n)
    {
        s.mask.Stream.bytes.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            s.mask.Stream.bytes[i] = std::uint8_t(i * 7 + 1);
        s.mask.Stream.rewind();
    }
};

TEST_F(MaskChunks, AStreamGoesOutIn480ByteChunksWithPositionAndSize)
{
    setStream(1000);
    s.mask.MaskKind = 1;
    for (int i = 0; i < 3; ++i)
        SendMaskChunk(s);

    ASSERT_EQ(link.sent.size(), 3u);
    const std::size_t positions[] = {0, 480, 960};
    const std::size_t lengths[] = {480, 480, 40};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& f = link.sent[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(Le32(f, 4), Cmd::MaskUploadMono);
        EXPECT_EQ(f[8], 2);
        EXPECT_EQ(Le32(f, 12), positions[i]);
        EXPECT_EQ(Le32(f, 16), 1000u);
        for (std::size_t k = 0; k < lengths[i]; ++k)
            ASSERT_EQ(f[20 + k], s.mask.Stream.bytes[positions[i] + k]) << k;
    }
    // The last chunk's frame was cleared first: nothing of the earlier chunks behind its 40 bytes.
    for (std::size_t k = 20 + 40; k < 512; ++k)
        ASSERT_EQ(link.sent[2][k], 0) << k;
    EXPECT_EQ(s.mask.Stream.position, 1000u);
}

TEST_F(MaskChunks, TheCodeFollowsTheMaskKindOrTheCallersChoice)
{
    setStream(10);
    s.mask.MaskKind = 2;
    SendMaskChunk(s);
    s.mask.Stream.rewind();
    s.request().put32(200, 0xA5A5A5A5);
    SendMaskChunkAs(s, Cmd::MaskUploadMono);

    ASSERT_EQ(link.sent.size(), 2u);
    EXPECT_EQ(Le32(link.sent[0], 4), Cmd::MaskUploadColour);
    EXPECT_EQ(Le32(link.sent[1], 4), Cmd::MaskUploadMono);
    // SendMaskChunkAs leaves the rest of the frame as the caller filled it.
    EXPECT_EQ(Le32(link.sent[1], 200), 0xA5A5A5A5u);
}

TEST_F(MaskChunks, AnEmptyOrFinishedStreamSendsNoBytes)
{
    setStream(480);
    s.mask.MaskKind = 1;
    SendMaskChunk(s);
    SendMaskChunk(s); // past the end: position and size only
    s.mask.Stream.position = 100000; // never read behind the stream
    SendMaskChunk(s);

    ASSERT_EQ(link.sent.size(), 3u);
    EXPECT_EQ(Le32(link.sent[1], 12), 480u);
    EXPECT_EQ(Le32(link.sent[2], 12), 480u);
    for (std::size_t k = 20; k < 512; ++k)
        ASSERT_EQ(link.sent[2][k], 0) << k;
}

} // namespace
} // namespace trivel::test
