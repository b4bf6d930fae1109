#pragma once

#include "DataPacket.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <functional>

class TClientDataSet;

// One field of a record set: its definition, its presentation, and typed access to its
// value in the active record (the cursor's record, or the row a view is drawing).
class TField
{
public:
    TField(TClientDataSet& dataSet, const FieldDef& def, int index);
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    TClientDataSet& DataSet() const { return m_dataSet; }
    const FieldDef& Def() const { return m_def; }
    const QString& FieldName() const { return m_def.name; }
    FieldType DataType() const { return m_def.type; }
    int Size() const { return m_def.size; }
    bool FixedChar() const { return m_def.fixed; }
    int Index() const { return m_index; }

    // The value: an invalid QVariant for null, otherwise QString, QDateTime or double.
    QVariant Value() const;
    void SetValue(const QVariant& value);
    bool IsNull() const;
    void Clear();

    // Text: the value as text (float: general decimal text; date-time: regional short date,
    // with the time when it is not midnight). Setting converts with the regional format;
    // empty text sets null.
    QString AsString() const;
    void SetAsString(const QString& text);
    double AsFloat() const; // 0 for null
    void SetAsFloat(double value);
    QDateTime AsDateTime() const; // invalid for null
    void SetAsDateTime(const QDateTime& value);

    // Edit text (edit format, else display format) and display text (display format),
    // both through OnGetText when it is set. Setting Text converts like SetAsString.
    QString Text() const;
    void SetText(const QString& text);
    QString DisplayText() const;
    // (field, text out, display flag): replaces the text the field would give.
    std::function<void(TField& sender, QString& text, bool displayText)> OnGetText;

    QString DisplayLabel() const { return m_displayLabel.isEmpty() ? m_def.name : m_displayLabel; }
    void SetDisplayLabel(const QString& label) { m_displayLabel = label; }
    const QString& DisplayFormat() const { return m_displayFormat; }
    void SetDisplayFormat(const QString& format) { m_displayFormat = format; }
    const QString& EditFormat() const { return m_editFormat; }
    void SetEditFormat(const QString& format) { m_editFormat = format; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible) { m_visible = visible; }
    int DisplayWidth() const; // in characters
    void SetDisplayWidth(int width) { m_displayWidth = width; }
    Qt::Alignment Alignment() const;
    void SetAlignment(Qt::Alignment alignment) { m_alignment = alignment; }

    // The same conversions on a given value rather than the active record's.
    QString formatValue(const QVariant& value, bool displayText) const;

private:
    QVariant fromText(const QString& text) const;
    QString rawText(const QVariant& value, bool displayText) const;

    TClientDataSet& m_dataSet;
    FieldDef m_def;
    int m_index;
    QString m_displayLabel;
    QString m_displayFormat;
    QString m_editFormat;
    bool m_visible = true;
    int m_displayWidth = 0;
    Qt::Alignment m_alignment;
};
