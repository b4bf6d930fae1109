#include "TDateEditPlus.h"

#include "EventDispatch.h"
#include "FocusTracker.h"
#include "FrameworkUtils.h"

#include <QLabel>

namespace {
const QString dateFormat = QStringLiteral("dd/MM/yyyy");
}

TDateEditPlus::TDateEditPlus(QWidget* parent) : QLineEdit(parent), m_weekday(new QLabel(this))
{
    setInputMask(QStringLiteral("99/99/9999;_"));
    m_weekday->setObjectName(QStringLiteral("lblDiaSemana"));
    m_weekday->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_weekday->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette labelPalette = m_weekday->palette();
    labelPalette.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    m_weekday->setPalette(labelPalette);
    QFont small = m_weekday->font();
    if (small.pixelSize() > 0) // a font given in pixels has no point size
        small.setPixelSize(qMax(1, qRound(small.pixelSize() * 0.85)));
    else
        small.setPointSizeF(small.pointSizeF() * 0.85);
    m_weekday->setFont(small);
    const int reserve = QFontMetrics(small).horizontalAdvance(QStringLiteral("Segunda")) + 6;
    setTextMargins(0, 0, reserve, 0);
    setMinimumWidth(QFontMetrics(font()).horizontalAdvance(QStringLiteral("00/00/00000")) +
                    reserve + 8);
    connect(this, &QLineEdit::textChanged, this, &TDateEditPlus::textWasChanged);
    FocusTracker::setHandlers(
        this,
        [this] {
            if (OnEnter)
                OnEnter();
        },
        [this] {
            if (OnExit)
                OnExit();
        });
    refreshLook();
}

QString TDateEditPlus::text() const
{
    const QString raw = rawText();
    for (QChar c : raw) {
        if (c.isDigit())
            return raw;
    }
    return QString();
}

void TDateEditPlus::setText(const QString& text)
{
    QLineEdit::setText(text);
}

bool TDateEditPlus::IsDateValid() const
{
    return QDate::fromString(rawText(), dateFormat).isValid();
}

QDate TDateEditPlus::GetDate() const
{
    const QDate date = QDate::fromString(rawText(), dateFormat);
    return date.isValid() ? date : EmptyDate();
}

void TDateEditPlus::SetDate(const QDate& date)
{
    QLineEdit::setText(date.isValid() ? date.toString(dateFormat) : QString());
}

void TDateEditPlus::CheckValidDate() const
{
    const QString typed = text();
    if (typed.isEmpty() || IsDateValid())
        return;
    MensErro(QStringLiteral("Data inválida: %1.").arg(typed), true);
}

QColor TDateEditPlus::Color() const
{
    return palette().color(QPalette::Base);
}

void TDateEditPlus::SetColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::Base, color);
    setPalette(p);
}

QString TDateEditPlus::WeekdayName() const
{
    if (!IsDateValid())
        return QString();
    const int index =
        GetDate().dayOfWeek() % 7; // Qt: Monday 1 .. Sunday 7; the list starts on Sunday
    return index < NomeSemana.size() ? NomeSemana.at(index) : QString();
}

void TDateEditPlus::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    m_weekday->setGeometry(rect().adjusted(2, 0, -4, 0));
}

void TDateEditPlus::refreshLook()
{
    m_weekday->setText(WeekdayName());
    QPalette p = palette();
    p.setColor(QPalette::Text, IsDateValid() ? ValidDateColor : QPalette().color(QPalette::Text));
    setPalette(p);
}

void TDateEditPlus::textWasChanged()
{
    refreshLook();
    if (OnChange)
        Dispatch(OnChange);
}
