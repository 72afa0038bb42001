#include "ChainFixture.h"

#include <algorithm>

namespace trivel::test {

sim::BoxModel ChainBox()
{
    sim::BoxIdentity id;
    id.firmwareVersion = {3, 1, 4};
    id.boardKind = 1;
    id.userMask = 0;
    id.model = 400;
    id.frameWidth23 = 1280;
    id.frameHeight23 = 800;
    id.windowCaps = {0x01, 0x02, 0x04, 0x08};
    sim::BoxModel box(id);

    for (int w = 0; w < sim::kWindows; ++w) {
        sim::WindowState& s = box.window(w);
        auto& r = s.record;
        r = {};
        auto put16 = [&r](std::size_t at, int v) {
            r[at] = std::uint8_t(v);
            r[at + 1] = std::uint8_t(v >> 8);
        };
        r[0] = std::uint8_t(w); // INP
        r[6] = std::uint8_t(2 + w); // OPM
        r[16] = std::uint8_t(w); // HZM
        put16(20, 1800 + 10 * w); // OLE 10 w
        r[30] = std::uint8_t(40 + w); // BRI
        put16(46, 2000 + w); // H1W

        // Warp blocks: window pairs (0, 1) and (2, 3) each count up from 0 and 1000.
        for (std::size_t i = 0; i < s.controlOffsets.size(); ++i)
            s.controlOffsets[i] = std::int16_t((w >= 2 ? 1000 : 0) + 90 * (w % 2) + int(i));
        s.controlPattern = std::uint8_t(w + 1);
        for (std::size_t i = 0; i < s.wallPoints.size(); ++i)
            s.wallPoints[i] = std::int16_t(-(16 * w + int(i)));
        for (std::size_t i = 0; i < s.keystoneCorners.size(); ++i)
            s.keystoneCorners[i] = std::int16_t(500 + 8 * w + int(i));

        // Blend block: its 376 record bytes count up, the edge-mask corners from -32.
        for (std::size_t i = 0; i < s.blend.size(); ++i)
            s.blend[i] = std::uint8_t(int(sim::kBlendRecordSize) * w + int(i));
        for (std::size_t i = 0; i < 8; ++i) {
            s.maskCornerX[i] = std::int16_t(8 * w + int(i) - 32);
            s.maskCornerY[i] = std::int16_t(8 * w + int(i));
        }

        // Per-window queries; PBO needs the '9' form of the value field.
        s.maskAssignment = std::uint8_t(w + 1);
        s.deepColour = std::uint8_t(w % 2);
        s.hdcpOutput = std::uint8_t((w + 1) % 3);
        for (std::size_t i = 0; i < s.pip.size(); ++i)
            s.pip[i] = std::uint8_t(10 * w + int(i));
        for (std::size_t k = 0; k < s.pipOverlap.size(); ++k)
            s.pipOverlap[k] = std::int16_t(-(100 * w + 10 * (7 + int(k)) + (k == 3 ? 1000 : 0)));
    }

    // DHCP off, in use 10.0.0.5/255.0.0.0/10.0.0.1, static 172.16.1.2/255.255.0.0/172.16.0.1.
    const std::uint8_t net[25]
        = {0, 10, 0, 0, 5, 255, 0, 0, 0, 10, 0, 0, 1, 172, 16, 1, 2, 255, 255, 0, 0, 172, 16, 0, 1};
    std::copy_n(net, 25, box.network().bytes.begin());

    PlugInputs(box, 0b0001);
    box.inputSignals.outputMask = 0b0011;
    for (int w = 0; w < sim::kWindows; ++w)
        box.inputSignals.pipSource[std::size_t(w)] = {640 + w, 480 + w};
    box.inputSignals.pipPresentMask = 0; // sizes are reported, no source is flagged present
    return box;
}

void StoreMaskSlot(sim::BoxModel& box, int slot, std::uint32_t sizeField, std::size_t payload)
{
    std::vector<std::uint8_t>& data = box.maskSlot(slot);
    data.assign(32 + payload, 0);
    for (std::size_t i = 32; i < data.size(); ++i)
        data[i] = std::uint8_t(i);
    data[1] = slot == 9 ? 'C' : 'M';
    data[2] = 'E';
    data[3] = 'X';
    for (int i = 0; i < 4; ++i)
        data[4 + std::size_t(i)] = std::uint8_t(sizeField >> (8 * i));
    data[8] = std::uint8_t(slot);
}

void PlugInputs(sim::BoxModel& box, int mask)
{
    for (int w = 0; w < sim::kWindows; ++w)
        box.inputSignals.input[std::size_t(w)]
            = (mask >> w) & 1 ? sim::SignalSize{1920 - w, 1080 - w} : sim::SignalSize{};
    box.inputSignals.inputMask = -1;
}

} // namespace trivel::test
