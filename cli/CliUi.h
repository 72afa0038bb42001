#pragma once
// The UI port of trivelctl: messages go to stderr, questions are answered "no" unless the user
// passed --yes, and the few screen events the command waits for are remembered.

#include "session/UiPort.h"

#include <functional>

namespace trivel::cli {

class CliUi : public UiPort {
public:
    explicit CliUi(bool yes)
        : m_yes(yes)
    {
    }

    MsgResult message(MsgIcon icon, const QString& caption, const QString& text, MsgButtons buttons) override;
    int warnings = 0; // warning and error messages shown
    QString lastMessage;
    // Runs after each warning or error message.
    std::function<void()> onWarning;
    // Once the command's result is decided, what the link does while closing is not printed.
    bool quiet = false;
    // A lost or silent link is said once: the watchdog, the operation and the command each learn
    // of it, and a silent box that is then closed is not news.
    bool linkFailureSaid = false;
    // Prints "trivelctl: text" unless a link failure was said already.
    void sayLinkFailure(const QString& text);

private:
    bool m_yes;
};

} // namespace trivel::cli
