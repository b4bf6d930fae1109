#include "FormData.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

// The resource lives in this library; registering it again is harmless, and doing it here
// keeps the data reachable even when the library was linked but not yet otherwise used.
static void ensureResource()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(forms);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace {

[[noreturn]] void fail(const QString& unit, const QString& what)
{
    throw FormDataError(QStringLiteral("Dados do formulário %1: %2").arg(unit, what));
}

class Reader
{
public:
    explicit Reader(const QString& unit) : m_unit(unit) {}

    QJsonObject object(const QJsonObject& parent, const QString& key) const
    {
        const QJsonValue v = parent.value(key);
        if (!v.isObject())
            fail(m_unit, QStringLiteral("\"%1\" ausente ou não é um objeto").arg(key));
        return v.toObject();
    }

    // The section `key` of the design data, which must hold an entry `name`; `unknown` is
    // the failure's text otherwise.
    QJsonObject section(const QJsonObject& root, const QString& key, const QString& name,
                        const QString& unknown) const
    {
        const QJsonObject entries = object(root, key);
        if (!entries.contains(name))
            fail(m_unit, unknown);
        return entries;
    }
    // Its entry `name`, an object.
    QJsonObject entry(const QJsonObject& root, const QString& key, const QString& name,
                      const QString& unknown) const
    {
        return object(section(root, key, name, unknown), name);
    }

    QJsonArray array(const QJsonObject& parent, const QString& key) const
    {
        const QJsonValue v = parent.value(key);
        if (!v.isArray())
            fail(m_unit, QStringLiteral("\"%1\" ausente ou não é uma lista").arg(key));
        return v.toArray();
    }

    QString string(const QJsonObject& parent, const QString& key, bool required = true) const
    {
        const QJsonValue v = parent.value(key);
        if (v.isUndefined() && !required)
            return {};
        if (!v.isString())
            fail(m_unit, QStringLiteral("\"%1\" ausente ou não é um texto").arg(key));
        return v.toString();
    }

    int integer(const QJsonObject& parent, const QString& key, int fallback) const
    {
        const QJsonValue v = parent.value(key);
        if (v.isUndefined())
            return fallback;
        const double d = v.toDouble(-1);
        if (!v.isDouble() || d < 0 || d != static_cast<int>(d))
            fail(m_unit, QStringLiteral("\"%1\" não é um inteiro não negativo").arg(key));
        return static_cast<int>(d);
    }

    bool boolean(const QJsonObject& parent, const QString& key, bool fallback) const
    {
        const QJsonValue v = parent.value(key);
        if (v.isUndefined())
            return fallback;
        if (!v.isBool())
            fail(m_unit, QStringLiteral("\"%1\" não é verdadeiro/falso").arg(key));
        return v.toBool();
    }

    FieldType type(const QString& name) const
    {
        if (const std::optional<FieldType> known = fieldTypeFromName(name))
            return *known;
        fail(m_unit, QStringLiteral("tipo de campo desconhecido \"%1\"").arg(name));
    }

    FieldSpec field(const QJsonValue& value) const
    {
        if (!value.isObject())
            fail(m_unit, QStringLiteral("definição de campo não é um objeto"));
        const QJsonObject o = value.toObject();
        FieldSpec entry;
        entry.def.name = string(o, QStringLiteral("name"));
        if (entry.def.name.isEmpty())
            fail(m_unit, QStringLiteral("campo sem nome"));
        entry.def.type = type(string(o, QStringLiteral("type")));
        entry.def.size = integer(o, QStringLiteral("size"), 0);
        entry.def.fixed = boolean(o, QStringLiteral("fixed"), false);
        entry.visible = boolean(o, QStringLiteral("visible"), true);
        entry.displayLabel = string(o, QStringLiteral("displayLabel"), false);
        if (entry.displayLabel.isEmpty())
            entry.displayLabel = entry.def.name;
        entry.displayFormat = string(o, QStringLiteral("displayFormat"), false);
        entry.editFormat = string(o, QStringLiteral("editFormat"), false);
        const QString align = string(o, QStringLiteral("alignment"), false);
        if (align.isEmpty())
            entry.alignment = entry.def.type == FieldType::Float ? Qt::AlignRight : Qt::AlignLeft;
        else if (align == QLatin1String("left"))
            entry.alignment = Qt::AlignLeft;
        else if (align == QLatin1String("right"))
            entry.alignment = Qt::AlignRight;
        else
            fail(m_unit, QStringLiteral("alinhamento desconhecido \"%1\"").arg(align));
        entry.displayWidth = integer(o, QStringLiteral("displayWidth"), 0);
        return entry;
    }

    QList<FieldSpec> fields(const QJsonArray& array) const
    {
        QList<FieldSpec> result;
        result.reserve(array.size());
        for (const QJsonValue& v : array)
            result.append(field(v));
        return result;
    }

    std::optional<FontSpec> font(const QJsonValue& value) const
    {
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        if (!value.isObject())
            fail(m_unit, QStringLiteral("fonte não é um objeto"));
        const QJsonObject o = value.toObject();
        return FontSpec{string(o, QStringLiteral("family")),
                        integer(o, QStringLiteral("pixelSize"), 0),
                        string(o, QStringLiteral("charset"), false)};
    }

    ColumnSpec column(const QJsonValue& value) const
    {
        if (!value.isObject())
            fail(m_unit, QStringLiteral("coluna não é um objeto"));
        const QJsonObject o = value.toObject();
        ColumnSpec entry;
        entry.field = string(o, QStringLiteral("field"));
        const QJsonValue title = o.value(QStringLiteral("title"));
        if (title.isString())
            entry.title = title.toString();
        else if (!title.isNull() && !title.isUndefined())
            fail(m_unit, QStringLiteral("título da coluna %1 não é um texto").arg(entry.field));
        const QJsonValue width = o.value(QStringLiteral("width"));
        if (!width.isNull() && !width.isUndefined())
            entry.width = integer(o, QStringLiteral("width"), 0);
        entry.titleFont = font(o.value(QStringLiteral("titleFont")));
        return entry;
    }

private:
    QString m_unit;
};

QStringList keysOf(const QJsonObject& root, const QString& section)
{
    return root.value(section).toObject().keys();
}

} // namespace

FormData FormData::load(const QString& unit)
{
    ensureResource();
    QFile file(QStringLiteral(":/forms/%1.json").arg(unit));
    if (!file.open(QIODevice::ReadOnly))
        fail(unit, QStringLiteral("recurso %1 não encontrado").arg(file.fileName()));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        fail(unit, QStringLiteral("JSON inválido na posição %1: %2")
                       .arg(error.offset)
                       .arg(error.errorString()));
    if (!doc.isObject())
        fail(unit, QStringLiteral("o documento não é um objeto"));
    FormData data(unit, doc.object());
    // Read the whole document once, so that a defect shows when the form loads, not later
    // in the middle of a user's action.
    data.messages();
    for (const QString& name : data.recordSets())
        data.fields(name);
    for (const QString& name : data.grids())
        data.grid(name);
    for (const QString& name : data.queries())
        data.query(name);
    return data;
}

QString FormData::formClass() const
{
    return Reader(m_unit).string(m_root, QStringLiteral("form"));
}

QString FormData::screenCode() const
{
    return Reader(m_unit).string(m_root, QStringLiteral("screenCode"));
}

QString FormData::caption() const
{
    return Reader(m_unit).string(m_root, QStringLiteral("caption"));
}

QStringList FormData::messages() const
{
    const Reader reader(m_unit);
    QStringList lines;
    for (const QJsonValue& v : reader.array(m_root, QStringLiteral("messages"))) {
        if (!v.isString() || !v.toString().contains(QLatin1Char('|')))
            fail(m_unit, QStringLiteral("linha de mensagem sem \"chave|texto\""));
        lines.append(v.toString());
    }
    return lines;
}

QList<FieldSpec> FormData::fields(const QString& recordSet) const
{
    const Reader reader(m_unit);
    const QJsonObject sets =
        reader.section(m_root, QStringLiteral("recordSets"), recordSet,
                       QStringLiteral("conjunto de registros \"%1\" desconhecido").arg(recordSet));
    return reader.fields(reader.array(sets, recordSet));
}

QStringList FormData::recordSets() const
{
    return keysOf(m_root, QStringLiteral("recordSets"));
}

GridSpec FormData::grid(const QString& name) const
{
    const Reader reader(m_unit);
    const QJsonObject o = reader.entry(m_root, QStringLiteral("grids"), name,
                                       QStringLiteral("grade \"%1\" desconhecida").arg(name));
    GridSpec entry;
    entry.dataSource = reader.string(o, QStringLiteral("dataSource"), false);
    entry.titleFont = reader.font(o.value(QStringLiteral("titleFont")));
    for (const QJsonValue& v : reader.array(o, QStringLiteral("columns")))
        entry.columns.append(reader.column(v));
    return entry;
}

QStringList FormData::grids() const
{
    return keysOf(m_root, QStringLiteral("grids"));
}

QuerySpec FormData::query(const QString& name) const
{
    const Reader reader(m_unit);
    const QJsonObject o = reader.entry(m_root, QStringLiteral("queries"), name,
                                       QStringLiteral("consulta \"%1\" desconhecida").arg(name));
    QuerySpec entry;
    for (const QJsonValue& v : reader.array(o, QStringLiteral("lines"))) {
        if (!v.isString())
            fail(m_unit, QStringLiteral("linha da consulta %1 não é um texto").arg(name));
        entry.lines.append(v.toString());
    }
    for (const QJsonValue& v : reader.array(o, QStringLiteral("params"))) {
        const QJsonObject p = v.toObject();
        entry.params.append({reader.string(p, QStringLiteral("name")),
                             reader.type(reader.string(p, QStringLiteral("type")))});
    }
    entry.fields = reader.fields(reader.array(o, QStringLiteral("fields")));
    return entry;
}

QStringList FormData::queries() const
{
    return keysOf(m_root, QStringLiteral("queries"));
}

QVariantMap FormData::controlProperties(const QString& control) const
{
    return m_root.value(QStringLiteral("controls"))
        .toObject()
        .value(control)
        .toObject()
        .toVariantMap();
}
