#include "files/TransferCommands.h"

#include "mask/MaskState.h"
#include "session/Session.h"
#include "settings/SettingBinding.h"
#include "settings/SettingsState.h"

#include <algorithm>

namespace trivel {

namespace {

// Where a command of the list takes its value from.
enum class From {
    Binding, // the window's cache, sent as its control would send it (zoom - 1, XHA x 10)
    Cached, // the cache as it stands: an edge width of 49 goes as 49, not as the control's 0
    FileInputWidth, // the sizes the loaded file recorded, not the live ones
    FileInputHeight,
    FilePipWidth,
    FilePipHeight,
    Zero, // the size pairs that end each group go back to 0
    MaskAssignment,
};

struct ListEntry {
    Setting id; // the row of the binding table: mnemonic and template
    From from;
};

using F = From;
using S = Setting;

// CommandList in its own order; kCommandOrder says in which order it goes out.
// clang-format off
constexpr std::array<ListEntry, kCommandListSize> kList{{
    {S::INP, F::Binding}, {S::OPM, F::Binding}, {S::HZM, F::Binding}, {S::VZM, F::Binding},
    {S::HPN, F::Binding}, {S::VPN, F::Binding}, {S::OLE, F::Binding}, {S::ORE, F::Binding},
    {S::OTE, F::Binding}, {S::OBE, F::Binding}, {S::ORI, F::Binding}, {S::BRI, F::Binding},
    {S::CON, F::Binding}, {S::XHA, F::Binding}, {S::HUE, F::Binding}, {S::XAT, F::Binding},
    {S::CLR, F::Binding}, {S::RGN, F::Binding}, {S::GGN, F::Binding}, {S::BGN, F::Binding},
    {S::LEB, F::Cached}, {S::REB, F::Cached}, {S::TEB, F::Cached}, {S::BEB, F::Cached},
    {S::EFL, F::Binding}, {S::EFR, F::Binding}, {S::EFT, F::Binding}, {S::EFB, F::Binding},
    {S::EBR, F::Binding}, {S::EBG, F::Binding}, {S::EBB, F::Binding},
    {S::GGR, F::Binding}, {S::GGG, F::Binding}, {S::GGB, F::Binding},
    {S::EGR, F::Binding}, {S::EGG, F::Binding}, {S::EGB, F::Binding},
    {S::EOR, F::Binding}, {S::EOG, F::Binding}, {S::EOB, F::Binding},
    {S::WWW, F::FileInputWidth}, {S::VVV, F::FileInputHeight}, {S::WWW, F::Zero}, {S::VVV, F::Zero},
    {S::PIO, F::Binding}, {S::PIZ, F::Binding}, {S::PIH, F::Binding}, {S::PIV, F::Binding},
    {S::PIR, F::Binding}, {S::PIT, F::Binding}, {S::POR, F::Binding},
    {S::WWW, F::FilePipWidth}, {S::VVV, F::FilePipHeight},
    {S::PLO, F::Binding}, {S::PRO, F::Binding}, {S::PTO, F::Binding}, {S::PBO, F::Binding},
    {S::WWW, F::Zero}, {S::VVV, F::Zero},
    {S::H1W, F::Binding}, {S::H1V, F::Binding}, {S::H2W, F::Binding}, {S::H2V, F::Binding},
    {S::DPW, F::Binding}, {S::DPV, F::Binding}, {S::VGW, F::Binding}, {S::VGV, F::Binding},
    {S::H1E, F::Binding}, {S::H2E, F::Binding}, {S::DPE, F::Binding}, {S::VGE, F::Binding},
    {S::DCM, F::Binding}, {S::HDO, F::Binding}, {S::DMI, F::MaskAssignment},
}};
// clang-format on

int ValueOf(const ListEntry& e, const SettingsState& settings, const MaskState& masks, const Session& s,
    std::size_t w)
{
    const SettingBinding& b = Binding(e.id);
    const int window = int(w);
    switch (e.from) {
    case From::Binding:
        return b.cached() ? SentValue(b, b.read(settings, window)) : 0;
    case From::Cached:
        return b.cached() ? b.read(settings, window) : 0;
    case From::FileInputWidth:
        return s.FileInputSize[w].width;
    case From::FileInputHeight:
        return s.FileInputSize[w].height;
    case From::FilePipWidth:
        return s.FilePipSourceSize[w].width;
    case From::FilePipHeight:
        return s.FilePipSourceSize[w].height;
    case From::Zero:
        break;
    case From::MaskAssignment:
        return masks.MaskAssignment[w];
    }
    return 0;
}

} // namespace

std::array<SettingCommand, kCommandListSize> TransferCommands(
    const SettingsState& settings, const MaskState& masks, const Session& s, std::size_t w)
{
    w = std::min<std::size_t>(w, 3);
    std::array<SettingCommand, kCommandListSize> list{};
    for (std::size_t i = 0; i < kList.size(); ++i) {
        list[i] = MakeSettingCommand(Binding(kList[i].id).tpl);
        EncodeSettingValue(ValueOf(kList[i], settings, masks, s, w), list[i]);
    }
    return list;
}

} // namespace trivel
