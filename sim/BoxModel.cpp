#include "sim/BoxModel.h"

#include "protocol/FirmwareFrames.h"
#include "protocol/RegisterFrames.h"
#include "protocol/SessionFrames.h"

#include "protocol/SettingCodec.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <utility>

Q_LOGGING_CATEGORY(lcSim, "trivel.sim")

namespace trivel::sim {

namespace {

constexpr std::size_t kFirmwareLimit = 64u << 20; // larger announced images are cut here

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

int protocolCodeIndex(std::uint32_t code)
{
    const auto* it = std::ranges::lower_bound(kProtocolCodes, code);
    return it != std::end(kProtocolCodes) && *it == code ? int(it - std::begin(kProtocolCodes)) : -1;
}

void putI16(FrameView& f, std::size_t off, std::int16_t v)
{
    f.put16(off, std::uint16_t(v));
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
            out.emplace_back(reinterpret_cast<const char*>(f.data()) + kSettingOffset, 10);
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
        for (std::size_t i = 0; i < 10; ++i) {
            const char c = char(copy[kSettingOffset + i]);
            line += (c >= 0x20 && c < 0x7F) ? c : '.';
        }
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
        && rp.u8(10) == 'E' && rp.u8(11) == 'X')
        rp.put32(12, 0xFFFFFF00u); // the header's size field
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

// The reply's data fields filled with one extreme word (all ones, the largest and smallest
// 32-bit values, zero), then the fields the tool trusts most set to values out of range.
void BoxModel::makeExtreme(std::uint32_t code, FrameView req, FrameView rep, HostileRandom& rng) const
{
    static constexpr std::uint32_t kWords[] = {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0u, 0xFFFF7FFFu};
    const std::uint32_t word = kWords[rng.below(std::size(kWords))];
    for (std::size_t off = 8; off + 4 <= rep.size(); off += 4)
        rep.put32(off, word);
    switch (code) {
    case Cmd::Identify: {
        // No window, 127 windows, an empty PIP board, a plain board of 254 windows.
        static constexpr std::uint8_t kBoardKinds[] = {0x00, 0xFF, 0x80, 0x7F, 0x85};
        rep.put8(14, kBoardKinds[rng.below(std::size(kBoardKinds))]);
        break;
    }
    case Cmd::Status: {
        static constexpr const char* kMasks[] = {"999", "\xff\xff\xff", "-99"};
        const char* mask = kMasks[rng.below(std::size(kMasks))];
        rep.copyIn(8, mask, 3);
        rep.copyIn(12, mask, 3);
        break;
    }
    case Cmd::Setting:
    case Cmd::SettingAlt:
    case Cmd::SettingQuery: {
        // The command echoed with a value at or past the ends of the field.
        static constexpr const char* kValues[] = {"+999", "-999", "9999", "\xff\xff\xff\xff"};
        char text[kSettingLength];
        req.copyOut(kSettingOffset, text, kSettingLength);
        std::copy_n(kValues[rng.below(std::size(kValues))], 4, text + kValueField);
        rep.copyIn(kSettingOffset, text, kSettingLength);
        break;
    }
    default:
        break;
    }
}

// One to three frames after the reply: copies of it, or data replies nobody asked for.
void BoxModel::queueFlood(const std::vector<std::uint8_t>& reply, HostileRandom& rng)
{
    static constexpr std::uint32_t kUnsolicited[]
        = {Cmd::Status, Cmd::Identify, Cmd::ReadWindowSettings, Cmd::UserMapSourceX, Cmd::ReadBlend};
    const std::uint32_t n = 1 + rng.below(3);
    for (std::uint32_t i = 0; i < n; ++i) {
        if (rng.below(2) == 0) {
            m_extraReplies.push_back(reply);
            continue;
        }
        std::vector<std::uint8_t> extra(kTcpFrameSize, 0);
        FrameView f(extra.data(), extra.size());
        const std::uint32_t code = kUnsolicited[rng.below(std::size(kUnsolicited))];
        f.setCode(code);
        if (code == Cmd::Status)
            putStatus(f);
        else if (code == Cmd::Identify)
            putIdentify(f);
        else if (code == Cmd::ReadWindowSettings)
            putWindowSettings(f);
        else if (code == Cmd::ReadBlend)
            putBlend(f);
        m_extraReplies.push_back(std::move(extra));
    }
}

// Fills the reply for one request; false means the box sends nothing.
bool BoxModel::answer(std::uint32_t code, FrameView req, FrameView rep)
{
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
        rep.copyIn(24, m_network.bytes.data(), m_network.bytes.size());
        return true;
    case Cmd::WriteNetwork: {
        const bool dhcp = req.u8(8) != 0;
        m_network.bytes[0] = dhcp ? 1 : 0;
        if (dhcp) {
            // What a DHCP server on the installer's bench would hand out.
            const std::uint8_t lease[12] = {192, 168, 0, 57, 255, 255, 255, 0, 192, 168, 0, 1};
            std::copy_n(lease, 12, m_network.bytes.begin() + 1);
        } else {
            req.copyOut(9, m_network.bytes.data() + 13, 12);
            std::copy_n(m_network.bytes.begin() + 13, 12, m_network.bytes.begin() + 1);
        }
        return true;
    }
    case Cmd::ReadWarpA:
        putWarpOffsets(rep, 0);
        return true;
    case Cmd::ReadWarpB:
        putWarpOffsets(rep, 2);
        return true;
    case Cmd::ReadWarpC:
        putWarpTableC(rep);
        return true;
    case Cmd::ReadBlend:
        putBlend(rep);
        return true;
    case Cmd::Setting:
    case Cmd::SettingAlt:
    case Cmd::SettingQuery:
        handleSetting(code, req, rep);
        return true;
    case Cmd::MaskShow:
    case Cmd::MaskUploadMono:
    case Cmd::MaskUploadColour:
    case Cmd::MaskStore:
    case Cmd::MaskDelete:
    case Cmd::MaskReadHeader:
    case Cmd::MaskReadChunk:
    case Cmd::MaskReadColourHeader:
    case Cmd::MaskReadColourChunk:
        handleMask(code, req, rep);
        return true;
    case Cmd::PointModeEnter:
        window(req.u8(8)).controlPattern = 100;
        m_userMapShown[std::size_t(clampWindow(req.u8(8)))] = false;
        return true;
    case Cmd::PointModePoint: {
        auto& s = window(req.u8(8));
        const int col = req.u8(10), row = req.u8(11);
        if (col < int(kPointGrid) && row < int(kPointGrid)) {
            FrameView p(s.pointOffsets.data(), s.pointOffsets.size());
            const std::size_t off = std::size_t(col) * kPointGrid * 4 + std::size_t(row) * 4;
            putI16(p, off, std::int16_t(std::clamp(req.i32(16), -32768, 32767)));
            putI16(p, off + 2, std::int16_t(std::clamp(req.i32(20), -32768, 32767)));
        }
        s.controlPattern = 100;
        m_userMapShown[std::size_t(clampWindow(req.u8(8)))] = false;
        return true;
    }
    case Cmd::PointModeChunk: {
        auto& s = window(req.u8(8));
        const int chunk = req.u8(9);
        if (chunk <= 2) {
            const std::size_t start = std::size_t(chunk) * 408;
            const std::size_t len = std::min<std::size_t>(408, kPointOffsetsSize - start);
            req.copyOut(32, s.pointOffsets.data() + start, len);
        }
        return true;
    }
    case Cmd::RegisterRead:
    case Cmd::RegisterWrite:
        handleRegisters(code, req, rep);
        return true;
    case Cmd::TestPatternColour: {
        const proto::WindowValueRequestView r{req};
        window(r.window()).patternColour = std::uint8_t(r.value());
        return true;
    }
    case Cmd::ControlCursor: {
        auto& s = window(req.u8(8));
        s.controlCursor = req.u8(9);
        s.controlCursorShown = req.u8(10);
        return true;
    }
    case Cmd::CurrentWindowChanged:
        if (req.u8(8) < kWindows)
            m_settings.currentWindow = req.u8(8);
        return true;
    case Cmd::SaveWarpMap:
    case Cmd::QueryWarpMap:
    case Cmd::ReadWarpMapBlock:
        handleMap(code, req, rep);
        return true;
    case Cmd::UserMapWall: {
        auto& s = window(req.u8(8));
        for (std::size_t i = 0; i < s.userMapWall.size(); ++i)
            s.userMapWall[i] = req.i16(32 + 2 * i);
        return true;
    }
    case Cmd::BlendMarker: {
        const proto::WindowValueRequestView r{req};
        window(r.window()).blendMarker = std::uint8_t(r.value());
        return true;
    }
    case Cmd::UserMapSourceX:
    case Cmd::UserMapSourceY: {
        const std::size_t first = req.u8(8), columns = req.u8(9);
        const std::size_t n = columns * kUserMapColumnBytes;
        if (first + columns <= kUserMapColumns && 32 + n <= req.size()) {
            auto& table = code == Cmd::UserMapSourceX ? m_userMapIncoming.x : m_userMapIncoming.y;
            req.copyOut(32, table.data() + first * kUserMapColumnBytes, n);
        }
        return true;
    }
    case Cmd::UserMapApply: {
        const int w = clampWindow(req.u8(8));
        m_userMaps[std::size_t(w)] = m_userMapIncoming;
        m_userMapShown[std::size_t(w)] = true;
        if (onUserMapApplied)
            onUserMapApplied(w);
        return true;
    }
    case Cmd::BulkWarpBlock:
        applyBulkBlock(req);
        return true;
    case Cmd::FwShortStart:
    case Cmd::FwShortData:
    case Cmd::FwShortEnd:
    case Cmd::FwShortCommit:
    case Cmd::FwPrefixedStart:
    case Cmd::FwPrefixedData:
    case Cmd::FwPrefixedEnd:
    case Cmd::FwLargeBoardQuery:
    case Cmd::FwLargeStart:
    case Cmd::FwLargeData:
    case Cmd::FwLargeEnd:
        handleFirmware(code, req, rep);
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
        rep.copyIn(8 + kWindowRecordSize * std::size_t(w), r.data(), r.size());
        rep.put8(8 + kWindowRecordSize * std::size_t(w) + 5, identity.windowCaps[std::size_t(w)]);
    }
    rep.put8(15, m_settings.currentWindow);
}

void BoxModel::putWarpOffsets(FrameView rep, int firstWindow) const
{
    for (int k = 0; k < 2; ++k) {
        const auto& s = m_settings.windows[std::size_t(firstWindow + k)];
        for (std::size_t i = 0; i < s.controlOffsets.size(); ++i)
            rep.put16(8 + 180 * std::size_t(k) + 2 * i, std::uint16_t(s.controlOffsets[i]));
    }
}

void BoxModel::putWarpTableC(FrameView rep) const
{
    for (std::size_t w = 0; w < kWindows; ++w) {
        const auto& s = m_settings.windows[w];
        rep.put8(8 + w, s.controlPattern);
        for (std::size_t i = 0; i < s.wallPoints.size(); ++i)
            rep.put16(16 + 32 * w + 2 * i, std::uint16_t(s.wallPoints[i]));
        for (std::size_t i = 0; i < s.keystoneCorners.size(); ++i)
            rep.put16(144 + 16 * w + 2 * i, std::uint16_t(s.keystoneCorners[i]));
    }
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
    const std::uint8_t mode = req.u8(9);
    const bool knownMode = mode <= 4 || (mode >= 6 && mode <= 16) || mode == 100;
    switch (req.u8(8)) {
    case 1:
        for (std::size_t i = 0; i < s.controlOffsets.size(); ++i)
            s.controlOffsets[i] = req.i16(12 + 2 * i);
        if (knownMode)
            s.controlPattern = mode;
        break;
    case 2:
        for (std::size_t i = 0; i < s.keystoneCorners.size(); ++i)
            s.keystoneCorners[i] = req.i16(12 + 2 * i);
        for (std::size_t i = 0; i < s.wallPoints.size(); ++i)
            s.wallPoints[i] = req.i16(50 + 2 * i);
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

void BoxModel::handleMask(std::uint32_t code, FrameView req, FrameView rep)
{
    const int w = clampWindow(req.u8(8));
    switch (code) {
    case Cmd::MaskShow: {
        auto& s = window(w);
        s.maskShown = req.u8(12);
        if (s.maskShown)
            s.maskKind = req.u8(16);
        break;
    }
    case Cmd::MaskUploadMono:
    case Cmd::MaskUploadColour: {
        const std::size_t limit = code == Cmd::MaskUploadMono ? kMonoSlotLimit : kColourSlotLimit;
        const std::size_t pos = req.u32(12);
        const std::size_t size = std::min<std::size_t>(req.u32(16), limit);
        auto& up = m_maskUpload[std::size_t(w)];
        if (pos == 0 || up.size() != size)
            up.assign(size, 0);
        if (pos < size)
            req.copyOut(20, up.data() + pos, std::min<std::size_t>(480, size - pos));
        break;
    }
    case Cmd::MaskStore: {
        const int slot = req.u8(12);
        if (slot < kMaskSlots)
            m_maskSlots[std::size_t(slot)] = m_maskUpload[std::size_t(w)];
        break;
    }
    case Cmd::MaskDelete: {
        const int slot = req.u8(12);
        if (slot < kMaskSlots)
            m_maskSlots[std::size_t(slot)].clear();
        break;
    }
    case Cmd::MaskReadHeader:
    case Cmd::MaskReadColourHeader: {
        int slot = 9;
        if (code == Cmd::MaskReadHeader) {
            slot = std::min<int>(req.u8(12), 8);
            m_maskReadSlot = slot;
        }
        const auto& data = m_maskSlots[std::size_t(slot)];
        if (!data.empty()) // an empty slot answers zeros
            rep.copyIn(8, data.data(), std::min<std::size_t>(32, data.size()));
        break;
    }
    case Cmd::MaskReadChunk:
    case Cmd::MaskReadColourChunk: {
        const auto& data = m_maskSlots[std::size_t(code == Cmd::MaskReadChunk ? m_maskReadSlot : 9)];
        const std::size_t pos = req.u32(12);
        if (pos < data.size())
            rep.copyIn(8, data.data() + pos, std::min<std::size_t>(256, data.size() - pos));
        break;
    }
    default:
        break;
    }
}

void BoxModel::selectStoredMap(int w, int slot)
{
    m_mapReadSlot[std::size_t(clampWindow(w))] = slot;
    if (const auto& m = storedMap(w, slot)) {
        auto& s = window(w);
        s.pointOffsets = m->pointOffsets;
        s.keystoneCorners = m->keystoneCorners;
    }
}

void BoxModel::handleMap(std::uint32_t code, FrameView req, FrameView rep)
{
    const int w = clampWindow(req.u8(8));
    rep.put8(8, std::uint8_t(w));
    switch (code) {
    case Cmd::SaveWarpMap: {
        const int slot = req.u8(9);
        if (slot < kMapSlots) {
            const auto& s = window(w);
            storedMap(w, slot) = StoredMap{s.pointOffsets, s.keystoneCorners, req.u8(12)};
        }
        rep.put8(9, std::uint8_t(slot));
        break;
    }
    case Cmd::QueryWarpMap: {
        const int slot = req.u8(9);
        const bool held = slot < kMapSlots && storedMap(w, slot).has_value();
        if (slot < kMapSlots)
            m_mapReadSlot[std::size_t(w)] = slot;
        rep.put8(8, held ? 1 : 0);
        rep.put8(9, std::uint8_t(slot));
        break;
    }
    case Cmd::ReadWarpMapBlock: {
        const int block = req.u8(12);
        const auto& m = storedMap(w, m_mapReadSlot[std::size_t(w)]);
        rep.put8(12, std::uint8_t(block));
        if (!m || block > 4)
            break;
        if (block < 4) {
            rep.copyIn(16, m->pointOffsets.data() + 256 * std::size_t(block), 256);
        } else {
            rep.copyIn(16, m->pointOffsets.data() + 1024, kPointOffsetsSize - 1024);
            for (std::size_t i = 0; i < m->keystoneCorners.size(); ++i)
                rep.put16(272 + 2 * i, std::uint16_t(m->keystoneCorners[i]));
        }
        break;
    }
    default:
        break;
    }
}

std::uint8_t BoxModel::registerValue(int w, int bank, int address) const
{
    if (address == 0)
        return std::uint8_t(bank); // register 0 is the bank select
    if (bank < 0 || bank >= kRegisterBanks || address < 0 || address >= kRegistersPerBank)
        return 0;
    const std::size_t i
        = (std::size_t(clampWindow(w)) * kRegisterBanks + std::size_t(bank)) * kRegistersPerBank
        + std::size_t(address);
    return m_registers[i];
}

// One bank of 128 registers per window; register 0 selects the bank, the read request's bank
// byte does the same. Writes go to the selected bank.
void BoxModel::handleRegisters(std::uint32_t code, FrameView req, FrameView rep)
{
    const proto::RegisterRequestView r{req};
    const int w = clampWindow(r.window());
    const std::size_t n = r.count();
    auto& bank = m_registerBank[std::size_t(w)];
    if (code == Cmd::RegisterRead) {
        bank = std::uint8_t(r.bank());
        proto::PutRegisterReplyHead(rep, w, n, bank);
        for (std::size_t k = 0; k < n; ++k) {
            const int addr = r.address(k);
            proto::PutRegisterPair(rep, k, addr, registerValue(w, bank, std::uint8_t(addr)));
        }
        return;
    }
    for (std::size_t k = 0; k < n; ++k) {
        const int addr = r.address(k);
        const auto v = std::uint8_t(r.value(k));
        if (addr == 0)
            bank = v;
        else if (addr < kRegistersPerBank)
            m_registers[(std::size_t(w) * kRegisterBanks + bank) * kRegistersPerBank + std::size_t(addr)] = v;
    }
}

// The box's checksum of a downloaded image is the 32-bit wrapping sum of its bytes; the short
// procedures report its lower 16 bits, the large one reports it for every board present.
std::uint32_t BoxModel::firmwareChecksum() const
{
    std::uint32_t sum = 0;
    for (std::uint8_t b : m_firmware)
        sum += b;
    return sum + (corruptFirmwareChecksum ? 1 : 0);
}

void BoxModel::handleFirmware(std::uint32_t code, FrameView req, FrameView rep)
{
    const proto::FirmwareRequestView r{req};
    switch (code) {
    case Cmd::FwShortStart:
    case Cmd::FwPrefixedStart:
    case Cmd::FwLargeStart:
        m_firmware.assign(std::min<std::size_t>(r.size(), kFirmwareLimit), 0);
        break;
    case Cmd::FwShortData:
    case Cmd::FwPrefixedData:
    case Cmd::FwLargeData: {
        const std::size_t pos = r.position();
        if (pos < m_firmware.size())
            r.copyPiece(m_firmware.data() + pos, std::min<std::size_t>(256, m_firmware.size() - pos));
        break;
    }
    case Cmd::FwShortEnd:
    case Cmd::FwPrefixedEnd:
        proto::PutFirmwareShortEnd(rep, std::uint16_t(firmwareChecksum()));
        break;
    case Cmd::FwLargeEnd:
        for (int b = 0; b < proto::kFirmwareBoards; ++b)
            proto::PutFirmwareBoardSum(rep, b, (identity.boardMask >> b) & 1 ? firmwareChecksum() : 0);
        break;
    case Cmd::FwLargeBoardQuery:
        proto::PutFirmwareBoards(rep, m_boardQueries++ < boardQueryEmptyReplies ? 0 : identity.boardMask);
        break;
    default:
        break;
    }
}

} // namespace trivel::sim
