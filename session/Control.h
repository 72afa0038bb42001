#pragma once
// A control the core addresses: its objectName and the kind of widget it is. Every control is
// declared once, as a constant in its owner's Controls.h, and the UI port accepts only those,
// so a misspelt name is a compile error or a failed test instead of a silent no-op.

#include <QLatin1StringView>
#include <QString>

#include <array>
#include <cstddef>
#include <string_view>

namespace trivel {

enum class Kind {
    Form, // a top-level window
    Tabs, // the page control
    Page, // a page of PCMain
    Group, // a group box
    RadioGroup, // a group box whose radio buttons are its items (ItemIndex)
    Button,
    SpeedButton, // checkable push button, one down per group
    RadioButton,
    CheckBox,
    ComboBox,
    ScrollBar,
    TrackBar,
    ProgressBar,
    Label,
    Panel, // a coloured lamp or frame
    Edit,
    AddressEdit, // dotted IPv4 edit
    Memo,
    Grid,
    Image,
};

struct Control {
    const char* name;
    Kind kind;

    QString qname() const { return QString::fromLatin1(name); }
    std::string_view view() const { return name; }
    bool operator==(const Control& o) const { return view() == o.view(); }
};

// A numbered family of controls (BtnWin1..BtnWin8): index 0 is the first number.
template <std::size_t N> using ControlSet = std::array<Control, N>;

} // namespace trivel
