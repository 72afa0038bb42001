#pragma once
// "Deep Color" and "HDCP Output" of the Image page, built into the page by its constructor.

class QRect;
class QWidget;

namespace trivel {

class Session;

// The check box on the caption line of the page's "Output" group and the radio group in `area`;
// they refill themselves with the pages (RefreshPages step 11).
void BuildOutputGroup(QWidget* parent, Session& s, const QRect& area);

} // namespace trivel
