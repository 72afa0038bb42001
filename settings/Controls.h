#pragma once
// Controls of the picture and signal pages: Image, Video Wall, EDID, System, PIP, Blend 1 and
// Blend 2, and the edge-mask corners on the Mask page.

#include "session/Control.h"

#include <vector>

namespace trivel::ctl {

// Image page. The output-mode buttons are listed by OPM code in settings/OutputModes.h.
inline constexpr Control TntGroupBox6{"TntGroupBox6", Kind::Group};
inline constexpr Control InputFrame{"InputFrame", Kind::Group};
inline constexpr ControlSet<4> BtnSrcs{{{"BtnSrc1", Kind::SpeedButton}, {"BtnSrc2", Kind::SpeedButton},
    {"BtnSrc3", Kind::SpeedButton}, {"BtnSrc4", Kind::SpeedButton}}};

// Video Wall page.
inline constexpr Control TntGroupBox2{"TntGroupBox2", Kind::Group};
inline constexpr ControlSet<6> RBRots{
    {{"RBRot1", Kind::RadioButton}, {"RBRot2", Kind::RadioButton}, {"RBRot3", Kind::RadioButton},
        {"RBRot4", Kind::RadioButton}, {"RBRot5", Kind::RadioButton}, {"RBRot6", Kind::RadioButton}}};
inline constexpr Control STRes{"STRes", Kind::Label};
inline constexpr Control BtnReset{"BtnReset", Kind::Button};

// EDID page: one group per input.
inline constexpr Control H1Frame{"H1Frame", Kind::Group};
inline constexpr Control H2Frame{"H2Frame", Kind::Group};
inline constexpr Control DP1Frame{"DP1Frame", Kind::Group};
inline constexpr Control VGAFrame{"VGAFrame", Kind::Group};

// System page: profiles, box-wide commands, network.
inline constexpr ControlSet<5> ProfileLoadButtons{{{"Button5", Kind::Button}, {"Button6", Kind::Button},
    {"Button7", Kind::Button}, {"Button8", Kind::Button}, {"Button9", Kind::Button}}};
inline constexpr ControlSet<5> ProfileSaveButtons{{{"Button10", Kind::Button}, {"Button11", Kind::Button},
    {"Button12", Kind::Button}, {"Button13", Kind::Button}, {"Button14", Kind::Button}}};
inline constexpr Control BtnAllReset{"BtnAllReset", Kind::Button};
inline constexpr Control BtnReboot{"BtnReboot", Kind::Button};
inline constexpr Control GBNet{"GBNet", Kind::Group};
inline constexpr Control RBDHCP{"RBDHCP", Kind::RadioButton};
inline constexpr Control RBSTATICIP{"RBSTATICIP", Kind::RadioButton};
inline constexpr Control LBIP{"LBIP", Kind::Label};
inline constexpr Control LBMask{"LBMask", Kind::Label};
inline constexpr Control LBGateway{"LBGateway", Kind::Label};
// Address, mask, gateway: the order of the network record.
inline constexpr ControlSet<3> NetworkEdits{{{"IPEditAddress", Kind::AddressEdit},
    {"IPEditMask", Kind::AddressEdit}, {"IPEditGateway", Kind::AddressEdit}}};
inline constexpr Control Button15{"Button15", Kind::Button};

// PIP page.
inline constexpr Control STPIPRes{"STPIPRes", Kind::Label};

// Blend 2 page: black-level regions by Tag, blend corners; Mask page: edge-mask corners.
inline constexpr ControlSet<9> RBOffsets{{{"RBOffset0", Kind::RadioButton}, {"RBOffset1", Kind::RadioButton},
    {"RBOffset2", Kind::RadioButton}, {"RBOffset3", Kind::RadioButton}, {"RBOffset4", Kind::RadioButton},
    {"RBOffset5", Kind::RadioButton}, {"RBOffset6", Kind::RadioButton}, {"RBOffset7", Kind::RadioButton},
    {"RBOffset8", Kind::RadioButton}}};
inline constexpr ControlSet<8> RBCorners{{{"RBCorner0", Kind::RadioButton}, {"RBCorner1", Kind::RadioButton},
    {"RBCorner2", Kind::RadioButton}, {"RBCorner3", Kind::RadioButton}, {"RBCorner4", Kind::RadioButton},
    {"RBCorner5", Kind::RadioButton}, {"RBCorner6", Kind::RadioButton}, {"RBCorner7", Kind::RadioButton}}};
inline constexpr ControlSet<8> RBMasks{{{"RBMask0", Kind::RadioButton}, {"RBMask1", Kind::RadioButton},
    {"RBMask2", Kind::RadioButton}, {"RBMask3", Kind::RadioButton}, {"RBMask4", Kind::RadioButton},
    {"RBMask5", Kind::RadioButton}, {"RBMask6", Kind::RadioButton}, {"RBMask7", Kind::RadioButton}}};

// Image page: picture and colour settings, output settings, and Video Wall page: zoom, pan,
// overscan, orientation pictures. Value labels are named after their slider.
inline constexpr Control TntGroupBox4{"TntGroupBox4", Kind::Group};
inline constexpr Control TntGroupBox5{"TntGroupBox5", Kind::Group};
inline constexpr Control SBBri{"SBBri", Kind::ScrollBar};
inline constexpr Control SBCon{"SBCon", Kind::ScrollBar};
inline constexpr Control SBXha{"SBXha", Kind::ScrollBar};
inline constexpr Control SBHUE{"SBHUE", Kind::ScrollBar};
inline constexpr Control SBXat{"SBXat", Kind::ScrollBar};
inline constexpr Control SBRGN{"SBRGN", Kind::ScrollBar};
inline constexpr Control SBGGN{"SBGGN", Kind::ScrollBar};
inline constexpr Control SBBGN{"SBBGN", Kind::ScrollBar};
inline constexpr Control STBri{"STBri", Kind::Label};
inline constexpr Control STCon{"STCon", Kind::Label};
inline constexpr Control STXha{"STXha", Kind::Label};
inline constexpr Control STHUE{"STHUE", Kind::Label};
inline constexpr Control STXat{"STXat", Kind::Label};
inline constexpr Control STRGN{"STRGN", Kind::Label};
inline constexpr Control STGGN{"STGGN", Kind::Label};
inline constexpr Control STBGN{"STBGN", Kind::Label};
inline constexpr Control CBColor{"CBColor", Kind::ComboBox};
inline constexpr Control CBDeepColor{"CBDeepColor", Kind::CheckBox};
inline constexpr Control RGHDCPOutput{"RGHDCPOutput", Kind::RadioGroup};
inline constexpr Control TntGroupBox1{"TntGroupBox1", Kind::Group};
inline constexpr Control SBHzm{"SBHzm", Kind::ScrollBar};
inline constexpr Control SBVzm{"SBVzm", Kind::ScrollBar};
inline constexpr Control SBHpn{"SBHpn", Kind::ScrollBar};
inline constexpr Control SBVpn{"SBVpn", Kind::ScrollBar};
inline constexpr Control STHzm{"STHzm", Kind::Label};
inline constexpr Control STVzm{"STVzm", Kind::Label};
inline constexpr Control STHpn{"STHpn", Kind::Label};
inline constexpr Control STVpn{"STVpn", Kind::Label};
// Left, right, top, bottom: the order of OLE, ORE, OTE, OBE.
inline constexpr ControlSet<4> OverscanBars{{{"SBOle", Kind::ScrollBar}, {"SBOre", Kind::ScrollBar},
    {"SBOte", Kind::ScrollBar}, {"SBObe", Kind::ScrollBar}}};
inline constexpr ControlSet<4> OverscanEdits{
    {{"EditOle", Kind::Edit}, {"EditOre", Kind::Edit}, {"EditOte", Kind::Edit}, {"EditObe", Kind::Edit}}};
inline constexpr ControlSet<4> OverscanLabels{
    {{"STOle", Kind::Label}, {"STOre", Kind::Label}, {"STOte", Kind::Label}, {"STObe", Kind::Label}}};
inline constexpr ControlSet<6> ImgRots{{{"ImgRot1", Kind::Image}, {"ImgRot2", Kind::Image},
    {"ImgRot3", Kind::Image}, {"ImgRot4", Kind::Image}, {"ImgRot5", Kind::Image}, {"ImgRot6", Kind::Image}}};

inline void DeclarePictureControls(std::vector<Control>& out)
{
    out.insert(out.end(),
        {TntGroupBox4, TntGroupBox5, SBBri, SBCon, SBXha, SBHUE, SBXat, SBRGN, SBGGN, SBBGN, STBri, STCon,
            STXha, STHUE, STXat, STRGN, STGGN, STBGN, CBColor, CBDeepColor, RGHDCPOutput, TntGroupBox1, SBHzm,
            SBVzm, SBHpn, SBVpn, STHzm, STVzm, STHpn, STVpn});
    for (const auto* set : {&OverscanBars, &OverscanEdits, &OverscanLabels})
        out.insert(out.end(), set->begin(), set->end());
    out.insert(out.end(), ImgRots.begin(), ImgRots.end());
}

// Settings pages B: EDID groups, PIP, the output settings of the Image page, Blend 1, Blend 2
// and the edge-mask sliders of the Mask page.
inline constexpr Control TBH1W{"TBH1W", Kind::TrackBar}, TBH1V{"TBH1V", Kind::TrackBar};
inline constexpr Control TBH2W{"TBH2W", Kind::TrackBar}, TBH2V{"TBH2V", Kind::TrackBar};
inline constexpr Control TBD1W{"TBD1W", Kind::TrackBar}, TBD1V{"TBD1V", Kind::TrackBar};
inline constexpr Control TBD2W{"TBD2W", Kind::TrackBar}, TBD2V{"TBD2V", Kind::TrackBar};
inline constexpr Control STH1W{"STH1W", Kind::Label}, STH1V{"STH1V", Kind::Label};
inline constexpr Control STH2W{"STH2W", Kind::Label}, STH2V{"STH2V", Kind::Label};
inline constexpr Control STD1W{"STD1W", Kind::Label}, STD1V{"STD1V", Kind::Label};
inline constexpr Control STD2W{"STD2W", Kind::Label}, STD2V{"STD2V", Kind::Label};
inline constexpr Control CBH1E{"CBH1E", Kind::ComboBox}, CBH2E{"CBH2E", Kind::ComboBox};
inline constexpr Control CBD1E{"CBD1E", Kind::ComboBox}, CBD2E{"CBD2E", Kind::ComboBox};
inline constexpr ControlSet<4> BTNEDIDs{{{"BTNEDID1", Kind::Button}, {"BTNEDID2", Kind::Button},
    {"BTNEDID3", Kind::Button}, {"BTNEDID4", Kind::Button}}};

// PIP groups in the order PIO, PIR, PIT, POR; sliders PIZ, PIH, PIV; overlaps L, R, T, B.
inline constexpr ControlSet<4> PipGroups{
    {{"RGPIPDisplay", Kind::RadioGroup}, {"RGPIPRatio", Kind::RadioGroup}, {"RGPIPSrc", Kind::RadioGroup},
        {"RGPIPOrientation", Kind::RadioGroup}}};
inline constexpr ControlSet<3> PipSliders{
    {{"SBPIPSize", Kind::ScrollBar}, {"SBPIPXPos", Kind::ScrollBar}, {"SBPIPYPos", Kind::ScrollBar}}};
inline constexpr ControlSet<3> PipSliderLabels{
    {{"STPIPSize", Kind::Label}, {"STPIPPosX", Kind::Label}, {"STPIPPosY", Kind::Label}}};
inline constexpr ControlSet<4> PipOverlaps{
    {{"SBPIPOverlapL", Kind::ScrollBar}, {"SBPIPOverlapR", Kind::ScrollBar},
        {"SBPIPOverlapT", Kind::ScrollBar}, {"SBPIPOverlapB", Kind::ScrollBar}}};
inline constexpr ControlSet<4> PipOverlapLabels{{{"STPIPOverlapL", Kind::Label},
    {"STPIPOverlapR", Kind::Label}, {"STPIPOverlapT", Kind::Label}, {"STPIPOverlapB", Kind::Label}}};

// Blend 1: sides left, right, top, bottom; channels red, green, blue.
inline constexpr ControlSet<4> EdgeWidths{{{"SBEdgeLeft", Kind::ScrollBar}, {"SBEdgeRight", Kind::ScrollBar},
    {"SBEdgeTop", Kind::ScrollBar}, {"SBEdgeBottom", Kind::ScrollBar}}};
inline constexpr ControlSet<4> EdgeWidthLabels{{{"STEdgeLeftVal", Kind::Label},
    {"STEdgeRightVal", Kind::Label}, {"STEdgeTopVal", Kind::Label}, {"STEdgeBottomVal", Kind::Label}}};
inline constexpr ControlSet<4> EdgeShifts{
    {{"SBEdgeLeftShift", Kind::ScrollBar}, {"SBEdgeRightShift", Kind::ScrollBar},
        {"SBEdgeTopShift", Kind::ScrollBar}, {"SBEdgeBottomShift", Kind::ScrollBar}}};
inline constexpr ControlSet<4> EdgeShiftLabels{
    {{"STEdgeLeftShiftVal", Kind::Label}, {"STEdgeRightShiftVal", Kind::Label},
        {"STEdgeTopShiftVal", Kind::Label}, {"STEdgeBottomShiftVal", Kind::Label}}};
inline constexpr ControlSet<3> GammaTrans{{{"SCGammaTransR", Kind::ScrollBar},
    {"SCGammaTransG", Kind::ScrollBar}, {"SCGammaTransB", Kind::ScrollBar}}};
inline constexpr ControlSet<3> GammaTransLabels{{{"STGammaTransRVal", Kind::Label},
    {"STGammaTransGVal", Kind::Label}, {"STGammaTransBVal", Kind::Label}}};
inline constexpr ControlSet<3> GammaGains{{{"SCGammaGainR", Kind::ScrollBar},
    {"SCGammaGainG", Kind::ScrollBar}, {"SCGammaGainB", Kind::ScrollBar}}};
inline constexpr ControlSet<3> GammaGainLabels{
    {{"STGammaGainRVal", Kind::Label}, {"STGammaGainGVal", Kind::Label}, {"STGammaGainBVal", Kind::Label}}};
inline constexpr Control SCBias{"SCBias", Kind::ScrollBar};
inline constexpr Control STBiasVal{"STBiasVal", Kind::Label};
inline constexpr Control BlendMarkerEn{"BlendMarkerEn", Kind::CheckBox};
inline constexpr Control BtnEdgeReset{"BtnEdgeReset", Kind::Button};
inline constexpr Control BtnShiftRst{"BtnShiftRst", Kind::Button};
inline constexpr Control BtnGammaTransReset{"BtnGammaTransReset", Kind::Button};
inline constexpr Control BtnGammaGainReset{"BtnGammaGainReset", Kind::Button};
inline constexpr Control BtnBtnGammaBiasReset{"BtnBtnGammaBiasReset", Kind::Button};

// Blend 2.
inline constexpr ControlSet<3> ColourGains{{{"SBColorGainR", Kind::ScrollBar},
    {"SBColorGainG", Kind::ScrollBar}, {"SBColorGainB", Kind::ScrollBar}}};
inline constexpr ControlSet<3> ColourGainLabels{
    {{"STColorGainRVal", Kind::Label}, {"STColorGainGVal", Kind::Label}, {"STColorGainBVal", Kind::Label}}};
inline constexpr ControlSet<3> ColourOffsets{{{"SBColorOffsetR", Kind::ScrollBar},
    {"SBColorOffsetG", Kind::ScrollBar}, {"SBColorOffsetB", Kind::ScrollBar}}};
inline constexpr ControlSet<3> ColourOffsetLabels{{{"STColorOffsetRVal", Kind::Label},
    {"STColorOffsetGVal", Kind::Label}, {"STColorOffsetBVal", Kind::Label}}};
inline constexpr ControlSet<3> BlackOffsets{
    {{"SBOffsetR", Kind::ScrollBar}, {"SBOffsetG", Kind::ScrollBar}, {"SBOffsetB", Kind::ScrollBar}}};
inline constexpr ControlSet<3> BlackOffsetLabels{
    {{"STOffsetRVal", Kind::Label}, {"STOffsetGVal", Kind::Label}, {"STOffsetBVal", Kind::Label}}};
inline constexpr ControlSet<2> CornerSliders{
    {{"SBCornerX", Kind::ScrollBar}, {"SBCornerY", Kind::ScrollBar}}};
inline constexpr ControlSet<2> CornerLabels{{{"STCornerXVal", Kind::Label}, {"STCornerYVal", Kind::Label}}};
inline constexpr Control BTNColorGainReset{"BTNColorGainReset", Kind::Button};
inline constexpr Control BTNColorBiasReset{"BTNColorBiasReset", Kind::Button};

// Edge Mask group of the Mask page.
inline constexpr ControlSet<2> MaskSliders{{{"SBMaskX", Kind::ScrollBar}, {"SBMaskY", Kind::ScrollBar}}};
inline constexpr ControlSet<2> MaskLabels{{{"STMaskX", Kind::Label}, {"STMaskY", Kind::Label}}};

inline void DeclareSettingsPagesBControls(std::vector<Control>& out)
{
    out.insert(out.end(),
        {TBH1W, TBH1V, TBH2W, TBH2V, TBD1W, TBD1V, TBD2W, TBD2V, STH1W, STH1V, STH2W, STH2V, STD1W, STD1V,
            STD2W, STD2V, CBH1E, CBH2E, CBD1E, CBD2E, SCBias, STBiasVal, BlendMarkerEn, BtnEdgeReset,
            BtnShiftRst, BtnGammaTransReset, BtnGammaGainReset, BtnBtnGammaBiasReset, BTNColorGainReset,
            BTNColorBiasReset});
    auto add = [&out](const auto& set) { out.insert(out.end(), set.begin(), set.end()); };
    add(BTNEDIDs);
    add(PipGroups);
    add(PipSliders);
    add(PipSliderLabels);
    add(PipOverlaps);
    add(PipOverlapLabels);
    add(EdgeWidths);
    add(EdgeWidthLabels);
    add(EdgeShifts);
    add(EdgeShiftLabels);
    add(GammaTrans);
    add(GammaTransLabels);
    add(GammaGains);
    add(GammaGainLabels);
    add(ColourGains);
    add(ColourGainLabels);
    add(ColourOffsets);
    add(ColourOffsetLabels);
    add(BlackOffsets);
    add(BlackOffsetLabels);
    add(CornerSliders);
    add(CornerLabels);
    add(MaskSliders);
    add(MaskLabels);
}

// Every control above, for the UI port's registry. A new control goes into this list too.
inline void DeclareSettingsControls(std::vector<Control>& out)
{
    out.insert(out.end(),
        {TntGroupBox6, InputFrame, TntGroupBox2, STRes, BtnReset, H1Frame, H2Frame, DP1Frame, VGAFrame,
            BtnAllReset, BtnReboot, GBNet, RBDHCP, RBSTATICIP, LBIP, LBMask, LBGateway, Button15,
            STPIPRes});
    out.insert(out.end(), BtnSrcs.begin(), BtnSrcs.end());
    out.insert(out.end(), RBRots.begin(), RBRots.end());
    out.insert(out.end(), ProfileLoadButtons.begin(), ProfileLoadButtons.end());
    out.insert(out.end(), ProfileSaveButtons.begin(), ProfileSaveButtons.end());
    out.insert(out.end(), NetworkEdits.begin(), NetworkEdits.end());
    out.insert(out.end(), RBOffsets.begin(), RBOffsets.end());
    out.insert(out.end(), RBCorners.begin(), RBCorners.end());
    out.insert(out.end(), RBMasks.begin(), RBMasks.end());
    DeclarePictureControls(out);
    DeclareSettingsPagesBControls(out);
}

} // namespace trivel::ctl
