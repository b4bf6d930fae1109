#include "TNumberEdit.h"

#include "EventDispatch.h"
#include "FocusTracker.h"

#include <QFocusEvent>
#include <QLocale>
#include <QRegularExpression>
#include <QValidator>
#include <algorithm>
#include <cmath>

namespace {
const QString currencySign = QStringLiteral("R$");

// Accepts what may still become a number of the edit while the user types.
class NumberValidator : public QValidator
{
public:
    explicit NumberValidator(TNumberEdit* edit) : QValidator(edit), m_edit(edit) {}
    State validate(QString& input, int&) const override
    {
        const QLocale locale;
        QString s = input.trimmed();
        if (s.startsWith(currencySign))
            s = s.mid(currencySign.size()).trimmed();
        s.remove(locale.groupSeparator());
        const QString point = QRegularExpression::escape(locale.decimalPoint());
        const QString pattern =
            m_edit->Decimals() > 0
                ? QStringLiteral("^-?\\d*(%1\\d{0,%2})?$").arg(point).arg(m_edit->Decimals())
                : QStringLiteral("^-?\\d*$");
        if (!QRegularExpression(pattern).match(s).hasMatch())
            return Invalid;
        return m_edit->parse(input) ? Acceptable : Intermediate;
    }

private:
    TNumberEdit* m_edit;
};
} // namespace

TNumberEdit::TNumberEdit(QWidget* parent) : QLineEdit(parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setValidator(new NumberValidator(this));
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!m_reformatting && OnChange)
            Dispatch(OnChange);
    });
    FocusTracker::setHandlerMembers(this, OnEnter, OnExit);
}

void TNumberEdit::SetDecimals(int decimals)
{
    m_decimals = std::clamp(decimals, 0, 15);
}

void TNumberEdit::SetCurrency(bool currency)
{
    m_currency = currency;
}

void TNumberEdit::SetThousands(bool thousands)
{
    m_thousands = thousands;
}

std::optional<double> TNumberEdit::parse(const QString& text) const
{
    const QLocale locale;
    QString s = text.trimmed();
    if (s.startsWith(currencySign))
        s = s.mid(currencySign.size()).trimmed();
    s.remove(locale.groupSeparator());
    if (s.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = locale.toDouble(s, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString TNumberEdit::format(double value) const
{
    QLocale locale;
    locale.setNumberOptions(m_thousands ? QLocale::DefaultNumberOptions
                                        : QLocale::OmitGroupSeparator);
    QString text = locale.toString(value, 'f', m_decimals);
    if (m_currency)
        text = currencySign + u' ' + text;
    return text;
}

double TNumberEdit::GetNumber() const
{
    return parse(QLineEdit::text()).value_or(0.0);
}

void TNumberEdit::SetNumber(double value)
{
    setText(format(value));
}

void TNumberEdit::reformat()
{
    const auto value = parse(QLineEdit::text());
    if (!value)
        return;
    const QString formatted = format(*value);
    if (formatted == QLineEdit::text())
        return;
    m_reformatting = true;
    setText(formatted);
    m_reformatting = false;
}

void TNumberEdit::focusOutEvent(QFocusEvent* event)
{
    reformat();
    QLineEdit::focusOutEvent(event);
}
