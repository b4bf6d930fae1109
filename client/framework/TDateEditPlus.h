#pragma once

#include <QColor>
#include <QDate>
#include <QLineEdit>
#include <QStringList>
#include <functional>

class QLabel;

// A date edit typed as dd/mm/aaaa behind a mask. Its text is empty while no digit is typed.
// A valid date is shown in ValidDateColor, with its weekday name (NomeSemana) in a smaller
// font in the edit's right text margin, so the typed text never runs under it: the whole name
// when the edit is wide enough, else its first three letters ("Seg"). The edit asks for at
// least the width that shows the whole date beside the short name.
class TDateEditPlus : public QLineEdit
{
    Q_OBJECT
public:
    explicit TDateEditPlus(QWidget* parent = nullptr);

    // The date that GetDate gives for an edit that holds no valid date.
    static QDate EmptyDate() { return QDate(1899, 12, 30); }

    // The typed text: empty when nothing is typed, the partial text otherwise ("12/03/").
    QString text() const;
    void setText(const QString& text);

    QDate GetDate() const;
    void SetDate(const QDate& date); // an invalid date empties the edit
    bool IsDateValid() const;
    // Reports a text that is no valid date ("Data inválida: …") and aborts with EAbort; an
    // empty edit passes.
    void CheckValidDate() const;

    // Background colour (the filter stores a range's state in it).
    QColor Color() const;
    void SetColor(const QColor& color);

    QColor ValidDateColor = QColor(0x00, 0x00, 0xFF);
    bool SaveTime = false;
    QStringList NomeSemana = {QStringLiteral("Domingo"), QStringLiteral("Segunda"),
                              QStringLiteral("Terça"),   QStringLiteral("Quarta"),
                              QStringLiteral("Quinta"),  QStringLiteral("Sexta"),
                              QStringLiteral("Sábado")};

    // The weekday name shown for the current text (empty when the date is not valid).
    QString WeekdayName() const;

    // Hooks run through the dispatcher: every change of the text, and focus entering or
    // leaving the edit (through the focus tracker).
    std::function<void()> OnChange;
    std::function<void()> OnEnter;
    std::function<void()> OnExit;

    QSize sizeHint() const override;        // room for the whole weekday names
    QSize minimumSizeHint() const override; // room for the short names

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void textWasChanged();
    void refreshLook();
    void fontsChanged();
    void keepRoomForTheDate();
    void layoutWeekday();
    // Widths, in pixels, of the edit's frame (both sides), of the date text with the line's
    // own margins and cursor, and of the widest weekday label, whole or short.
    int frameWidth() const;
    int dateWidth() const;
    int weekdayWidth(bool whole) const;
    QString weekdayText(bool whole) const;
    QString rawText() const { return QLineEdit::text(); }

    QLabel* m_weekday;
    bool m_wholeNames = true;
};
