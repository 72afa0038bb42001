#pragma once
// A session on the virtual clock with every cache a setting file carries set to a value that is
// not its start value, and small helpers to read a file's bytes.

#include "files/SettingFile.h"
#include "box/Box.h"
#include "link/Clock.h"
#include "session/Session.h"
#include "support/RecordingUi.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace trivel::test {

// A mask stream of n bytes (header included) as a slot copy holds it after a read.
inline std::vector<std::uint8_t> MaskStreamBytes(std::uint32_t n, bool colour, std::uint8_t seed)
{
    std::vector<std::uint8_t> b(n, 0);
    const std::uint8_t magic[4] = {0x00, std::uint8_t(colour ? 'C' : 'M'), 'E', 'X'};
    std::copy(magic, magic + 4, b.begin());
    for (int i = 0; i < 4; ++i)
        b[4 + std::size_t(i)] = std::uint8_t(n >> (8 * i));
    b[8] = 64;
    b[12] = 8;
    for (std::size_t i = 32; i < n; ++i)
        b[i] = std::uint8_t(seed + i * 7);
    return b;
}

inline void PutSlotCopy(Session& s, int slot, const std::vector<std::uint8_t>& stream)
{
    auto& copy
        = slot == 10 ? s.masks->state().ColourSlotCopy : s.masks->state().MonoSlotCopy[std::size_t(slot - 1)];
    copy.clear();
    std::copy(stream.begin(), stream.end(), copy.writable().begin());
}

inline std::uint32_t U32At(const QByteArray& b, qsizetype off)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= std::uint32_t(std::uint8_t(b.at(off + i))) << (8 * i);
    return v;
}
inline std::int16_t I16At(const QByteArray& b, qsizetype off)
{
    return std::int16_t(std::uint8_t(b.at(off)) | std::uint8_t(b.at(off + 1)) << 8);
}
inline std::uint8_t U8At(const QByteArray& b, qsizetype off)
{
    return std::uint8_t(b.at(off));
}

// Every field the files carry, different per window and from its start value.
inline void FillEveryField(Session& s, int seed = 1)
{
    int n = seed;
    auto next = [&n] { return ++n; };
    s.settings().WindowSettings.forEachField([&](const char*, auto& a) {
        for (auto& v : a)
            v = static_cast<std::remove_reference_t<decltype(v)>>(next() % 97 + 1);
    });
    for (auto& b : s.settings().BlendSettings)
        for (auto& v : b.bytes)
            v = std::uint8_t(next());
    for (std::size_t w = 0; w < 4; ++w) {
        for (auto& v : s.settings().EdgeMaskCorners.x[w])
            v = std::int16_t(next() * 3 - 200);
        for (auto& v : s.settings().EdgeMaskCorners.y[w])
            v = std::int16_t(next() * 5 - 400);
        WarpModel& m = s.box->warp.state().model[w];
        m.ControlPattern = std::uint8_t(w + 2);
        m.WarpPattern = std::uint8_t(w + 3);
        for (auto& col : m.PointOffsets)
            for (auto& p : col)
                p = {std::int16_t(next() % 1200 - 600), std::int16_t(next() % 1200 - 600)};
        for (auto& col : m.WallOffsets)
            for (auto& p : col)
                p = {std::int16_t(next() % 1800 - 900), std::int16_t(-next() % 900)};
        for (auto& p : m.CornerOffsets)
            p = {std::int16_t(next()), std::int16_t(-next())};
        for (auto& p : s.box->warp.adjust().ControlOffsets[w])
            p = {std::int16_t(next()), std::int16_t(-next())};
        for (auto& p : s.box->warp.adjust().KeystoneCorners[w])
            p = {std::int16_t(-next()), std::int16_t(next())};
        for (auto& p : s.box->warp.adjust().WallPoints[w])
            p = {std::int16_t(next()), std::int16_t(next())};
        s.FileInputSize[w] = {1920 + int(w), 1080 + int(w)};
        s.FilePipSourceSize[w] = {1280 + int(w), 720 + int(w)};
        for (auto& v : s.settings().PipSettings[w].bytes)
            v = std::uint8_t(next());
        for (auto& v : s.settings().PipSettings[w].overlap)
            v = std::int16_t(-next());
        s.settings().DCM[w] = std::uint8_t(w + 1);
        s.settings().HDO[w] = std::uint8_t(2 - w % 2);
    }
    s.masks->state().MaskAssignment = {3, 0, 10, 9};
}

class SettingFileTest : public ::testing::Test {
protected:
    VirtualClock clock;
    RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;

    // A second, fresh session to load into.
    VirtualClock clock2;
    RecordingUi ui2;
    Box tTool{clock2, ui2};
    Session& t = tTool.session;

    SettingFileTest()
    {
        s.BoardModel = 115;
        t.BoardModel = 115;
    }
    void withMasks(Session& x) { x.setFlag(Flag::UserMask, true); }
};

} // namespace trivel::test
