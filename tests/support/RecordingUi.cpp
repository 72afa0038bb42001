#include "support/RecordingUi.h"

namespace trivel::test {

MsgResult RecordingUi::message(MsgIcon icon, const QString& caption, const QString& text, MsgButtons buttons)
{
    messages.push_back({icon, caption, text, buttons});
    if (!answers.empty()) {
        MsgResult r = answers.front();
        answers.pop_front();
        return r;
    }
    switch (buttons) {
    case MsgButtons::YesNo:
        return MsgResult::Yes;
    case MsgButtons::OkCancel:
    case MsgButtons::Ok:
        break;
    }
    return MsgResult::Ok;
}

void RecordingUi::watch(SessionEvents& events)
{
    QObject::connect(&events, &SessionEvents::refreshPages, [this] { ++refreshPagesCount; });
    QObject::connect(&events, &SessionEvents::refreshBlendPages, [this] { ++refreshBlendPagesCount; });
}

} // namespace trivel::test
