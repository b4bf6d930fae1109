#include "TADOIBQuery.h"

#include "dtmDBGeral.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

TADOIBParam* TADOIBParams::FindParam(const QString& name)
{
    for (TADOIBParam& param : m_params) {
        if (param.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &param;
    }
    return nullptr;
}

TADOIBParam& TADOIBParams::ParamByName(const QString& name)
{
    if (TADOIBParam* param = FindParam(name))
        return *param;
    throw EDatabaseError(QStringLiteral("Parâmetro '%1' não encontrado.").arg(name));
}

TADOIBQuery::TADOIBQuery(QObject* parent) : QObject(parent), m_query(new TClientDataSet(this)) {}

TADOIBQuery::Prepared TADOIBQuery::prepare(const QString& sql)
{
    Prepared result;
    result.text.reserve(sql.size());
    auto isNameChar = [](QChar c) { return c.isLetterOrNumber() || c == u'_'; };
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            result.text += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
            result.text += c;
            continue;
        }
        if (c == u'-' && i + 1 < sql.size() && sql.at(i + 1) == u'-') {
            const qsizetype end = sql.indexOf(u'\n', i);
            const qsizetype stop = end < 0 ? sql.size() : end;
            result.text += QStringView(sql).mid(i, stop - i);
            i = stop - 1;
            continue;
        }
        if (c == u':' && i + 1 < sql.size() && sql.at(i + 1) == u':') {
            result.text += QStringLiteral("::"); // a PostgreSQL cast, not a parameter
            ++i;
            continue;
        }
        if (c == u':' && i + 1 < sql.size() && isNameChar(sql.at(i + 1)) &&
            !sql.at(i + 1).isDigit()) {
            qsizetype end = i + 1;
            while (end < sql.size() && isNameChar(sql.at(end)))
                ++end;
            result.names.append(sql.mid(i + 1, end - i - 1));
            result.text += u'?';
            i = end - 1;
            continue;
        }
        result.text += c;
    }
    return result;
}

TADOIBParams& TADOIBQuery::GetIBParams()
{
    const QStringList names = prepare(SQL.join(u'\n')).names;
    std::vector<TADOIBParam> params;
    for (const QString& name : names) {
        const bool seen = std::any_of(params.cbegin(), params.cend(), [&](const TADOIBParam& p) {
            return p.Name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (seen)
            continue;
        const TADOIBParam* old = m_params.FindParam(name);
        params.push_back({name, old ? old->AsString : QString()});
    }
    m_params.m_params = std::move(params);
    return m_params;
}

namespace {
FieldDef defOf(const QSqlField& column)
{
    FieldDef def;
    def.name = column.name().toUpper();
    switch (column.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        def.type = FieldType::Float;
        break;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        def.type = FieldType::DateTime;
        break;
    default:
        def.type = FieldType::String;
        def.size = column.length() > 0 ? column.length() : 0;
        break;
    }
    return def;
}

QVariant convert(const QVariant& value, FieldType type)
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (type) {
    case FieldType::Float:
        return value.toDouble();
    case FieldType::DateTime:
        return value.toDateTime();
    case FieldType::String:
        break;
    }
    return value.toString();
}
} // namespace

void TADOIBQuery::Open()
{
    if (m_query->Active())
        return;
    TADOIBParams& params = GetIBParams();
    const Prepared prepared = prepare(SQL.join(u'\n'));
    QSqlDatabase db = m_database.isValid() ? m_database : TdtmDBGeral::Database();
    QSqlQuery sql(db);
    sql.setForwardOnly(true);
    if (!sql.prepare(prepared.text))
        throw EDatabaseError(
            QStringLiteral("Erro na consulta ao banco de dados: %1").arg(sql.lastError().text()));
    for (const QString& name : prepared.names)
        sql.addBindValue(params.ParamByName(name).AsString);
    if (!sql.exec())
        throw EDatabaseError(
            QStringLiteral("Erro na consulta ao banco de dados: %1").arg(sql.lastError().text()));

    // Columns the record set does not declare yet join its fields, so that FieldByName and
    // data sources see them.
    const QSqlRecord record = sql.record();
    DataPacket packet;
    for (int c = 0; c < record.count(); ++c) {
        FieldDef def = defOf(record.field(c));
        if (TField* declared = m_query->FindField(def.name))
            def = declared->Def();
        else
            m_query->AddField(def);
        packet.fields.append(def);
    }
    while (sql.next()) {
        Row row;
        row.reserve(record.count());
        for (int c = 0; c < record.count(); ++c)
            row.append(convert(sql.value(c), packet.fields.at(c).type));
        packet.rows.append(row);
    }
    if (sql.lastError().isValid())
        throw EDatabaseError(
            QStringLiteral("Erro na consulta ao banco de dados: %1").arg(sql.lastError().text()));
    m_query->SetData(packet);
}

void TADOIBQuery::Close()
{
    m_query->Close();
}
