#include "RemoteMethods.h"

#include "DataPacket.h"
#include "JsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>
#include <QUrl>

ServerArg ServerArg::variant(const QJsonObject& object)
{
    return variant(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

Caller Caller::ofThisProcess()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("LOGNAME");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    return {decode(encode(user)), decode(encode(QSysInfo::machineHostName()))};
}

QByteArray Caller::encode(const QString& value)
{
    return QUrl::toPercentEncoding(decode(QUrl::toPercentEncoding(value)));
}

QString Caller::decode(const QByteArray& header)
{
    QString value;
    for (const QChar c : QUrl::fromPercentEncoding(header)) {
        if (value.size() == MaxLength)
            break;
        if (c.isPrint())
            value.append(c);
    }
    value = value.trimmed();
    return value.isEmpty() ? QStringLiteral("desconhecido") : value;
}

namespace RemoteMethods {

const RemoteMethod* find(QStringView name)
{
    for (const RemoteMethod* method : all) {
        if (name == QLatin1StringView(method->name))
            return method;
    }
    return nullptr;
}

QJsonObject describe()
{
    QJsonArray methods;
    for (const RemoteMethod* method : all) {
        QJsonArray params;
        for (ServerArg::Type type : method->params)
            params.append(int(type));
        methods.append(QJsonObject{{QStringLiteral("name"), method->nameText()},
                                   {QStringLiteral("params"), params}});
    }
    return QJsonObject{{QStringLiteral("module"), QString::fromLatin1(ModuleName)},
                       {QStringLiteral("methods"), methods}};
}

QString unknownMethodText(QStringView name)
{
    return QStringLiteral("Método desconhecido em %1: \"%2\".")
        .arg(QString::fromLatin1(ModuleName), name.toString());
}

QString countText(const RemoteMethod& method, qsizetype received)
{
    return QStringLiteral("%1 espera %2 argumento(s), recebeu %3.")
        .arg(method.nameText())
        .arg(method.params.size())
        .arg(received);
}

namespace {

// Each kind's type name on the wire and its name in messages.
struct KindNames
{
    ServerArg::Type type;
    const char* wire;
    const char* text;
};

constexpr KindNames kindNames[] = {
    {ServerArg::String, "string", "string por valor (0x48)"},
    {ServerArg::StringByRef, "string", "string por referência (0xC8)"},
    {ServerArg::Date, "date", "date (0x07)"},
    {ServerArg::Variant, "variant", "variant (0x0C)"},
};

const KindNames& namesOf(ServerArg::Type type)
{
    for (const KindNames& names : kindNames) {
        if (names.type == type)
            return names;
    }
    return kindNames[0];
}

QString kindText(ServerArg::Type type)
{
    return QString::fromUtf8(namesOf(type).text);
}

// True when the text's first significant character opens an object (the text itself, a
// packet of many megabytes, is not copied).
bool opensObject(const QByteArray& text)
{
    for (const char c : text) {
        if (c != ' ' && c != '\n' && c != '\r' && c != '\t')
            return c == '{';
    }
    return false;
}

} // namespace

QString argumentText(const RemoteMethod& method, qsizetype position, const QString& what,
                     ServerArg::Type expected)
{
    return QStringLiteral("Argumento %1 de %2: %3; esperado %4.")
        .arg(position)
        .arg(method.nameText(), what, kindText(expected));
}

QString typeName(ServerArg::Type type)
{
    return QString::fromLatin1(namesOf(type).wire);
}

QString kindMismatch(ServerArg::Type expected, const QString& name, bool byRef)
{
    const bool isString = name == QLatin1String("string");
    if (name == typeName(expected) && byRef == ((expected & ServerArg::ByRefBit) != 0))
        return {};
    // Only a text says how it travels: by value or by reference.
    return QStringLiteral("recebido tipo \"%1\"%2")
        .arg(name, isString && byRef ? QStringLiteral(" por referência") : QString());
}

QString check(const RemoteMethod& method, const QList<ServerArg>& args)
{
    if (args.size() != qsizetype(method.params.size()))
        return countText(method, args.size());
    for (qsizetype i = 0; i < args.size(); ++i) {
        const ServerArg& arg = args.at(i);
        const ServerArg::Type expected = method.params[size_t(i)];
        QString what = kindMismatch(expected, typeName(arg.type), arg.byRef());
        if (what.isEmpty() && arg.type == ServerArg::Variant && !opensObject(arg.json))
            what = QStringLiteral("o valor não é um pacote de dados");
        if (!what.isEmpty())
            return argumentText(method, i + 1, what, expected);
    }
    return {};
}

QByteArray request(int id, const RemoteMethod& method, const QList<ServerArg>& args)
{
    static const FieldDef dateField{QString(), FieldType::DateTime, 0, false};
    qsizetype expected = 128;
    for (const ServerArg& arg : args)
        expected += 48 + arg.text.size() * 3 + arg.json.size();
    JsonWriter out(expected);
    out.literal("{\"jsonrpc\":\"2.0\",\"id\":");
    out.integer(id);
    out.literal(",\"method\":");
    out.string(method.nameText());
    out.literal(",\"params\":[");
    for (qsizetype i = 0; i < args.size(); ++i) {
        const ServerArg& arg = args.at(i);
        if (i > 0)
            out.put(',');
        switch (arg.type) {
        case ServerArg::String:
            out.literal("{\"type\":\"string\",\"value\":");
            out.string(arg.text);
            break;
        case ServerArg::StringByRef:
            out.literal("{\"type\":\"string\",\"byref\":true,\"value\":");
            out.string(arg.text);
            break;
        case ServerArg::Date:
            out.literal("{\"type\":\"date\",\"value\":");
            writeJsonValue(out, dateField, arg.date, -1);
            break;
        case ServerArg::Variant:
            out.literal("{\"type\":\"variant\",\"value\":");
            out.raw(arg.json.constData(), arg.json.size());
            break;
        }
        out.put('}');
    }
    out.literal("]}");
    return out.take();
}

} // namespace RemoteMethods

FilterArgs FilterArgs::everything(const QString& company)
{
    FilterArgs filter;
    filter.company = company;
    filter.situation = QStringLiteral("A_N_E_");
    filter.allCustomers = filter.allIssue = filter.allDue = filter.allReceipt = filter.allExchange =
        QStringLiteral("T");
    return filter;
}

QList<ServerArg> FilterArgs::toArgs() const
{
    QList<ServerArg> args{ServerArg::string(company),     ServerArg::byRef(situation),
                          ServerArg::byRef(allCustomers), ServerArg::byRef(allIssue),
                          ServerArg::byRef(allDue),       ServerArg::byRef(allReceipt),
                          ServerArg::byRef(allExchange),  ServerArg::byRef(customers)};
    args.reserve(16);
    for (const QDateTime& date : dates)
        args.append(ServerArg::dateTime(date));
    return args;
}

FilterArgs FilterArgs::fromArgs(const QList<ServerArg>& args)
{
    FilterArgs filter;
    filter.company = args.at(0).text;
    filter.situation = args.at(1).text;
    filter.allCustomers = args.at(2).text;
    filter.allIssue = args.at(3).text;
    filter.allDue = args.at(4).text;
    filter.allReceipt = args.at(5).text;
    filter.allExchange = args.at(6).text;
    filter.customers = args.at(7).text;
    for (size_t i = 0; i < filter.dates.size(); ++i)
        filter.dates[i] = args.at(qsizetype(8 + i)).date;
    return filter;
}
