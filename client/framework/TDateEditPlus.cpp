#include "TDateEditPlus.h"

#include "EventDispatch.h"
#include "FocusTracker.h"
#include "FrameworkUtils.h"
#include "MaskedEntry.h"

#include <QEvent>
#include <QLabel>
#include <QStyleOptionFrame>

namespace {
const QString dateFormat = QStringLiteral("dd/MM/yyyy");
constexpr int lineMargin = 2;  // QLineEdit's own margin on either side of its text line
constexpr int weekdayGap = 4;  // between the end of the date and the weekday
constexpr int weekdayPad = 2;  // between the weekday and the frame
constexpr int shortLength = 3; // "Seg", "Ter", "Sáb"

QFont weekdayFont(const QFont& font)
{
    QFont small = font;
    if (small.pixelSize() > 0) // a font given in pixels has no point size
        small.setPixelSize(qMax(1, qRound(small.pixelSize() * 0.85)));
    else
        small.setPointSizeF(small.pointSizeF() * 0.85);
    return small;
}
} // namespace

TDateEditPlus::TDateEditPlus(QWidget* parent) : QLineEdit(parent), m_weekday(new QLabel(this))
{
    setInputMask(QStringLiteral("99/99/9999;_"));
    KeepMaskedEntryAtStart(*this);
    m_weekday->setObjectName(QStringLiteral("lblDiaSemana"));
    m_weekday->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_weekday->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette labelPalette = m_weekday->palette();
    labelPalette.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    m_weekday->setPalette(labelPalette);
    // Drawn in that grey, not in the edit's text colour that a label on a Base background
    // would take.
    m_weekday->setForegroundRole(QPalette::WindowText);
    fontsChanged();
    connect(this, &QLineEdit::textChanged, this, &TDateEditPlus::textWasChanged);
    FocusTracker::setHandlerMembers(this, OnEnter, OnExit);
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

QString TDateEditPlus::weekdayText(bool whole) const
{
    const QString name = WeekdayName();
    return whole ? name : name.left(shortLength);
}

int TDateEditPlus::frameWidth() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    option.rect = QRect(0, 0, 200, 40);
    return option.rect.width() -
           style()->subElementRect(QStyle::SE_LineEditContents, &option, this).width();
}

int TDateEditPlus::dateWidth() const
{
    const QFontMetrics metrics(font());
    const int text = qMax(metrics.horizontalAdvance(QStringLiteral("00/00/0000")),
                          metrics.horizontalAdvance(displayText()));
    // The line scrolls once its text and the cursor after it no longer fit.
    const int cursor = style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this);
    return 2 * lineMargin + text + cursor + 1;
}

int TDateEditPlus::weekdayWidth(bool whole) const
{
    const QFontMetrics metrics(m_weekday->font());
    int widest = 0;
    for (const QString& name : NomeSemana)
        widest = qMax(widest, metrics.horizontalAdvance(whole ? name : name.left(shortLength)));
    return widest;
}

QSize TDateEditPlus::sizeHint() const
{
    return QSize(frameWidth() + dateWidth() + weekdayGap + weekdayWidth(true) + weekdayPad,
                 QLineEdit::sizeHint().height());
}

QSize TDateEditPlus::minimumSizeHint() const
{
    return QSize(frameWidth() + dateWidth() + weekdayGap + weekdayWidth(false) + weekdayPad,
                 QLineEdit::minimumSizeHint().height());
}

void TDateEditPlus::fontsChanged()
{
    m_weekday->setFont(weekdayFont(font()));
    keepRoomForTheDate();
    updateGeometry();
    layoutWeekday();
}

void TDateEditPlus::keepRoomForTheDate()
{
    // A width given by a form wins when it is enough; a narrower one would hide a digit.
    const int needed = minimumSizeHint().width();
    if (maximumWidth() < needed)
        setMaximumWidth(needed);
    if (minimumWidth() < needed)
        setMinimumWidth(needed);
}

void TDateEditPlus::layoutWeekday()
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    const int room = contents.width() - dateWidth() - weekdayGap - weekdayPad;
    m_wholeNames = weekdayWidth(true) <= room;
    const int label = weekdayWidth(m_wholeNames);
    const QMargins margins(0, 0, weekdayGap + label + weekdayPad, 0);
    if (textMargins() != margins)
        setTextMargins(margins);
    m_weekday->setGeometry(contents.right() + 1 - weekdayPad - label, contents.top(), label,
                           contents.height());
    m_weekday->setText(weekdayText(m_wholeNames));
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
    layoutWeekday();
}

void TDateEditPlus::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fontsChanged();
}

void TDateEditPlus::showEvent(QShowEvent* event)
{
    // By now a form has set the sizes it wants.
    keepRoomForTheDate();
    QLineEdit::showEvent(event);
}

void TDateEditPlus::refreshLook()
{
    layoutWeekday();
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
