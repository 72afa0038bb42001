#include "session/UiPort.h"

#include "files/Controls.h"
#include "firmware/Controls.h"
#include "mask/Controls.h"
#include "preview/Controls.h"
#include "registers/Controls.h"
#include "session/Controls.h"
#include "settings/Controls.h"
#include "settings/OutputModes.h"
#include "warp/Controls.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace trivel {

Q_LOGGING_CATEGORY(lcSession, "trivel.session")

namespace {

std::vector<Control> BuildRegistry()
{
    std::vector<Control> all;
    ctl::DeclareShellControls(all);
    ctl::DeclareSettingsControls(all);
    for (const OutputMode& m : kOutputModes)
        all.push_back(m.button);
    ctl::DeclareWarpControls(all);
    ctl::DeclareMaskControls(all);
    ctl::DeclareFirmwareControls(all);
    ctl::DeclareFileControls(all);
    ctl::DeclareRegisterControls(all);
    ctl::DeclarePreviewControls(all);
    return all;
}

const std::vector<Control>& Registry()
{
    static const std::vector<Control> r = BuildRegistry();
    return r;
}

const QHash<QString, int>& RegistryIndex()
{
    static const QHash<QString, int> index = [] {
        QHash<QString, int> h;
        const auto& r = Registry();
        for (int i = 0; i < int(r.size()); ++i) {
            Q_ASSERT_X(!h.contains(r[std::size_t(i)].qname()), "DeclaredControls", r[std::size_t(i)].name);
            h.insert(r[std::size_t(i)].qname(), i);
        }
        return h;
    }();
    return index;
}

constexpr int kPropCount = int(Prop::ItemIndex) + 1; // the last of Prop

int Key(int index, Prop p)
{
    return index * kPropCount + int(p);
}

} // namespace

std::span<const Control> DeclaredControls()
{
    return Registry();
}

const Control* FindControl(QStringView name)
{
    const auto& index = RegistryIndex();
    const auto it = index.constFind(name.toString());
    return it == index.cend() ? nullptr : &Registry()[std::size_t(*it)];
}

int UiPort::indexOf(const Control& c) const
{
    if (!c.name)
        return -1;
    const auto& r = Registry();
    if (const auto it = m_indexByName.find(c.name); it != m_indexByName.end()
        && std::strcmp(r[std::size_t(it->second)].name, c.name) == 0)
        return it->second;
    const auto& index = RegistryIndex();
    const auto hit = index.constFind(c.qname());
    if (hit == index.cend())
        return -1;
    m_indexByName[c.name] = *hit;
    return *hit;
}

void UiPort::set(const Control& c, Prop p, const QVariant& v)
{
    // An undeclared control is a programming error: loud in a debug build, logged otherwise.
    const int i = indexOf(c);
    if (i < 0 || Registry()[std::size_t(i)].kind != c.kind) {
        qCWarning(lcSession) << "undeclared control" << c.name;
        Q_ASSERT_X(false, "UiPort", c.name);
        return;
    }
    QVariant& slot = m_props[Key(i, p)];
    if (slot == v && slot.isValid())
        return;
    slot = v;
    controlChanged(c, p, v);
}

QVariant UiPort::get(const Control& c, Prop p, const QVariant& fallback) const
{
    const int i = indexOf(c);
    if (i < 0)
        return fallback;
    const auto v = m_props.constFind(Key(i, p));
    return v == m_props.cend() ? fallback : *v;
}

bool UiPort::has(const Control& c, Prop p) const
{
    const int i = indexOf(c);
    return i >= 0 && m_props.contains(Key(i, p));
}

int UiPort::mirrorSize() const
{
    return int(m_props.size());
}

void UiPort::setActivePage(int index)
{
    m_activePage = index;
    activePageChanged(index);
}

void UiPort::openWaitWindow(int maximum)
{
    m_waitMax = maximum;
    m_waitPos = 0;
    m_waitOpen = true;
    waitWindowChanged();
}

void UiPort::closeWaitWindow()
{
    m_waitOpen = false;
    m_hourglass = false;
    waitWindowChanged();
}

void UiPort::setHourglass(bool on)
{
    m_hourglass = on;
    hourglassChanged(on);
}

void UiPort::addWaitProgress(int n)
{
    setWaitProgress(m_waitPos + n);
}

void UiPort::setWaitProgress(int pos)
{
    m_waitPos = std::clamp(pos, 0, m_waitMax);
    waitWindowChanged();
}

void UiPort::appendMemo(const QString& line)
{
    m_memo.append(line);
    qCInfo(lcSession).noquote() << line;
    memoAppended(line);
}

} // namespace trivel
