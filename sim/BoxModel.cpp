#include "sim/BoxModel.h"

#include "protocol/FirmwareFrames.h"
#include "protocol/MaskFrames.h"
#include "protocol/RegisterFrames.h"
#include "protocol/WarpFrames.h"
#include "protocol/SessionFrames.h"

#include "protocol/SettingCodec.h"
#include "protocol/SettingFrames.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <utility>

Q_LOGGING_CATEGORY(lcSim, "trivel.sim")

namespace trivel::sim {

namespace {

// Every code of the protocol, ascending; the model keeps one counter for each.
constexpr std::uint32_t kProtocolCodes[] = {Cmd::Identify, Cmd::FwShortStart, Cmd::FwShortData,
    Cmd::FwShortEnd, Cmd::FwShortCommit, Cmd::FwPrefixedStart, Cmd::FwPrefixedData, Cmd::FwPrefixedEnd,
    Cmd::FwLargeBoardQuery, Cmd::FwLargeStart, Cmd::FwLargeData, Cmd::FwLargeEnd, Cmd::ReadNetwork,
    Cmd::ReadWindowSettings, Cmd::Setting, Cmd::WriteNetwork, Cmd::Status, Cmd::ReadWarpA, Cmd::ReadWarpB,
    Cmd::ReadWarpC, Cmd::ReadBlend, Cmd::SettingAlt, Cmd::SettingQuery, Cmd::MaskShow, Cmd::MaskUploadMono,
    Cmd::MaskStore, Cmd::MaskDelete, Cmd::MaskReadHeader, Cmd::MaskReadChunk, Cmd::MaskUploadColour,
    Cmd::MaskReadColourHeader, Cmd::MaskReadColourChunk, Cmd::PointModeEnter, Cmd::PointModePoint,
    Cmd::PointModeChunk, Cmd::RegisterRead, Cmd::TestPatternColour, Cmd::TransferWindowEnd,
    Cmd::RegisterWrite, Cmd::UserMapCursor, Cmd::ControlCursor, Cmd::UserMapSourceX, Cmd::UserMapSourceY,
    Cmd::UserMapApply, Cmd::SaveWarpMap, Cmd::UserMapUseStored, Cmd::CurrentWindowChanged, Cmd::QueryWarpMap,
    Cmd::ReadWarpMapBlock, Cmd::UserMapWall, Cmd::BlendMarker, Cmd::BulkWarpBlock, Cmd::TestRequest,
    Cmd::Restart};
static_assert(
    std::ranges::adjacent_find(kProtocolCodes, std::ranges::greater_equal()) == std::end(kProtocolCodes),
    "protocol codes ascending, each once");

// The codes each area of the box answers.
constexpr std::uint32_t kWarpCodes[] = {Cmd::ReadWarpA, Cmd::ReadWarpB, Cmd::ReadWarpC, Cmd::PointModeEnter,
    Cmd::PointModePoint, Cmd::PointModeChunk, Cmd::TestPatternColour, Cmd::ControlCursor, Cmd::SaveWarpMap,
    Cmd::QueryWarpMap, Cmd::ReadWarpMapBlock, Cmd::UserMapWall, Cmd::UserMapSourceX, Cmd::UserMapSourceY,
    Cmd::UserMapApply};
constexpr std::uint32_t kMaskCodes[] = {Cmd::MaskShow, Cmd::MaskUploadMono, Cmd::MaskUploadColour,
    Cmd::MaskStore, Cmd::MaskDelete, Cmd::MaskReadHeader, Cmd::MaskReadChunk, Cmd::MaskReadColourHeader,
    Cmd::MaskReadColourChunk};
constexpr std::uint32_t kFirmwareCodes[] = {Cmd::FwShortStart, Cmd::FwShortData, Cmd::FwShortEnd,
    Cmd::FwShortCommit, Cmd::FwPrefixedStart, Cmd::FwPrefixedData, Cmd::FwPrefixedEnd, Cmd::FwLargeBoardQuery,
    Cmd::FwLargeStart, Cmd::FwLargeData, Cmd::FwLargeEnd};

int protocolCodeIndex(std::uint32_t code)
{
    const auto* it = std::ranges::lower_bound(kProtocolCodes, code);
    return it != std::end(kProtocolCodes) && *it == code ? int(it - std::begin(kProtocolCodes)) : -1;
}

} // namespace

BoxModel::BoxModel(BoxIdentity id)
    : identity(id)
    , m_counts(std::size(kProtocolCodes), 0)
{
    factoryReset();
}

WindowState BoxModel::defaultWindow(const BoxIdentity& id, int w)
{
    WindowState s;
    auto& r = s.record;
    r[5] = id.windowCaps[std::size_t(clampWindow(w))];
    for (std::size_t off : {20u, 22u, 24u, 26u}) { // overscans travel as value + 1800
        r[off] = 1800 & 0xFF;
        r[off + 1] = 1800 >> 8;
    }
    r[30] = 50; // BRI
    r[31] = 75; // CON
    r[32] = 5; // XHA step
    r[33] = 50; // HUE
    r[34] = 50; // XAT
    r[35] = 1; // CLR "Nature"
    r[36] = r[37] = r[38] = 100; // RGN GGN BGN
    for (std::size_t off = 42; off <= 54; off += 4) {
        r[off] = 1920 & 0xFF;
        r[off + 1] = 1920 >> 8;
        r[off + 2] = 1080 & 0xFF;
        r[off + 3] = 1080 >> 8;
    }
    auto& b = s.blend;
    for (std::size_t off : {16u, 18u, 20u}) { // transition gamma 2.20
        b[off] = 220;
        b[off + 1] = 0;
    }
    b[22] = b[23] = b[24] = 50; // gamma gain
    b[25] = 220; // gamma offset
    for (std::size_t off = 86; off <= 91; ++off)
        b[off] = 50; // colour gain and offset
    return s;
}

void BoxModel::factoryReset()
{
    for (int w = 0; w < kWindows; ++w)
        m_settings.windows[std::size_t(w)] = defaultWindow(identity, w);
    m_settings.currentWindow = 0;
    m_network = {};
    const std::uint8_t staticAddr[12] = {192, 168, 0, 100, 255, 255, 255, 0, 192, 168, 0, 1};
    std::copy_n(staticAddr, 12, m_network.bytes.begin() + 1);
    std::copy_n(staticAddr, 12, m_network.bytes.begin() + 13);
    for (auto& p : m_profiles)
        p.reset();
    for (auto& s : m_maskSlots)
        s.clear();
    for (auto& u : m_maskUpload)
        u.clear();
    m_maskReadSlot = 0;
    for (auto& t : m_userMaps)
        t.reset();
    m_userMapShown = {};
    for (auto& w : m_maps)
        for (auto& m : w)
            m.reset();
    m_mapReadSlot = {};
    m_registers.assign(std::size_t(kWindows) * kRegisterBanks * kRegistersPerBank, 0);
    m_registerBank = {};
}

void BoxModel::resetWindow(int w)
{
    m_settings.windows[std::size_t(clampWindow(w))] = defaultWindow(identity, w);
}

int BoxModel::requests(std::uint32_t code) const
{
    const int i = protocolCodeIndex(code);
    return i < 0 ? 0 : m_counts[std::size_t(i)];
}

void BoxModel::clearCounters()
{
    std::ranges::fill(m_counts, 0);
    m_unknown = 0;
    m_received.clear();
    m_total = 0;
    m_replies = 0;
}

bool BoxModel::takeLinkEnd()
{
    const bool e = m_linkEnd;
    m_linkEnd = false;
    return e;
}

std::vector<std::string> BoxModel::settingsReceived() const
{
    std::vector<std::string> out;
    for (const auto& f : m_received) {
        const std::uint32_t code = FrameView(const_cast<std::uint8_t*>(f.data()), f.size()).code();
        if (code == Cmd::Setting || code == Cmd::SettingAlt || code == Cmd::SettingQuery)
            out.push_back(proto::SettingRequestView{FrameView(const_cast<std::uint8_t*>(f.data()), f.size())}.text());
    }
    return out;
}

std::string BoxModel::describe(const std::uint8_t* frame, std::size_t n)
{
    std::array<std::uint8_t, kTcpFrameSize> copy{};
    std::copy_n(frame, std::min(n, copy.size()), copy.begin());
    const FrameView f(copy.data(), copy.size());
    char head[16];
    std::snprintf(head, sizeof head, "0x%04x", f.code());
    std::string line = head;
    const std::uint32_t code = f.code();
    if (code == Cmd::Setting || code == Cmd::SettingAlt || code == Cmd::SettingQuery) {
        line += ' ';
        for (const char c : proto::SettingRequestView{f}.text())
            line += (c >= 0x20 && c < 0x7F) ? c : '.';
    }
    return line;
}

std::optional<std::vector<std::uint8_t>> BoxModel::handle(const std::uint8_t* request, std::size_t n)
{
    Frame req{};
    if (request)
        std::copy_n(request, std::min(n, req.size()), req.begin());
    FrameView rq(req.data(), req.size());
    const std::uint32_t code = rq.code();

    ++m_total;
    if (const int i = protocolCodeIndex(code); i >= 0)
        ++m_counts[std::size_t(i)];
    else
        ++m_unknown;
    m_received.emplace_back(req.begin(), req.end());
    while (m_received.size() > receivedLogLimit && !m_received.empty())
        m_received.pop_front();

    std::vector<std::uint8_t> reply(kTcpFrameSize, 0);
    FrameView rp(reply.data(), reply.size());
    rp.setCode(code);
    if (!answer(code, rq, rp))
        return std::nullopt;

    if (silent || (silentAfter >= 0 && m_replies >= silentAfter))
        return std::nullopt;
    if (wrongCodeFor && *wrongCodeFor == code)
        rp.setCode(wrongCode);
    if (hostile == Hostile::MaskSize && (code == Cmd::MaskReadHeader || code == Cmd::MaskReadColourHeader)
        && proto::MaskHeaderReplyView{rp}.holdsMask())
        proto::PutMaskHeaderSize(rp, 0xFFFFFF00u);
    if (hostile == Hostile::Random || hostile == Hostile::Extreme || hostile == Hostile::Flood) {
        HostileRandom rng(seed, std::uint64_t(m_replies));
        if (hostile == Hostile::Random) {
            for (std::size_t i = 0; i < reply.size(); i += 8) {
                const std::uint64_t r = rng.next();
                for (std::size_t k = 0; k < 8 && i + k < reply.size(); ++k)
                    reply[i + k] = std::uint8_t(r >> (8 * k));
            }
        } else if (hostile == Hostile::Extreme) {
            makeExtreme(code, rq, rp, rng);
        }
        if (replyHook && !replyHook(code, reply))
            return std::nullopt;
        if (hostile == Hostile::Flood)
            queueFlood(reply, rng);
    } else if (replyHook && !replyHook(code, reply)) {
        return std::nullopt;
    }
    ++m_replies;
    return reply;
}

std::vector<std::vector<std::uint8_t>> BoxModel::takeExtraReplies()
{
    return std::exchange(m_extraReplies, {});
}

void BoxModel::writeNetwork(FrameView req)
{
    const proto::NetworkRequestView r{req};
    const bool dhcp = r.dhcp();
    m_network.bytes[0] = dhcp ? 1 : 0;
    if (dhcp) {
        // What a DHCP server on the installer's bench would hand out.
        const std::uint8_t lease[12] = {192, 168, 0, 57, 255, 255, 255, 0, 192, 168, 0, 1};
        std::copy_n(lease, 12, m_network.bytes.begin() + 1);
    } else {
        r.copyOctets(m_network.bytes.data() + 13);
        std::copy_n(m_network.bytes.begin() + 13, 12, m_network.bytes.begin() + 1);
    }
}

// Fills the reply for one request; false means the box sends nothing.
bool BoxModel::answer(std::uint32_t code, FrameView req, FrameView rep)
{
    if (std::ranges::find(kWarpCodes, code) != std::end(kWarpCodes))
        return answerWarp(code, req, rep);
    if (std::ranges::find(kMaskCodes, code) != std::end(kMaskCodes)) {
        handleMask(code, req, rep);
        return true;
    }
    if (std::ranges::find(kFirmwareCodes, code) != std::end(kFirmwareCodes)) {
        handleFirmware(code, req, rep);
        return true;
    }
    switch (code) {
    case Cmd::Identify:
        putIdentify(rep);
        return true;
    case Cmd::Status:
        putStatus(rep);
        return true;
    case Cmd::ReadWindowSettings:
        putWindowSettings(rep);
        return true;
    case Cmd::ReadNetwork:
        proto::PutNetworkRecord(rep, m_network.bytes);
        return true;
    case Cmd::WriteNetwork:
        writeNetwork(req);
        return true;
    case Cmd::ReadBlend:
        putBlend(rep);
        return true;
    case Cmd::Setting:
    case Cmd::SettingAlt:
    case Cmd::SettingQuery:
        handleSetting(code, req, rep);
        return true;
    case Cmd::RegisterRead:
    case Cmd::RegisterWrite:
        handleRegisters(code, req, rep);
        return true;
    case Cmd::CurrentWindowChanged:
        if (req.u8(8) < kWindows)
            m_settings.currentWindow = req.u8(8);
        return true;
    case Cmd::BlendMarker: {
        const proto::WindowValueRequestView r{req};
        window(r.window()).blendMarker = std::uint8_t(r.value());
        return true;
    }
    case Cmd::BulkWarpBlock:
        applyBulkBlock(req);
        return true;
    case Cmd::TestRequest:
        return false;
    case Cmd::Restart:
        // The box reboots: no answer, and the link drops. Stored state survives.
        m_linkEnd = true;
        return false;
    default:
        // Every other request (cursor frames, user-map tables, window-end markers, unknown codes)
        // gets a plain acknowledge carrying its code.
        return true;
    }
}

void BoxModel::putIdentify(FrameView rep) const
{
    rep.put8(8, identity.firmwareVersion[0]);
    rep.put8(9, identity.firmwareVersion[1]);
    rep.put8(10, identity.firmwareVersion[2]);
    rep.put8(11, std::uint8_t(identity.controllerFirmware >> 16));
    rep.put8(12, std::uint8_t(identity.controllerFirmware >> 8));
    rep.put8(13, std::uint8_t(identity.controllerFirmware));
    rep.put8(14, identity.boardKind);
    rep.put8(15, identity.key);
    rep.put16(16, identity.frameWidth01);
    rep.put16(18, identity.frameHeight01);
    rep.put16(20, identity.frameWidth23);
    rep.put16(22, identity.frameHeight23);
    rep.put8(34, identity.mainBoardError ? 0x08 : 0x00);
    rep.put8(37, identity.userMask);
}

void BoxModel::putStatus(FrameView rep) const
{
    const auto& sig = inputSignals;
    int inMask = sig.inputMask;
    if (inMask < 0) {
        inMask = 0;
        for (int w = 0; w < kWindows; ++w)
            if (sig.input[std::size_t(w)].width != 0)
                inMask |= 1 << w;
    }
    int outMask = sig.outputMask < 0 ? (1 << identity.channelCount()) - 1 : sig.outputMask;
    auto digits = [&rep](std::size_t off, int v) {
        v = std::clamp(v, 0, 999);
        rep.put8(off, std::uint8_t('0' + v / 100));
        rep.put8(off + 1, std::uint8_t('0' + v / 10 % 10));
        rep.put8(off + 2, std::uint8_t('0' + v % 10));
    };
    digits(8, inMask);
    digits(12, outMask);
    for (int w = 0; w < kWindows; ++w) {
        const std::size_t i = std::size_t(w);
        rep.put32(16 + 8 * i, std::uint32_t(sig.input[i].width));
        rep.put32(20 + 8 * i, std::uint32_t(sig.input[i].height));
        rep.put32(48 + 8 * i, std::uint32_t(sig.pipSource[i].width));
        rep.put32(52 + 8 * i, std::uint32_t(sig.pipSource[i].height));
        const bool present
            = sig.pipPresentMask < 0 ? sig.pipSource[i].width != 0 : ((sig.pipPresentMask >> w) & 1) != 0;
        rep.put8(80 + i, present ? 0x02 : 0x00);
    }
}

void BoxModel::putWindowSettings(FrameView rep) const
{
    for (int w = 0; w < kWindows; ++w) {
        const auto& r = m_settings.windows[std::size_t(w)].record;
        using V = proto::WindowBlockView;
        rep.copyIn(V::at(w, proto::WindowField::INP), r.data(), std::min(r.size(), proto::kWindowRecordBytes));
        rep.put8(V::at(w, proto::WindowField::Caps), identity.windowCaps[std::size_t(w)]);
    }
    rep.put8(proto::WindowBlockView::kCurrentWindowOffset, m_settings.currentWindow);
}

void BoxModel::putBlend(FrameView rep) const
{
    for (std::size_t w = 0; w < kWindows; ++w) {
        const auto& s = m_settings.windows[w];
        rep.copyIn(8 + kBlendRecordSize * w, s.blend.data(), s.blend.size());
        for (std::size_t i = 0; i < 8; ++i) {
            rep.put16(384 + 16 * w + 2 * i, std::uint16_t(s.maskCornerX[i]));
            rep.put16(448 + 16 * w + 2 * i, std::uint16_t(s.maskCornerY[i]));
        }
    }
}

// Bulk blocks apply to the window selected on the box. Block 1: control offsets; block 2:
// keystone corners and wall points; block 3: blend corners, region offsets, gamma offset and
// edge-mask corners. Byte 9 of blocks 1 and 2 is the mode the data belongs to, which the box
// then shows.
void BoxModel::applyBulkBlock(FrameView req)
{
    auto& s = window(m_settings.currentWindow);
    const proto::BulkBlockView v{req};
    const std::uint8_t mode = std::uint8_t(v.mode());
    const bool knownMode = mode <= 4 || (mode >= 6 && mode <= 16) || mode == 100;
    switch (v.block()) {
    case 1:
        for (std::size_t i = 0; i < s.controlOffsets.size(); ++i)
            s.controlOffsets[i] = v.controlWord(i);
        if (knownMode)
            s.controlPattern = mode;
        break;
    case 2:
        for (std::size_t i = 0; i < s.keystoneCorners.size(); ++i)
            s.keystoneCorners[i] = v.cornerWord(i);
        for (std::size_t i = 0; i < s.wallPoints.size(); ++i)
            s.wallPoints[i] = v.wallWord(i);
        if (knownMode)
            s.controlPattern = mode;
        break;
    case 3:
        s.blend[25] = mode;
        req.copyOut(12, s.blend.data() + 54, 32);
        req.copyOut(50, s.blend.data() + 26, 27);
        for (std::size_t i = 0; i < 8; ++i) {
            s.maskCornerX[i] = req.i16(80 + 2 * i);
            s.maskCornerY[i] = req.i16(120 + 2 * i);
        }
        break;
    default:
        break;
    }
}

} // namespace trivel::sim
