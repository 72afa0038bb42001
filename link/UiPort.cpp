#include "link/UiPort.h"

#include <algorithm>

namespace trivel {

Q_LOGGING_CATEGORY(lcLink, "trivel.link")

void UiPort::set(const QString& control, Prop p, const QVariant& v)
{
    QVariant& slot = m_props[control][int(p)];
    if (slot == v && slot.isValid())
        return;
    slot = v;
    controlChanged(control, p, v);
}

QVariant UiPort::get(const QString& control, Prop p, const QVariant& fallback) const
{
    auto c = m_props.constFind(control);
    if (c == m_props.cend())
        return fallback;
    auto v = c->constFind(int(p));
    return v == c->cend() ? fallback : *v;
}

bool UiPort::has(const QString& control, Prop p) const
{
    auto c = m_props.constFind(control);
    return c != m_props.cend() && c->contains(int(p));
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
    waitWindowChanged();
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
    qCInfo(lcLink).noquote() << line;
    memoAppended(line);
}

} // namespace trivel
