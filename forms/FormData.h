#pragma once

#include "DataPacket.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>
#include <stdexcept>

// The fixed design data of one form, read from its JSON resource ":/forms/<unit>.json":
// the message table, the field definitions of its record sets, the columns of its grids,
// the text of its queries and the design-time settings of controls whose classes carry
// their own properties (which a .ui file cannot hold).

// A failure to find or read a form's design data: a defect of the build, never of the user.
class FormDataError : public std::runtime_error
{
public:
    explicit FormDataError(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

struct FieldSpec
{
    FieldDef def;
    QString displayLabel; // the field name when the design gives no label
    bool visible = false;
    QString displayFormat; // empty: the type's default presentation
    QString editFormat;
    Qt::Alignment alignment = Qt::AlignLeft;
    int displayWidth = 0; // characters; 0: the field's default
};

struct FontSpec
{
    QString family;
    int pixelSize = 0;
    QString charset; // "symbol" for the symbol character set, empty otherwise
};

struct ColumnSpec
{
    QString field;
    std::optional<QString> title; // none: the field's display label
    std::optional<int> width;     // pixels; none: the field's default width
    std::optional<FontSpec> titleFont;
};

struct GridSpec
{
    QString dataSource;
    std::optional<FontSpec> titleFont; // the grid's title font, where the design names one
    QList<ColumnSpec> columns;
};

struct QueryParamSpec
{
    QString name;
    FieldType type = FieldType::String;
};

struct QuerySpec
{
    QStringList lines; // exactly as stored, leading blanks and blank lines included
    QList<QueryParamSpec> params;
    QList<FieldSpec> fields;

    QString text() const { return lines.join(QLatin1Char('\n')); }
};

class FormData
{
public:
    // Reads ":/forms/<unit>.json" (e.g. unit "Cli_FAS10000"); throws FormDataError.
    static FormData load(const QString& unit);

    QString unit() const { return m_unit; }
    QString formClass() const;
    QString screenCode() const;
    QString caption() const;

    // The message table, each line "key|text", in the design's order.
    QStringList messages() const;

    // The field definitions of a record set, in order; throws FormDataError when unknown.
    QList<FieldSpec> fields(const QString& recordSet) const;
    QStringList recordSets() const;

    GridSpec grid(const QString& name) const; // throws FormDataError when unknown
    QList<ColumnSpec> columns(const QString& grid) const { return this->grid(grid).columns; }
    QStringList grids() const;

    QuerySpec query(const QString& name) const; // throws FormDataError when unknown
    QStringList queries() const;

    // Design-time settings of one control (e.g. "GroupIndex", "Title", "Decimals"); empty
    // when the design gives none.
    QVariantMap controlProperties(const QString& control) const;

private:
    FormData(QString unit, QJsonObject root) : m_unit(std::move(unit)), m_root(std::move(root)) {}

    QString m_unit;
    QJsonObject m_root;
};
