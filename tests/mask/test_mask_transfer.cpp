// Upload chunks of a mask stream, as they go on the wire.

#include "box/Box.h"
#include "link/Clock.h"
#include "protocol/MaskFrames.h"
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

    std::vector<std::uint8_t> stream;

    void setStream(std::size_t n)
    {
        stream.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            stream[i] = std::uint8_t(i * 7 + 1);
    }

    // The piece at `at` as the preview sends it (frame cleared) or the transfer (over the frame).
    void sendChunk(std::uint32_t code, std::size_t at, Clear clear = Clear::Frame)
    {
        at = std::min(at, stream.size());
        s.exchange.post(proto::MaskUploadChunk(code, s.CurrentWindow, std::uint32_t(at),
            std::uint32_t(stream.size()), std::span(stream).subspan(at), clear));
        link.pump();
    }
};

TEST_F(MaskChunks, AStreamGoesOutIn480ByteChunksWithPositionAndSize)
{
    setStream(1000);
    for (const std::size_t at : {0, 480, 960})
        sendChunk(Cmd::MaskUploadMono, at);

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
            ASSERT_EQ(f[20 + k], stream[positions[i] + k]) << k;
    }
    // The last chunk's frame was cleared first: nothing of the earlier chunks behind its 40 bytes.
    for (std::size_t k = 20 + 40; k < 512; ++k)
        ASSERT_EQ(link.sent[2][k], 0) << k;
}

TEST_F(MaskChunks, TheCodeIsTheCallersAndAnUnclearedFrameKeepsItsBytes)
{
    setStream(10);
    sendChunk(Cmd::MaskUploadColour, 0);
    s.request().put32(200, 0xA5A5A5A5);
    sendChunk(Cmd::MaskUploadMono, 0, Clear::None);

    ASSERT_EQ(link.sent.size(), 2u);
    EXPECT_EQ(Le32(link.sent[0], 4), Cmd::MaskUploadColour);
    EXPECT_EQ(Le32(link.sent[1], 4), Cmd::MaskUploadMono);
    // The transfer's pieces leave the rest of the frame as it was filled.
    EXPECT_EQ(Le32(link.sent[1], 200), 0xA5A5A5A5u);
}

TEST_F(MaskChunks, AnEmptyOrFinishedStreamSendsNoBytes)
{
    setStream(480);
    sendChunk(Cmd::MaskUploadMono, 0);
    sendChunk(Cmd::MaskUploadMono, 480); // past the end: position and size only
    sendChunk(Cmd::MaskUploadMono, 100000); // never read behind the stream

    ASSERT_EQ(link.sent.size(), 3u);
    EXPECT_EQ(Le32(link.sent[1], 12), 480u);
    EXPECT_EQ(Le32(link.sent[2], 12), 480u);
    for (std::size_t k = 20; k < 512; ++k)
        ASSERT_EQ(link.sent[2][k], 0) << k;
}

} // namespace
} // namespace trivel::test
