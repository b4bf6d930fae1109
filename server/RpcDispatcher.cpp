#include "RpcDispatcher.h"

#include "DataPacket.h"
#include "JsonScan.h"
#include "JsonWriter.h"
#include "RemoteMethods.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// An argument that does not fit the method.
struct BadParams
{
    QString message;
};

// One parameter object as it came, before it is checked: its members' texts.
struct WireParam
{
    bool isObject = false;
    QByteArrayView type;
    QByteArrayView byref;
    QByteArrayView value;
    QStringList unknownKeys;
};

// The request's members as texts of the body (repeated names: the last one counts, as in
// any JSON object); only "params" is looked into, in the same pass.
struct WireRequest
{
    QByteArrayView jsonrpc;
    QByteArrayView id;
    QByteArrayView method;
    bool paramsIsArray = false;
    QList<WireParam> params;
};

// A body that is JSON but no object.
struct NotAnObject
{
};

WireParam readParam(JsonReader& reader)
{
    WireParam param;
    if (reader.peek() != '{') {
        reader.skip();
        return param;
    }
    param.isObject = true;
    reader.enterObject();
    QString key;
    while (reader.nextMember(key)) {
        const QByteArrayView text = reader.skip();
        if (key == QLatin1String("type"))
            param.type = text;
        else if (key == QLatin1String("byref"))
            param.byref = text;
        else if (key == QLatin1String("value"))
            param.value = text;
        else if (!param.unknownKeys.contains(key))
            param.unknownKeys.append(key);
    }
    return param;
}

// Reads the whole body once, checking that it is well-formed JSON (JsonScanError) and an
// object (NotAnObject). A variant's packet stays text inside the body.
WireRequest readRequest(QByteArrayView body)
{
    JsonReader reader(body);
    WireRequest request;
    if (reader.peek() != '{') {
        reader.skip();
        reader.end();
        throw NotAnObject{};
    }
    reader.enterObject();
    QString name;
    while (reader.nextMember(name)) {
        if (name == QLatin1String("params")) {
            request.params.clear();
            request.paramsIsArray = reader.peek() == '[';
            if (!request.paramsIsArray) {
                reader.skip();
                continue;
            }
            reader.enterArray();
            while (reader.nextElement())
                request.params.append(readParam(reader));
            continue;
        }
        const QByteArrayView text = reader.skip();
        if (name == QLatin1String("jsonrpc"))
            request.jsonrpc = text;
        else if (name == QLatin1String("id"))
            request.id = text;
        else if (name == QLatin1String("method"))
            request.method = text;
    }
    reader.end();
    return request;
}

bool isString(QByteArrayView text)
{
    return text.startsWith('"');
}

// Checks one parameter against its kind and returns it as the argument it carries. A
// variant's text is not copied: the argument points into the body.
ServerArg argument(const WireParam& param, const RemoteMethod& method, qsizetype position)
{
    const ServerArg::Type kind = method.params[size_t(position)];
    const auto bad = [&](const QString& what) {
        return BadParams{RemoteMethods::argumentText(method, position + 1, what, kind)};
    };
    if (!param.isObject)
        throw bad(QStringLiteral("não é um objeto {\"type\":…,\"value\":…}"));
    if (!param.byref.isNull() && param.byref != "true" && param.byref != "false")
        throw bad(QStringLiteral("\"byref\" não é booliano"));
    if (!param.unknownKeys.isEmpty())
        throw bad(QStringLiteral("chave desconhecida \"%1\"").arg(param.unknownKeys.first()));
    if (param.value.isNull())
        throw bad(QStringLiteral("falta \"value\""));
    const QString mismatch =
        RemoteMethods::kindMismatch(kind, JsonScan::stringValue(param.type), param.byref == "true");
    if (!mismatch.isEmpty())
        throw bad(mismatch);
    ServerArg arg;
    arg.type = kind;
    switch (kind) {
    case ServerArg::String:
    case ServerArg::StringByRef:
        if (!isString(param.value))
            throw bad(QStringLiteral("o valor não é texto"));
        arg.text = JsonScan::stringValue(param.value);
        break;
    case ServerArg::Date:
        if (param.value != "null") {
            if (isString(param.value))
                arg.date = dateTimeFromText(JsonScan::stringValue(param.value));
            if (!arg.date.isValid())
                throw bad(QStringLiteral("o valor não é uma data-hora ISO 8601"));
        }
        break;
    case ServerArg::Variant:
        if (!param.value.startsWith('{'))
            throw bad(QStringLiteral("o valor não é um pacote de dados"));
        arg.json = QByteArray::fromRawData(param.value.data(), param.value.size());
        break;
    }
    return arg;
}

// The values of the by-reference arguments, in their order, as a JSON array.
QByteArray byRefValues(const QList<ServerArg>& args)
{
    JsonWriter out;
    out.put('[');
    bool first = true;
    for (const ServerArg& arg : args) {
        if (!arg.byRef())
            continue;
        if (!first)
            out.put(',');
        first = false;
        out.string(arg.text);
    }
    out.put(']');
    return out.take();
}

// The compact JSON text of one value (QJsonDocument only writes arrays and objects).
QByteArray compactValue(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// The one writer of the answer's envelope. A success carries its data already in JSON form
// (a data packet's bytes are copied in as they are, never parsed into a tree and written out
// again) and the by-reference values; a failure the user must see, its message.
QByteArray successBody(const QJsonValue& id, const QByteArray& dataText,
                       const QByteArray& byrefText)
{
    const QByteArray idText = compactValue(id);
    QByteArray body;
    body.reserve(dataText.size() + idText.size() + byrefText.size() + 64);
    body.append(R"({"jsonrpc":"2.0","id":)");
    body.append(idText);
    body.append(R"(,"result":{"ok":true,"data":)");
    body.append(dataText);
    body.append(R"(,"byref":)");
    body.append(byrefText);
    body.append("}}");
    return body;
}

QByteArray failureBody(const QJsonValue& id, const QString& message)
{
    const QJsonObject result{{QStringLiteral("ok"), false}, {QStringLiteral("message"), message}};
    const QJsonObject answer{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                             {QStringLiteral("id"), id},
                             {QStringLiteral("result"), result}};
    return QJsonDocument(answer).toJson(QJsonDocument::Compact);
}

QByteArray compactObject(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// Each method of the module bound to what it does with its checked arguments: the data of its
// answer, as JSON text (`rows`: the rows a listing delivered).
using Handler = QByteArray (*)(InvoiceService& service, const QList<ServerArg>& args,
                               qsizetype* rows);
struct Binding
{
    const RemoteMethod* method;
    Handler handler;
};
const Binding bindings[] = {
    {&RemoteMethods::GetInvoice,
     [](InvoiceService& service, const QList<ServerArg>& args, qsizetype* rows) {
         return service.getInvoiceJson(FilterArgs::fromArgs(args), rows);
     }},
    {&RemoteMethods::GetItem,
     [](InvoiceService& service, const QList<ServerArg>& args, qsizetype* rows) {
         return service.getItemJson(FilterArgs::fromArgs(args), rows);
     }},
    {&RemoteMethods::SetInvoice,
     [](InvoiceService& service, const QList<ServerArg>& args, qsizetype*) {
         return compactObject(service.setInvoice(Delta::fromJson(args.at(0).json)));
     }},
    {&RemoteMethods::GeraNF,
     [](InvoiceService& service, const QList<ServerArg>& args, qsizetype*) {
         return compactObject(service.geraNF(QByteArrayView(args.at(0).json), args.at(1).text));
     }},
    {&RemoteMethods::GetHistorico,
     [](InvoiceService& service, const QList<ServerArg>& args, qsizetype* rows) {
         return service.getHistoricoJson(args.at(0).text, args.at(1).text, rows);
     }},
    {&RemoteMethods::EstornaInvoice,
     [](InvoiceService& service, const QList<ServerArg>& args, qsizetype*) {
         return compactObject(
             service.estornaInvoice(QByteArrayView(args.at(0).json), args.at(1).text));
     }},
    {&RemoteMethods::PreviaNF,
     [](InvoiceService& service, const QList<ServerArg>& args, qsizetype*) {
         return compactObject(service.previaNF(QByteArrayView(args.at(0).json)));
     }},
};

Handler handlerOf(const RemoteMethod* method)
{
    for (const Binding& binding : bindings)
        if (binding.method == method)
            return binding.handler;
    return nullptr;
}

} // namespace

QJsonObject RpcDispatcher::describe()
{
    return RemoteMethods::describe();
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

RpcDispatcher::Answer RpcDispatcher::handle(const QByteArray& body, const Caller& caller)
{
    service.setCaller(caller);
    // No request, however formed, ends the server: whatever escapes the call's own handling
    // is answered as an internal error.
    try {
        const qsizetype start = body.indexOf(QByteArrayView("["));
        const bool isBatch = start >= 0 && QByteArrayView(body).first(start).trimmed().isEmpty();
        return isBatch ? batch(body) : dispatch(body);
    } catch (const std::exception& failure) {
        return internalError(QString::fromUtf8(failure.what()));
    } catch (...) {
        return internalError(QStringLiteral("exceção desconhecida"));
    }
}

RpcDispatcher::Answer RpcDispatcher::refuse(const QByteArray& body, const QString& message)
{
    Answer answer;
    QJsonValue id = QJsonValue::Null;
    try {
        const WireRequest request = readRequest(body);
        if (!request.id.isNull())
            id = JsonScan::parseValue(request.id);
        if (isString(request.method) && RemoteMethods::find(JsonScan::stringValue(request.method)))
            answer.method = JsonScan::stringValue(request.method);
    } catch (...) {
        // What cannot be read is answered without its id.
    }
    answer.failure = message;
    answer.body = failureBody(id, message);
    return answer;
}

RpcDispatcher::Answer RpcDispatcher::internalError(const QString& detail)
{
    Answer answer;
    answer.failure = QStringLiteral("erro interno: ") + detail;
    answer.body = errorBody(QJsonValue::Null, InternalError,
                            QStringLiteral("Erro interno do servidor de aplicação. Nada foi "
                                           "gravado."));
    return answer;
}

RpcDispatcher::Answer RpcDispatcher::batch(const QByteArray& body)
{
    QList<QByteArrayView> requests;
    try {
        JsonReader reader(body);
        reader.enterArray();
        while (reader.nextElement())
            requests.append(reader.skip());
        reader.end();
    } catch (const JsonScanError& failure) {
        Answer answer;
        answer.failure = failure.text();
        answer.body = errorBody(QJsonValue::Null, ParseError, failure.text());
        return answer;
    }
    Answer answer;
    // A batch cannot make the server hold more than one body's worth of calls or of answers.
    constexpr qsizetype maxCalls = 100;
    constexpr qsizetype maxAnswerBytes = 64 * 1024 * 1024;
    if (requests.size() > maxCalls) {
        answer.failure = QStringLiteral("Lote de %1 requisições.").arg(requests.size());
        answer.body = errorBody(
            QJsonValue::Null, InvalidRequest,
            QStringLiteral("Um lote pode trazer no máximo %1 requisições.").arg(maxCalls));
        return answer;
    }
    if (requests.isEmpty()) {
        answer.failure = QStringLiteral("Lote vazio.");
        answer.body = errorBody(QJsonValue::Null, InvalidRequest,
                                QStringLiteral("Um lote deve trazer ao menos uma requisição."));
        return answer;
    }
    QByteArray answers = "[";
    QStringList methods;
    answer.ok = true;
    for (const QByteArrayView request : requests) {
        const Answer one =
            answers.size() <= maxAnswerBytes
                ? dispatch(request.toByteArray())
                : refuse(request.toByteArray(),
                         QStringLiteral("O lote passou do limite de %1 bytes de resposta; esta "
                                        "requisição não foi executada.")
                             .arg(maxAnswerBytes));
        methods << (one.method.isEmpty() ? QStringLiteral("-") : one.method);
        answer.ok = answer.ok && one.ok;
        if (!one.ok && answer.failure.isEmpty())
            answer.failure = one.failure;
        if (one.silent)
            continue;
        if (answers.size() > 1)
            answers += ',';
        answers += one.body;
    }
    answer.method = QStringLiteral("lote[%1]").arg(methods.join(QLatin1Char(',')).left(200));
    answer.silent = answers.size() == 1;
    answer.body = answer.silent ? QByteArray() : answers + ']';
    return answer;
}

RpcDispatcher::Answer RpcDispatcher::dispatch(const QByteArray& body)
{
    Answer answer;
    const auto error = [&answer](const QJsonValue& id, int code, const QString& message) {
        answer.body = errorBody(id, code, message);
        answer.failure = message;
        return answer;
    };

    WireRequest request;
    try {
        request = readRequest(body);
    } catch (const JsonScanError& failure) {
        return error(QJsonValue::Null, ParseError, failure.text());
    } catch (const NotAnObject&) {
        return error(QJsonValue::Null, InvalidRequest,
                     QStringLiteral("A requisição deve ser um objeto JSON-RPC 2.0."));
    }
    // An id that is well-formed JSON but no value Qt can hold (a number beyond a double's
    // range) is refused like any other id that is neither text nor number.
    QJsonValue id = QJsonValue::Null;
    try {
        if (!request.id.isNull())
            id = JsonScan::parseValue(request.id);
    } catch (const JsonScanError&) {
        return error(QJsonValue::Null, InvalidRequest,
                     QStringLiteral("O \"id\" deve ser texto ou número representável."));
    }
    if (JsonScan::stringValue(request.jsonrpc) != QLatin1String("2.0"))
        return error(id, InvalidRequest,
                     QStringLiteral("A requisição deve trazer \"jsonrpc\":\"2.0\"."));
    if (!id.isString() && !id.isDouble() && !id.isNull())
        return error(QJsonValue::Null, InvalidRequest,
                     QStringLiteral("O \"id\" deve ser texto ou número."));
    if (!isString(request.method))
        return error(id, InvalidRequest,
                     QStringLiteral("A requisição deve trazer \"method\" como texto."));
    // A notification (a valid request without an "id" member) is run and answered with
    // nothing, whatever its outcome.
    answer.silent = request.id.isNull();
    const QString method = JsonScan::stringValue(request.method);
    const RemoteMethod* signature = RemoteMethods::find(method);
    if (!signature || !handlerOf(signature))
        return error(id, MethodNotFound, RemoteMethods::unknownMethodText(method));
    answer.method = method;

    if (!request.paramsIsArray)
        return error(
            id, InvalidParams,
            QStringLiteral("%1: \"params\" deve ser uma lista de argumentos.").arg(method));
    if (request.params.size() != qsizetype(signature->params.size()))
        return error(id, InvalidParams,
                     RemoteMethods::countText(*signature, request.params.size()));
    QList<ServerArg> args;
    args.reserve(request.params.size());
    try {
        for (qsizetype i = 0; i < request.params.size(); ++i)
            args.append(argument(request.params.at(i), *signature, i));
    } catch (const BadParams& bad) {
        return error(id, InvalidParams, bad.message);
    }

    try {
        const QByteArray data = handlerOf(signature)(service, args, &answer.rows);
        // The by-reference arguments go back as they came.
        answer.body = successBody(id, data, byRefValues(args));
        answer.ok = true;
        return answer;
    } catch (const DataPacketError& failure) {
        answer.failure = QStringLiteral("Pacote de dados inválido: %1").arg(failure.text());
    } catch (const ServiceFailure& failure) {
        answer.failure = failure.message();
    }
    answer.body = failureBody(id, answer.failure);
    return answer;
}
