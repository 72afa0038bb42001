#include "cli/CliUi.h"

#include <QRegularExpression>

#include <cstdio>

namespace trivel::cli {

MsgResult CliUi::message(MsgIcon icon, const QString& caption, const QString& text, MsgButtons buttons)
{
    const bool question = buttons != MsgButtons::Ok;
    const QString line = caption.isEmpty() ? text : caption + ": " + text;
    static const QRegularExpression linkWords(
        QStringLiteral("no reply|connection to the box (was )?(lost|closed)"),
        QRegularExpression::CaseInsensitiveOption);
    const bool linkFailure = text.contains(linkWords);
    const bool said = linkFailure && linkFailureSaid;
    if (linkFailure && !quiet)
        linkFailureSaid = true;
    if (!quiet && !said)
        std::fprintf(
            stderr, "trivelctl: %s%s\n", qPrintable(line), question ? (m_yes ? " [yes]" : " [no]") : "");
    if (icon == MsgIcon::Warning || icon == MsgIcon::Error) {
        ++warnings;
        lastMessage = text;
        if (onWarning)
            onWarning();
    }
    switch (buttons) {
    case MsgButtons::Ok:
        return MsgResult::Ok;
    case MsgButtons::YesNo:
        return m_yes ? MsgResult::Yes : MsgResult::No;
    case MsgButtons::OkCancel:
        return m_yes ? MsgResult::Ok : MsgResult::Cancel;
    }
    return MsgResult::Cancel;
}

void CliUi::sayLinkFailure(const QString& text)
{
    if (linkFailureSaid || quiet)
        return;
    linkFailureSaid = true;
    std::fprintf(stderr, "trivelctl: %s\n", qPrintable(text));
}

} // namespace trivel::cli
