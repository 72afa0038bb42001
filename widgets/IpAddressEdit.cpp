#include "widgets/IpAddressEdit.h"

#include <QValidator>

namespace trivel {

namespace {

// Accepts partial input while typing; Acceptable once all four parts are present.
class Ipv4Validator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        if (input.isEmpty())
            return Intermediate;
        const QStringList parts = input.split(QLatin1Char('.'));
        if (parts.size() > 4)
            return Invalid;
        bool complete = parts.size() == 4;
        for (const QString& p : parts) {
            if (p.isEmpty()) {
                complete = false;
                continue;
            }
            if (p.size() > 3)
                return Invalid;
            for (QChar c : p)
                if (!c.isDigit() || c.unicode() > 127)
                    return Invalid;
            if (p.toInt() > 255)
                return Invalid;
        }
        return complete ? Acceptable : Intermediate;
    }
};

} // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent)
    : QLineEdit(parent)
{
    setMaxLength(15);
    setValidator(new Ipv4Validator(this));
}

QString IpAddressEdit::NormalizedAddress(const QString& text)
{
    QStringList parts = text.trimmed().split(QLatin1Char('.'));
    while (parts.size() > 4)
        parts.removeLast();
    while (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    return parts.join(QLatin1Char('.'));
}

void IpAddressEdit::setAddressText(const QString& text)
{
    const QString t = NormalizedAddress(text);
    if (t != this->text())
        setText(t);
}

} // namespace trivel
