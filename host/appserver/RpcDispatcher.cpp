#include "RpcDispatcher.h"

#include "DataPacket.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <array>

namespace {

// The argument kinds of the remote methods and their type codes.
enum class Kind { String, StringByRef, Date, Variant };

struct Signature
{
    const char* name;
    QList<Kind> params;
};

QList<Kind> filterParams()
{
    QList<Kind> params{Kind::String};
    for (int i = 0; i < 7; ++i)
        params.append(Kind::StringByRef);
    for (int i = 0; i < 8; ++i)
        params.append(Kind::Date);
    return params;
}

const QList<Signature>& signatures()
{
    static const QList<Signature> list{
        {"GetInvoice", filterParams()},
        {"GetItem", filterParams()},
        {"SetInvoice", {Kind::Variant}},
        {"GeraNF", {Kind::Variant, Kind::String}},
    };
    return list;
}

QString kindText(Kind kind)
{
    switch (kind) {
    case Kind::String:
        return QStringLiteral("string por valor (0x48)");
    case Kind::StringByRef:
        return QStringLiteral("string por referência (0xC8)");
    case Kind::Date:
        return QStringLiteral("date (0x07)");
    case Kind::Variant:
        return QStringLiteral("variant (0x0C)");
    }
    return {};
}

int kindCode(Kind kind)
{
    switch (kind) {
    case Kind::String:
        return 0x48;
    case Kind::StringByRef:
        return 0xC8;
    case Kind::Date:
        return 0x07;
    case Kind::Variant:
        return 0x0C;
    }
    return 0;
}

// An argument that does not fit the signature.
struct BadParams
{
    QString message;
};

// Checks one argument object and returns its value.
QJsonValue argument(const QJsonValue& param, Kind kind, int position, const char* method)
{
    const auto bad = [&](const QString& what) {
        return BadParams{QStringLiteral("Argumento %1 de %2: %3; esperado %4.")
                             .arg(position)
                             .arg(QString::fromLatin1(method), what, kindText(kind))};
    };
    if (!param.isObject())
        throw bad(QStringLiteral("não é um objeto {\"type\":…,\"value\":…}"));
    const QJsonObject object = param.toObject();
    const QString type = object.value(QStringLiteral("type")).toString();
    const QJsonValue byref = object.value(QStringLiteral("byref"));
    if (!byref.isUndefined() && !byref.isBool())
        throw bad(QStringLiteral("\"byref\" não é booliano"));
    const bool isByRef = byref.toBool(false);
    for (const QString& key : object.keys()) {
        if (key != QLatin1String("type") && key != QLatin1String("value") &&
            key != QLatin1String("byref"))
            throw bad(QStringLiteral("chave desconhecida \"%1\"").arg(key));
    }
    const QJsonValue value = object.value(QStringLiteral("value"));
    if (value.isUndefined())
        throw bad(QStringLiteral("falta \"value\""));
    switch (kind) {
    case Kind::String:
    case Kind::StringByRef:
        if (type != QLatin1String("string") || isByRef != (kind == Kind::StringByRef))
            throw bad(QStringLiteral("recebido tipo \"%1\"%2")
                          .arg(type, isByRef ? QStringLiteral(" por referência") : QString()));
        if (!value.isString())
            throw bad(QStringLiteral("o valor não é texto"));
        break;
    case Kind::Date:
        if (type != QLatin1String("date") || isByRef)
            throw bad(QStringLiteral("recebido tipo \"%1\"").arg(type));
        if (!value.isNull() && (!value.isString() || !dateTimeFromText(value.toString()).isValid()))
            throw bad(QStringLiteral("o valor não é uma data-hora ISO 8601"));
        break;
    case Kind::Variant:
        if (type != QLatin1String("variant") || isByRef)
            throw bad(QStringLiteral("recebido tipo \"%1\"").arg(type));
        if (!value.isObject())
            throw bad(QStringLiteral("o valor não é um pacote de dados"));
        break;
    }
    return value;
}

InvoiceQuery filterQuery(const QList<QJsonValue>& values)
{
    InvoiceQuery query;
    query.company = values.at(0).toString();
    query.situation = values.at(1).toString();
    query.allCustomers = values.at(2).toString();
    query.allIssue = values.at(3).toString();
    query.allDue = values.at(4).toString();
    query.allReceipt = values.at(5).toString();
    query.allExchange = values.at(6).toString();
    query.customers = values.at(7).toString();
    for (int i = 0; i < 8; ++i) {
        const QJsonValue date = values.at(8 + i);
        if (!date.isNull())
            query.dates[size_t(i)] = dateTimeFromText(date.toString());
    }
    return query;
}

QByteArray resultBody(const QJsonValue& id, const QJsonObject& result)
{
    const QJsonObject answer{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                             {QStringLiteral("id"), id},
                             {QStringLiteral("result"), result}};
    return QJsonDocument(answer).toJson(QJsonDocument::Compact);
}

// The compact JSON text of one value (QJsonDocument only writes arrays and objects).
QByteArray compactValue(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// A successful answer around a data packet already in its JSON form: the packet's bytes are
// copied in as they are, never parsed into a tree and written out again.
QByteArray packetResultBody(const QJsonValue& id, const QByteArray& packet, const QJsonArray& byref)
{
    const QByteArray idText = compactValue(id);
    const QByteArray byrefText = QJsonDocument(byref).toJson(QJsonDocument::Compact);
    QByteArray body;
    body.reserve(packet.size() + idText.size() + byrefText.size() + 64);
    body.append(R"({"jsonrpc":"2.0","id":)");
    body.append(idText);
    body.append(R"(,"result":{"ok":true,"data":)");
    body.append(packet);
    body.append(R"(,"byref":)");
    body.append(byrefText);
    body.append("}}");
    return body;
}

} // namespace

QJsonObject RpcDispatcher::describe()
{
    QJsonArray methods;
    for (const Signature& signature : signatures()) {
        QJsonArray params;
        for (Kind kind : signature.params)
            params.append(kindCode(kind));
        methods.append(QJsonObject{{QStringLiteral("name"), QString::fromLatin1(signature.name)},
                                   {QStringLiteral("params"), params}});
    }
    return QJsonObject{{QStringLiteral("module"), QString::fromLatin1(ModuleName)},
                       {QStringLiteral("methods"), methods}};
}

QByteArray RpcDispatcher::errorBody(const QJsonValue& id, int code, const QString& message)
{
    const QJsonObject answer{
        {QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
        {QStringLiteral("id"), id},
        {QStringLiteral("error"),
         QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}}}};
    return QJsonDocument(answer).toJson(QJsonDocument::Compact);
}

RpcDispatcher::Answer RpcDispatcher::handle(const QByteArray& body)
{
    Answer answer;
    const auto error = [&answer](const QJsonValue& id, int code, const QString& message) {
        answer.body = errorBody(id, code, message);
        answer.failure = message;
        return answer;
    };

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return error(QJsonValue::Null, ParseError,
                     QStringLiteral("JSON malformado na posição %1: %2.")
                         .arg(parseError.offset)
                         .arg(parseError.errorString()));
    if (!document.isObject())
        return error(QJsonValue::Null, InvalidRequest,
                     QStringLiteral("A requisição deve ser um objeto JSON-RPC 2.0."));
    const QJsonObject request = document.object();
    const QJsonValue id = request.value(QStringLiteral("id"));
    const QJsonValue answerId = id.isUndefined() ? QJsonValue(QJsonValue::Null) : id;
    if (request.value(QStringLiteral("jsonrpc")).toString() != QLatin1String("2.0"))
        return error(answerId, InvalidRequest,
                     QStringLiteral("A requisição deve trazer \"jsonrpc\":\"2.0\"."));
    if (!id.isUndefined() && !id.isString() && !id.isDouble() && !id.isNull())
        return error(QJsonValue::Null, InvalidRequest,
                     QStringLiteral("O \"id\" deve ser texto ou número."));
    const QJsonValue methodValue = request.value(QStringLiteral("method"));
    if (!methodValue.isString())
        return error(answerId, InvalidRequest,
                     QStringLiteral("A requisição deve trazer \"method\" como texto."));
    const QString method = methodValue.toString();
    const Signature* signature = nullptr;
    for (const Signature& candidate : signatures()) {
        if (method == QLatin1String(candidate.name))
            signature = &candidate;
    }
    if (!signature)
        return error(answerId, MethodNotFound,
                     QStringLiteral("Método desconhecido em %1: \"%2\".")
                         .arg(QString::fromLatin1(ModuleName), method));
    answer.method = method;

    const QJsonValue paramsValue = request.value(QStringLiteral("params"));
    if (!paramsValue.isArray())
        return error(
            answerId, InvalidParams,
            QStringLiteral("%1: \"params\" deve ser uma lista de argumentos.").arg(method));
    const QJsonArray params = paramsValue.toArray();
    if (params.size() != signature->params.size())
        return error(answerId, InvalidParams,
                     QStringLiteral("%1 espera %2 argumento(s), recebeu %3.")
                         .arg(method)
                         .arg(signature->params.size())
                         .arg(params.size()));
    QList<QJsonValue> values;
    try {
        for (qsizetype i = 0; i < params.size(); ++i)
            values.append(
                argument(params.at(i), signature->params.at(i), int(i) + 1, signature->name));
    } catch (const BadParams& bad) {
        return error(answerId, InvalidParams, bad.message);
    }

    QJsonObject result;
    try {
        QJsonValue data;
        QJsonArray byref;
        if (method == QLatin1String("GetInvoice") || method == QLatin1String("GetItem")) {
            const InvoiceQuery query = filterQuery(values);
            const QByteArray packet = method == QLatin1String("GetInvoice")
                                          ? service.getInvoiceJson(query, &answer.rows)
                                          : service.getItemJson(query, &answer.rows);
            // The by-reference arguments go back as they came.
            for (int i = 1; i <= 7; ++i)
                byref.append(values.at(i));
            answer.body = packetResultBody(answerId, packet, byref);
            answer.ok = true;
            return answer;
        } else if (method == QLatin1String("SetInvoice")) {
            data = service.setInvoice(Delta::fromJsonObject(values.at(0).toObject()));
        } else {
            data = service.geraNF(DataPacket::fromJsonObject(values.at(0).toObject()),
                                  values.at(1).toString());
        }
        result = QJsonObject{{QStringLiteral("ok"), true},
                             {QStringLiteral("data"), data},
                             {QStringLiteral("byref"), byref}};
        answer.ok = true;
    } catch (const DataPacketError& failure) {
        answer.failure = QStringLiteral("Pacote de dados inválido: %1").arg(failure.text());
        result =
            QJsonObject{{QStringLiteral("ok"), false}, {QStringLiteral("message"), answer.failure}};
    } catch (const ServiceFailure& failure) {
        answer.failure = failure.message();
        result = QJsonObject{{QStringLiteral("ok"), false},
                             {QStringLiteral("message"), failure.message()}};
    }
    answer.body = resultBody(answerId, result);
    return answer;
}
