#include "settings/EdidLogic.h"

#include "session/Session.h"
#include "settings/BoundedIndex.h"
#include "settings/Controls.h"
#include "settings/SettingBinding.h"

namespace trivel {

namespace {

const std::array<EdidGroup, kEdidInputs> kGroups{{
    {ctl::H1Frame, ctl::TBH1W, ctl::STH1W, ctl::TBH1V, ctl::STH1V, ctl::CBH1E, ctl::BTNEDIDs[0], "H1E", "H1W",
        "H1V"},
    {ctl::H2Frame, ctl::TBH2W, ctl::STH2W, ctl::TBH2V, ctl::STH2V, ctl::CBH2E, ctl::BTNEDIDs[1], "H2E", "H2W",
        "H2V"},
    {ctl::DP1Frame, ctl::TBD1W, ctl::STD1W, ctl::TBD1V, ctl::STD1V, ctl::CBD1E, ctl::BTNEDIDs[2], "DPE",
        "DPW", "DPV"},
    {ctl::VGAFrame, ctl::TBD2W, ctl::STD2W, ctl::TBD2V, ctl::STD2V, ctl::CBD2E, ctl::BTNEDIDs[3], "VGE",
        "VGW", "VGV"},
}};

int In(int input)
{
    return input < 0 || input >= kEdidInputs ? 0 : input;
}

const SettingBinding& Row(const char* mnemonic)
{
    const SettingBinding* b = FindBinding(mnemonic);
    Q_ASSERT(b);
    return *b;
}

} // namespace

const EdidGroup& EdidGroupOf(int input)
{
    return kGroups[std::size_t(In(input))];
}

int EdidItemCount(int input)
{
    return In(input) == kVgaInput ? int(VgaCodeOfItem.size()) : int(kTimingNames.size());
}

QString EdidItemText(int input, int item)
{
    if (item < 0 || item >= EdidItemCount(input))
        return {};
    const int code = In(input) == kVgaInput ? VgaCodeOfItem[std::size_t(item)] : item;
    return QString::fromLatin1(kTimingNames[std::size_t(code)]);
}

EdidChoice EdidComboChange(Session& s, int input, int item)
{
    if (item < 0 || item >= EdidItemCount(input))
        return EdidChoice::Ignored;
    const EdidGroup& g = EdidGroupOf(input);
    const int code = In(input) == kVgaInput ? VgaCodeOfItem[std::size_t(item)] : item;
    StoreSetting(s, Row(g.codeMnemonic), code);
    return item == EdidItemCount(input) - 1 ? EdidChoice::Custom : EdidChoice::Send;
}

Setting EdidCodeSetting(int input)
{
    return Row(EdidGroupOf(input).codeMnemonic).id;
}

int EdidComboItem(Session& s, int input)
{
    const EdidGroup& g = EdidGroupOf(input);
    const int code = CachedSetting(s, Row(g.codeMnemonic), s.CurrentWindow);
    if (In(input) != kVgaInput)
        return BoundedIndex(s, g.codeMnemonic, code, int(kTimingNames.size()));
    // A VGA code without an item of its own shows the first one, "1920*1080p60".
    const int known = BoundedIndex(s, g.codeMnemonic, code, int(VgaItemOfCode.size()));
    return known < 0 ? 0 : VgaItemOfCode[std::size_t(known)];
}

std::array<QString, 4> InputCaptions(const Session& s)
{
    const int w = s.CurrentWindow & 3;
    const int n = s.flag(Flag::PipCapable) ? w : w / 2;
    return {QStringLiteral("HDMI %1").arg(2 * n + 1), QStringLiteral("HDMI %1").arg(2 * n + 2),
        QStringLiteral("DP %1").arg(n + 1), QStringLiteral("VGA %1").arg(n + 1)};
}

} // namespace trivel
