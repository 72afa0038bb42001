#pragma once
// Controls of the chip register page (TntTabSheet6, "K410 Reg").

#include "session/Control.h"

#include <vector>

namespace trivel::ctl {

inline constexpr Control RegGrid{"RegGrid", Kind::Grid};
inline constexpr Control BtnReadBank{"BtnReadBank", Kind::Button};
inline constexpr Control TntButton3{"TntButton3", Kind::Button};
inline constexpr Control STBank{"STBank", Kind::Label};
inline constexpr Control STAddr{"STAddr", Kind::Label};
inline constexpr Control STValue{"STValue", Kind::Label};
inline constexpr Control STRaw2Bytes{"STRaw2Bytes", Kind::Label};
inline constexpr Control STDec2Bytes{"STDec2Bytes", Kind::Label};
inline constexpr Control STRaw4Bytes{"STRaw4Bytes", Kind::Label};
inline constexpr Control STDec4Bytes{"STDec4Bytes", Kind::Label};
inline constexpr Control EdIntToHex{"EdIntToHex", Kind::Edit};
inline constexpr Control STIntToHex{"STIntToHex", Kind::Label};
// CBBit7..CBBit0: index b is the box of bit b (weight 1 << b).
inline constexpr ControlSet<8> CBBits{{{"CBBit0", Kind::CheckBox}, {"CBBit1", Kind::CheckBox},
    {"CBBit2", Kind::CheckBox}, {"CBBit3", Kind::CheckBox}, {"CBBit4", Kind::CheckBox},
    {"CBBit5", Kind::CheckBox}, {"CBBit6", Kind::CheckBox}, {"CBBit7", Kind::CheckBox}}};

// Every control above, for the UI port's registry. A new control goes into this list too.
inline void DeclareRegisterControls(std::vector<Control>& out)
{
    out.insert(out.end(),
        {RegGrid, BtnReadBank, TntButton3, STBank, STAddr, STValue, STRaw2Bytes, STDec2Bytes, STRaw4Bytes,
            STDec4Bytes, EdIntToHex, STIntToHex});
    out.insert(out.end(), CBBits.begin(), CBBits.end());
}

} // namespace trivel::ctl
