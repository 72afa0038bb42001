#pragma once
// "Deep Color" and "HDCP Output" of the Image page, built into the page by its constructor.

class QRect;
class QWidget;

namespace trivel {

class Session;

// The check box and the radio group inside `area` of `parent`; they refill themselves with the
// pages (RefreshPages step 11).
void BuildOutputGroup(QWidget* parent, Session& s, const QRect& area);

} // namespace trivel
