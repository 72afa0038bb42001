#include "protocol/SettingCodec.h"

#include <gtest/gtest.h>

#include <string>

using namespace trivel;

namespace {

std::string encoded(int v)
{
    SettingCommand cmd = MakeSettingCommand("s00BRI+022");
    EncodeSettingValue(v, cmd);
    return std::string(cmd.data() + kValueField, 4);
}

FrameBuffer replyWith(const char* text10)
{
    FrameBuffer b{};
    FrameView f = FrameView::ofBuffer(b);
    SettingCommand c = MakeSettingCommand(text10);
    f.copyIn(kSettingOffset, c.data(), c.size());
    return b;
}

} // namespace

TEST(SettingCodec, EncodesTheValueField)
{
    const struct {
        int value;
        const char* field;
    } cases[] = {
        {0, "+000"},
        {7, "+007"},
        {50, "+050"},
        {999, "+999"},
        {1000, "1000"},
        {1920, "1920"},
        {9999, "9999"},
        {-5, "-005"},
        {-999, "-999"},
        {-1000, "9000"},
        {-1500, "9500"},
        {-1999, "9999"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(encoded(c.value), c.field) << c.value;
}

TEST(SettingCodec, EncodingLeavesTheRestOfTheCommandAlone)
{
    SettingCommand cmd = MakeSettingCommand("s00HZM+022");
    EncodeSettingValue(1920, cmd);
    EXPECT_EQ(std::string(cmd.data(), cmd.size()), std::string("s00HZM1920\r\n"));
}

TEST(SettingCodec, DecodesSignAndDigits)
{
    const struct {
        const char* reply;
        int value;
        int digits;
    } cases[] = {
        {"S00WWW1920", 1920, 920},
        {"S00XXX9500", -1500, 500},
        {"S00XXX+000", 0, 0},
        {"S00XXX-120", -120, 120},
        {"S00XXX9999", -1999, 999},
        {"S00XXX+050", 50, 50},
        // The name of the reply is not checked, only the value positions.
        {"S00ABC+123", 123, 123},
    };
    for (const auto& c : cases) {
        FrameBuffer b = replyWith(c.reply);
        EXPECT_EQ(DecodeSettingReply(FrameView::ofBuffer(b)), c.value) << c.reply;
        EXPECT_EQ(DecodeSettingDigits(FrameView::ofBuffer(b)), c.digits) << c.reply;
    }
}

TEST(SettingCodec, RoundTripsTheWholeRange)
{
    for (int v = -1999; v <= 1999; ++v) {
        SettingCommand cmd = MakeSettingCommand("s00BRI+022");
        EncodeSettingValue(v, cmd);
        FrameBuffer b{};
        FrameView::ofBuffer(b).copyIn(kSettingOffset, cmd.data(), cmd.size());
        ASSERT_EQ(DecodeSettingReply(FrameView::ofBuffer(b)), v);
    }
}

TEST(SettingCodec, QueryForm)
{
    SettingCommand q = MakeQueryCommand("MDN");
    EXPECT_EQ(std::string(q.data(), q.size()), std::string("S00MDNR000\r\n"));
}

TEST(SettingCodec, PutSettingFrameClearsOnlyWhatItIsTold)
{
    FrameBuffer req;
    req.fill(0xAA);
    PutSettingFrame(req, 0x1002, MakeSettingCommand("s00RXT+002"), 0);
    FrameView f = FrameView::ofBuffer(req);
    EXPECT_EQ(f.code(), 0x1002u);
    EXPECT_EQ(f.u8(0), 0xAA); // not cleared: the previous frame's bytes stay
    EXPECT_EQ(f.u8(20), 0xAA);

    PutSettingFrame(req, 0x1002, MakeSettingCommand("s00RXT+002"));
    EXPECT_EQ(req[0], 0);
    EXPECT_EQ(f.u8(20), 0);
    EXPECT_EQ(f.u8(8), 's');
}
