#include "files/TransferCommands.h"

#include "mask/MaskState.h"
#include "session/Session.h"
#include "settings/SettingsState.h"

#include <algorithm>

namespace trivel {

namespace {

constexpr std::array<const char*, kCommandListSize> kTemplates{"s00INP+000", "s00OPM+000", "s00HZM+000",
    "s00VZM+000", "s00HPN+000", "s00VPN+000", "s00OLE+000", "s00ORE+000", "s00OTE+000", "s00OBE+000",
    "s00ORI+000", "s00BRI+000", "s00CON+000", "s00XHA+000", "s00HUE+000", "s00XAT+000", "s00CLR+000",
    "s00RGN+000", "s00GGN+000", "s00BGN+000", "s00LEB+000", "s00REB+000", "s00TEB+000", "s00BEB+000",
    "s00EFL+000", "s00EFR+000", "s00EFT+000", "s00EFB+000", "s00EBR+000", "s00EBG+000", "s00EBB+000",
    "s00GGR+000", "s00GGG+000", "s00GGB+000", "s00EGR+000", "s00EGG+000", "s00EGB+000", "s00EOR+000",
    "s00EOG+000", "s00EOB+000", "s00WWW+000", "s00VVV+000", "s00WWW+000", "s00VVV+000", "s00PIO+000",
    "s00PIZ+000", "s00PIH+000", "s00PIV+000", "s00PIR+000", "s00PIT+000", "s00POR+000", "s00WWW+000",
    "s00VVV+000", "s00PLO+000", "s00PRO+000", "s00PTO+000", "s00PBO+000", "s00WWW+000", "s00VVV+000",
    "s00H1W+000", "s00H1V+000", "s00H2W+000", "s00H2V+000", "s00DPW+000", "s00DPV+000", "s00VGW+000",
    "s00VGV+000", "s00H1E+000", "s00H2E+000", "s00DPE+000", "s00VGE+000", "s00DCM+000", "s00HDO+000",
    "S00DMI+000"};

} // namespace

std::array<SettingCommand, kCommandListSize> TransferCommands(
    const SettingsState& settings, const MaskState& masks, const Session& s, std::size_t w)
{
    w = std::min<std::size_t>(w, 3);
    const WindowSettingsRecord& ws = settings.WindowSettings;
    const BlendRecord& b = settings.BlendSettings[w];
    const PipRecord& pip = settings.PipSettings[w];
    const SignalSize input = s.FileInputSize[w];
    const SignalSize pipSource = s.FilePipSourceSize[w];

    std::array<int, kCommandListSize> v{};
    v[0] = ws.INP[w];
    v[1] = ws.OPM[w];
    v[2] = ws.HZM[w] - 1;
    v[3] = ws.VZM[w] - 1;
    v[4] = ws.HPN[w] - 1;
    v[5] = ws.VPN[w] - 1;
    v[6] = ws.OLE[w];
    v[7] = ws.ORE[w];
    v[8] = ws.OTE[w];
    v[9] = ws.OBE[w];
    v[10] = ws.ORI[w];
    v[11] = ws.BRI[w];
    v[12] = ws.CON[w];
    v[13] = ws.XHA[w] * 10;
    v[14] = ws.HUE[w];
    v[15] = ws.XAT[w];
    v[16] = ws.CLR[w];
    v[17] = ws.RGN[w];
    v[18] = ws.GGN[w];
    v[19] = ws.BGN[w];
    for (std::size_t i = 0; i < 4; ++i) {
        v[20 + i] = b.u16(2 * i);
        v[24 + i] = b.i16(8 + 2 * i);
    }
    for (std::size_t i = 0; i < 3; ++i) {
        v[28 + i] = b.u16(16 + 2 * i);
        v[31 + i] = b.bytes[22 + i];
        v[34 + i] = b.bytes[86 + i];
        v[37 + i] = b.bytes[89 + i];
    }
    v[40] = input.width;
    v[41] = input.height;
    v[42] = 0;
    v[43] = 0;
    for (std::size_t i = 0; i < 7; ++i)
        v[44 + i] = pip.bytes[i];
    v[51] = pipSource.width;
    v[52] = pipSource.height;
    for (std::size_t i = 0; i < 4; ++i)
        v[53 + i] = pip.overlap[i];
    v[57] = 0;
    v[58] = 0;
    v[59] = ws.H1W[w];
    v[60] = ws.H1V[w];
    v[61] = ws.H2W[w];
    v[62] = ws.H2V[w];
    v[63] = ws.DPW[w];
    v[64] = ws.DPV[w];
    v[65] = ws.VGW[w];
    v[66] = ws.VGV[w];
    v[67] = ws.H1E[w];
    v[68] = ws.H2E[w];
    v[69] = ws.DPE[w];
    v[70] = ws.VGE[w];
    v[71] = settings.DCM[w];
    v[72] = settings.HDO[w];
    v[73] = masks.MaskAssignment[w];

    std::array<SettingCommand, kCommandListSize> list{};
    for (std::size_t i = 0; i < kTemplates.size(); ++i) {
        list[i] = MakeSettingCommand(kTemplates[i]);
        EncodeSettingValue(v[i], list[i]);
    }
    return list;
}

} // namespace trivel
