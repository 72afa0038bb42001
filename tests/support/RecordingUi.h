#pragma once
// A UI port for tests: records every message, answers questions from a script.

#include "session/SessionEvents.h"
#include "session/UiPort.h"

#include <deque>
#include <vector>

namespace trivel::test {

class RecordingUi : public UiPort {
public:
    struct Message {
        MsgIcon icon;
        QString caption;
        QString text;
        MsgButtons buttons;
    };

    MsgResult message(MsgIcon icon, const QString& caption, const QString& text, MsgButtons buttons) override;

    // Answers for the next questions, in order; an unscripted question gets Yes / OK.
    std::deque<MsgResult> answers;
    std::vector<Message> messages;
    int refreshPagesCount = 0;
    int refreshBlendPagesCount = 0;

    // Counts the page refreshes a session asks for.
    void watch(SessionEvents& events);
};

} // namespace trivel::test
