#pragma once

#include <QLineEdit>
#include <functional>
#include <optional>

// A numeric edit in the user's regional format (pt-BR: comma decimal, dot thousands). Typing
// accepts digits, one decimal separator with at most Decimals places and a leading minus; the
// text is empty while nothing is typed. Leaving the edit shows the value with its Decimals,
// the thousands separator when Thousands is set and the currency sign when Currency is set.
class TNumberEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TNumberEdit(QWidget* parent = nullptr);

    int Decimals() const { return m_decimals; }
    void SetDecimals(int decimals);
    bool Currency() const { return m_currency; }
    void SetCurrency(bool currency);
    bool Thousands() const { return m_thousands; }
    void SetThousands(bool thousands);

    // The value of the text (0 for an empty text).
    double GetNumber() const;
    // Shows the value in the edit's format.
    void SetNumber(double value);

    // The value of a text in this edit's format, or nullopt when it is no number.
    std::optional<double> parse(const QString& text) const;
    QString format(double value) const;

    // Hooks run through the dispatcher: every change of the text (not the reformatting when
    // the edit is left), and focus entering or leaving the edit (focus tracker).
    std::function<void()> OnChange;
    std::function<void()> OnEnter;
    std::function<void()> OnExit;

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void reformat();

    int m_decimals = 2;
    bool m_currency = false;
    bool m_thousands = true;
    bool m_reformatting = false;
};
