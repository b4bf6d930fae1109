#include "TField.h"

#include "FormatFloat.h"
#include "TClientDataSet.h"

#include <QLocale>

namespace {

QString dateTimeText(const QDateTime& value)
{
    const QLocale locale;
    QString text = value.date().toString(QStringLiteral("dd/MM/yyyy"));
    if (value.time().msecsSinceStartOfDay() != 0)
        text += u' ' + value.time().toString(QStringLiteral("HH:mm:ss"));
    return text;
}

QDateTime dateTimeFromUserText(const QString& text)
{
    // Day and time are read apart and joined as a local wall-clock value, so that a day
    // whose midnight the local clock skipped is still a valid entry.
    const qsizetype space = text.indexOf(u' ');
    const QString dayText = space < 0 ? text : text.left(space);
    const QString timeText = space < 0 ? QString() : text.mid(space + 1);
    QDate date = QDate::fromString(dayText, QStringLiteral("dd/MM/yyyy"));
    if (!date.isValid())
        date = QDate::fromString(dayText, QStringLiteral("d/M/yyyy"));
    QTime time(0, 0);
    if (!timeText.isEmpty()) {
        time = QTime::fromString(timeText, QStringLiteral("HH:mm:ss"));
        if (!time.isValid())
            time = QTime::fromString(timeText, QStringLiteral("HH:mm"));
    }
    if (date.isValid() && time.isValid())
        return localDateTime(date, time);
    return dateTimeFromText(text);
}

} // namespace

TField::TField(TClientDataSet& dataSet, const FieldDef& def, int index)
    : m_dataSet(dataSet), m_def(def), m_index(index)
{}

QVariant TField::Value() const
{
    const int row = m_dataSet.activeRow();
    return row < 0 ? QVariant() : m_dataSet.cellValue(row, m_index);
}

void TField::SetValue(const QVariant& value)
{
    if (!value.isValid() || value.isNull()) {
        m_dataSet.writeField(m_index, QVariant());
        return;
    }
    switch (m_def.type) {
    case FieldType::String:
        m_dataSet.writeField(m_index, value.toString().left(m_def.size));
        return;
    case FieldType::Float:
        if (value.typeId() == QMetaType::QString) {
            m_dataSet.writeField(m_index, fromText(value.toString()));
        } else {
            bool ok = false;
            const double number = value.toDouble(&ok);
            if (!ok)
                throw EDatabaseError(
                    QStringLiteral("Valor inválido para o campo %1.").arg(m_def.name));
            m_dataSet.writeField(m_index, number);
        }
        return;
    case FieldType::DateTime:
        if (value.typeId() == QMetaType::QString) {
            m_dataSet.writeField(m_index, fromText(value.toString()));
        } else {
            const QDateTime dateTime = value.toDateTime();
            if (!dateTime.isValid())
                throw EDatabaseError(
                    QStringLiteral("Data inválida para o campo %1.").arg(m_def.name));
            m_dataSet.writeField(m_index, dateTime);
        }
        return;
    }
}

bool TField::IsNull() const
{
    const int row = m_dataSet.activeRow();
    return row < 0 || !m_dataSet.cellValue(row, m_index).isValid();
}

void TField::Clear()
{
    m_dataSet.writeField(m_index, QVariant());
}

QString TField::AsString() const
{
    const QVariant value = Value();
    if (!value.isValid())
        return QString();
    switch (m_def.type) {
    case FieldType::String:
        return value.toString();
    case FieldType::Float:
        return FloatToStr(value.toDouble());
    case FieldType::DateTime:
        return dateTimeText(value.toDateTime());
    }
    return QString();
}

void TField::SetAsString(const QString& text)
{
    m_dataSet.writeField(m_index, fromText(text));
}

double TField::AsFloat() const
{
    const QVariant value = Value();
    if (!value.isValid())
        return 0;
    if (m_def.type == FieldType::String) {
        double number = 0;
        if (!TryStrToFloat(value.toString(), number))
            throw EDatabaseError(
                QStringLiteral("'%1' não é um valor numérico válido.").arg(value.toString()));
        return number;
    }
    if (m_def.type == FieldType::DateTime)
        throw EDatabaseError(
            QStringLiteral("O campo %1 não pode ser lido como número.").arg(m_def.name));
    return value.toDouble();
}

void TField::SetAsFloat(double value)
{
    if (m_def.type == FieldType::String)
        SetAsString(FloatToStr(value));
    else if (m_def.type == FieldType::Float)
        m_dataSet.writeField(m_index, value);
    else
        throw EDatabaseError(QStringLiteral("O campo %1 não aceita um número.").arg(m_def.name));
}

QDateTime TField::AsDateTime() const
{
    const QVariant value = Value();
    if (!value.isValid())
        return QDateTime();
    if (m_def.type == FieldType::DateTime)
        return value.toDateTime();
    if (m_def.type == FieldType::String) {
        const QDateTime parsed = dateTimeFromUserText(value.toString());
        if (!parsed.isValid())
            throw EDatabaseError(
                QStringLiteral("'%1' não é uma data válida.").arg(value.toString()));
        return parsed;
    }
    throw EDatabaseError(QStringLiteral("O campo %1 não pode ser lido como data.").arg(m_def.name));
}

void TField::SetAsDateTime(const QDateTime& value)
{
    if (m_def.type == FieldType::String)
        SetAsString(value.isValid() ? dateTimeText(value) : QString());
    else if (m_def.type == FieldType::DateTime)
        m_dataSet.writeField(m_index, value.isValid() ? QVariant(value) : QVariant());
    else
        throw EDatabaseError(QStringLiteral("O campo %1 não aceita uma data.").arg(m_def.name));
}

QString TField::Text() const
{
    QString text = rawText(Value(), false);
    if (OnGetText)
        OnGetText(const_cast<TField&>(*this), text, false);
    return text;
}

void TField::SetText(const QString& text)
{
    SetAsString(text);
}

QString TField::DisplayText() const
{
    QString text = rawText(Value(), true);
    if (OnGetText)
        OnGetText(const_cast<TField&>(*this), text, true);
    return text;
}

int TField::DisplayWidth() const
{
    if (m_displayWidth > 0)
        return m_displayWidth;
    switch (m_def.type) {
    case FieldType::String:
        return m_def.size;
    case FieldType::Float:
        return 10;
    case FieldType::DateTime:
        return 18;
    }
    return 10;
}

Qt::Alignment TField::Alignment() const
{
    if (m_alignment)
        return m_alignment;
    return (m_def.type == FieldType::Float ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

QString TField::formatValue(const QVariant& value, bool displayText) const
{
    return rawText(value, displayText);
}

QString TField::rawText(const QVariant& value, bool displayText) const
{
    if (!value.isValid())
        return QString();
    switch (m_def.type) {
    case FieldType::String:
        return value.toString();
    case FieldType::Float: {
        const QString& format =
            displayText || m_editFormat.isEmpty() ? m_displayFormat : m_editFormat;
        return format.isEmpty() ? FloatToStr(value.toDouble())
                                : FormatFloat(format, value.toDouble());
    }
    case FieldType::DateTime:
        return dateTimeText(value.toDateTime());
    }
    return QString();
}

QVariant TField::fromText(const QString& text) const
{
    switch (m_def.type) {
    case FieldType::String:
        return text.left(m_def.size);
    case FieldType::Float: {
        if (text.trimmed().isEmpty())
            return QVariant();
        double number = 0;
        if (!TryStrToFloat(text, number))
            throw EDatabaseError(QStringLiteral("'%1' não é um valor numérico válido.").arg(text));
        return number;
    }
    case FieldType::DateTime: {
        if (text.trimmed().isEmpty())
            return QVariant();
        const QDateTime value = dateTimeFromUserText(text.trimmed());
        if (!value.isValid())
            throw EDatabaseError(QStringLiteral("'%1' não é uma data válida.").arg(text));
        return value;
    }
    }
    return QVariant();
}
