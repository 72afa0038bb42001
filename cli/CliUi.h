#pragma once
// The UI port of trivelctl: messages go to stderr, questions are answered "no" unless the user
// passed --yes, and the few screen events the command waits for are remembered.

#include "session/UiPort.h"

namespace trivel::cli {

class CliUi : public UiPort {
public:
    explicit CliUi(bool yes)
        : m_yes(yes)
    {
    }

    MsgResult message(MsgIcon icon, const QString& caption, const QString& text, MsgButtons buttons) override;
    // Set by trivelctl when the read-back has refilled the blend pages.
    bool readbackFinished = false;
    int warnings = 0; // warning and error messages shown
    QString lastMessage;

private:
    bool m_yes;
};

} // namespace trivel::cli
