// Our packet reader (readPacket over the JSON scanner) against a reader on simdjson's On-Demand
// API, on the two packets the settlement screen receives for a whole company: GetInvoice and
// GetItem from the real fas-appserver on the cached demo database. Both readers hand every cell
// to the same record-store fill, so only the JSON parsing differs; the two stores are compared
// cell by cell before anything is timed. A table of malformed and hostile packets then shows
// what each reader accepts.
//
//   bench_json [--runs N] [--company CC] [--database FILE]
#include "AppServerProcess.h"
#include "DataPacket.h"
#include "JsonScan.h"
#include "JsonScanner.h"
#include "LocalDateTime.h"
#include "PacketReader.h"
#include "RecordStore.h"
#include "RemoteMethods.h"
#include "TNetConnection.h"
#include "TextPool.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <malloc.h>
#include <numeric>
#include <optional>
#include <simdjson.h>

namespace {

namespace ondemand = simdjson::ondemand;

// The kernel this file's On-Demand code is compiled for: chosen by the compiler's target flags
// (the library's own builtin_implementation() tells the library's, not ours).
#define BENCH_TEXT(name) #name
#define BENCH_KERNEL(name) BENCH_TEXT(name)
constexpr const char* ondemandKernel = BENCH_KERNEL(SIMDJSON_BUILTIN_IMPLEMENTATION);

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

double timedMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read /proc/self/status");
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return 0;
}

// Packet fields to store columns one to one; `seen` receives the fields the reader found.
RecordStore::Bind oneToOne(QList<FieldDef>* seen = nullptr)
{
    return [seen](const QList<FieldDef>& fields) {
        if (seen)
            *seen = fields;
        QList<int> columns(fields.size());
        std::iota(columns.begin(), columns.end(), 0);
        return columns;
    };
}

// Takes every cell and keeps nothing but a checksum: the reader's own cost.
class DropSink final : public PacketSink
{
public:
    void begin(const QList<FieldDef>&, qsizetype) override {}
    void null(int) override { ++cells; }
    void text(int, QString&& text) override { bytes += text.size(); }
    void utf8Text(int, QByteArrayView utf8) override { bytes += utf8.size(); }
    void number(int, double value) override { sum += value; }
    void dateKey(int, qint64 key) override { keys ^= key; }
    void endRow() override { ++rows; }

    qint64 cells = 0, rows = 0, bytes = 0, keys = 0;
    double sum = 0;
};

DataPacketError malformed(simdjson::error_code error)
{
    return DataPacketError(QStringLiteral("JSON malformado: %1.")
                               .arg(QString::fromUtf8(simdjson::error_message(error))));
}

void check(simdjson::error_code error)
{
    if (error)
        throw malformed(error);
}

QByteArrayView bytesOf(std::string_view text)
{
    return QByteArrayView(text.data(), qsizetype(text.size()));
}

QString kindName(ondemand::json_type type)
{
    switch (type) {
    case ondemand::json_type::string:
        return QStringLiteral("texto");
    case ondemand::json_type::array:
        return QStringLiteral("lista");
    case ondemand::json_type::object:
        return QStringLiteral("objeto");
    case ondemand::json_type::boolean:
        return QStringLiteral("booleano");
    default:
        return QStringLiteral("número");
    }
}

// Whether the value is null, the literal checked (the type alone is read from its first byte).
bool readNull(ondemand::value& value, ondemand::json_type type)
{
    if (type != ondemand::json_type::null)
        return false;
    bool null = false;
    check(value.is_null().get(null));
    if (!null)
        throw malformed(simdjson::N_ATOM_ERROR);
    return true;
}

// A packet reader on simdjson's On-Demand API doing what readPacket does: the packet's object
// with its "fields" (name, type, size, fixed) and its "rows" (lists as wide as the fields), a
// repeated member counting as its last, every cell handed to the sink by its field's type, and
// every failure a DataPacketError. The text must be padded (SIMDJSON_PADDING readable bytes
// past its end). The parser's buffers are kept from one packet to the next.
class SimdPacketReader
{
public:
    void read(simdjson::padded_string_view json, PacketSink& sink)
    {
        ondemand::document document;
        check(m_parser.iterate(json).get(document));
        ondemand::object packet;
        if (document.get_object().get(packet))
            throw DataPacketError(QStringLiteral("O pacote de dados não é um objeto JSON."));
        QList<FieldDef> fields;
        bool haveFields = false;
        std::string_view rowsText;
        bool rowsRead = false;
        for (auto member : packet) {
            ondemand::field field;
            check(std::move(member).get(field));
            std::string_view name;
            check(field.unescaped_key().get(name));
            if (name == "fields") {
                fields = readFields(field.value());
                haveFields = true;
                rowsRead = false;
            } else if (name == "rows") {
                // Read in place under the fields already seen, or kept as text for the end;
                // its text is kept either way, for fields that come again after it.
                const char* begin = location(document);
                if (haveFields) {
                    readRows(field.value(), fields, sink, qsizetype(json.size()));
                    const char* end = location(document);
                    while (end > begin && JsonScan::detail::isSpace(end[-1]))
                        --end;
                    rowsText = std::string_view(begin, size_t(end - begin));
                } else {
                    ondemand::array rows;
                    if (field.value().get_array().get(rows))
                        throw DataPacketError(
                            QStringLiteral("Pacote de dados sem a lista \"rows\"."));
                    check(rows.raw_json().get(rowsText));
                }
                rowsRead = haveFields;
            }
            // Any other member is passed over by the iteration.
        }
        const auto rest = document.current_location();
        if (rest.error() != simdjson::OUT_OF_BOUNDS)
            throw DataPacketError(QStringLiteral("JSON malformado: texto a mais depois do valor."));
        if (!haveFields)
            throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"fields\"."));
        if (rowsText.empty())
            throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"rows\"."));
        if (!rowsRead) {
            // A view into the padded text: what follows the rows in it is padding enough.
            const size_t capacity = size_t(json.data() + json.capacity() - rowsText.data());
            ondemand::document rowsDocument;
            check(m_rowsParser
                      .iterate(
                          simdjson::padded_string_view(rowsText.data(), rowsText.size(), capacity))
                      .get(rowsDocument));
            ondemand::value rows;
            check(rowsDocument.get_value().get(rows));
            readRows(rows, fields, sink, qsizetype(json.size()));
            if (rowsDocument.current_location().error() != simdjson::OUT_OF_BOUNDS)
                throw DataPacketError(
                    QStringLiteral("JSON malformado: texto a mais depois do valor."));
        }
    }

private:
    static const char* location(ondemand::document& document)
    {
        const char* at = nullptr;
        check(document.current_location().get(at));
        return at;
    }

    static QList<FieldDef> readFields(ondemand::value value)
    {
        ondemand::array list;
        if (value.get_array().get(list))
            throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"fields\"."));
        QList<FieldDef> fields;
        qsizetype i = 0;
        for (auto element : list) {
            ondemand::value entry;
            check(element.get(entry));
            const FieldDef field = readField(entry, i++);
            if (findFieldDef(fields, field.name))
                throw DataPacketError(QStringLiteral("Campo %1 repetido.").arg(field.name));
            fields.append(field);
        }
        return fields;
    }

    // One field definition, judged as fieldDefsFromJson judges it: the last of a repeated
    // member counts; size and fixed may be absent or null.
    static FieldDef readField(ondemand::value entry, qsizetype i)
    {
        ondemand::object def;
        if (entry.get_object().get(def))
            throw DataPacketError(QStringLiteral("Definição de campo %1 não é um objeto.").arg(i));
        std::optional<QString> name, type;
        double size = 0; // absent or null: 0
        bool badSize = false, badFixed = false, fixed = false;
        for (auto member : def) {
            ondemand::field field;
            check(std::move(member).get(field));
            std::string_view key;
            check(field.unescaped_key().get(key));
            ondemand::value value = field.value();
            ondemand::json_type kind;
            check(value.type().get(kind));
            std::string_view text;
            if (key == "name" || key == "type") {
                std::optional<QString>& target = key == "name" ? name : type;
                target.reset();
                if (kind == ondemand::json_type::string) {
                    check(value.get_string().get(text));
                    target = QString::fromUtf8(bytesOf(text));
                }
            } else if (key == "size") {
                size = 0;
                badSize = false;
                if (!readNull(value, kind)) {
                    double number = 0;
                    badSize = kind != ondemand::json_type::number;
                    if (!badSize) {
                        check(value.get_double().get(number));
                        size = number;
                    }
                }
            } else if (key == "fixed") {
                fixed = false;
                badFixed = false;
                if (!readNull(value, kind)) {
                    badFixed = kind != ondemand::json_type::boolean;
                    if (!badFixed)
                        check(value.get_bool().get(fixed));
                }
            }
        }
        FieldDef field;
        if (!name || name->isEmpty())
            throw DataPacketError(QStringLiteral("Definição de campo %1 sem nome.").arg(i));
        field.name = *name;
        if (!type)
            throw DataPacketError(QStringLiteral("Campo %1 sem tipo.").arg(field.name));
        const std::optional<FieldType> known = fieldTypeFromName(*type);
        if (!known)
            throw DataPacketError(
                QStringLiteral("Tipo desconhecido \"%1\" no campo %2.").arg(*type, field.name));
        field.type = *known;
        if (badSize || !(size >= 0 && size <= INT_MAX && size == std::floor(size)))
            throw DataPacketError(QStringLiteral("Tamanho inválido no campo %1.").arg(field.name));
        field.size = int(size);
        if (badFixed)
            throw DataPacketError(
                QStringLiteral("Indicador \"fixed\" inválido no campo %1.").arg(field.name));
        field.fixed = fixed;
        return field;
    }

    static void readRows(ondemand::value value, const QList<FieldDef>& fields, PacketSink& sink,
                         qsizetype textSize)
    {
        ondemand::array rows;
        if (value.get_array().get(rows))
            throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"rows\"."));
        const int width = int(fields.size());
        sink.begin(fields, textSize / 64 / qMax(1, width));
        std::vector<char> taken(size_t(fields.size()));
        for (int i = 0; i < width; ++i)
            taken[size_t(i)] = sink.takes(i);
        qsizetype row = 0;
        for (auto element : rows) {
            ondemand::value rowValue;
            check(element.get(rowValue));
            ondemand::array cells;
            if (rowValue.get_array().get(cells))
                throw DataPacketError(QStringLiteral("Linha %1 não é uma lista.").arg(row + 1));
            int i = 0;
            for (auto cellElement : cells) {
                ondemand::value cellValue;
                check(cellElement.get(cellValue));
                if (i < width && taken[size_t(i)])
                    cell(cellValue, fields.at(i), i, row, sink);
                ++i; // cells past the width are counted and passed over
            }
            if (i != width)
                throw rowWidthError(row, i, width);
            sink.endRow();
            ++row;
        }
    }

    static void cell(ondemand::value& value, const FieldDef& field, int i, qsizetype row,
                     PacketSink& sink)
    {
        ondemand::json_type kind;
        check(value.type().get(kind));
        if (readNull(value, kind)) {
            sink.null(i);
            return;
        }
        std::string_view text;
        switch (field.type) {
        case FieldType::String:
            if (kind != ondemand::json_type::string)
                break;
            check(value.get_string().get(text));
            sink.utf8Text(i, bytesOf(text));
            return;
        case FieldType::Float: {
            if (kind != ondemand::json_type::number)
                break;
            double number = 0;
            check(value.get_double().get(number));
            sink.number(i, number);
            return;
        }
        case FieldType::DateTime: {
            if (kind != ondemand::json_type::string)
                break;
            check(value.get_string().get(text));
            qint64 key = 0;
            if (!LocalDateTime::keyFromText(bytesOf(text), key))
                throw DataPacketError(QStringLiteral("Data inválida \"%1\" (campo %2, linha %3).")
                                          .arg(QString::fromUtf8(bytesOf(text)), field.name)
                                          .arg(row + 1));
            sink.dateKey(i, key);
            return;
        }
        }
        throw DataPacketError(
            QStringLiteral("Valor do tipo %1 onde se espera %2 (campo %3, linha %4).")
                .arg(kindName(kind), fieldTypeName(field.type), field.name)
                .arg(row + 1));
    }

    ondemand::parser m_parser;
    ondemand::parser m_rowsParser; // "rows" written before "fields"
};

void simdLoad(SimdPacketReader& reader, simdjson::padded_string_view json, RecordStore& store,
              const RecordStore::Bind& bind)
{
    RecordStoreFill sink(store, bind);
    reader.read(json, sink);
}

// Every value visited and every scalar read (On-Demand checks a scalar only when it is read);
// returns the number of values.
qint64 walk(ondemand::value value, double& sum)
{
    ondemand::json_type kind;
    check(value.type().get(kind));
    qint64 values = 1;
    std::string_view text;
    switch (kind) {
    case ondemand::json_type::array: {
        ondemand::array array;
        check(value.get_array().get(array));
        for (auto element : array) {
            ondemand::value inner;
            check(element.get(inner));
            values += walk(inner, sum);
        }
        break;
    }
    case ondemand::json_type::object: {
        ondemand::object object;
        check(value.get_object().get(object));
        for (auto member : object) {
            ondemand::field field;
            check(std::move(member).get(field));
            check(field.unescaped_key().get(text));
            values += walk(field.value(), sum);
        }
        break;
    }
    case ondemand::json_type::number: {
        double number = 0;
        check(value.get_double().get(number));
        sum += number;
        break;
    }
    case ondemand::json_type::string:
        check(value.get_string().get(text));
        sum += double(text.size());
        break;
    case ondemand::json_type::boolean: {
        bool flag = false;
        check(value.get_bool().get(flag));
        break;
    }
    case ondemand::json_type::null:
        readNull(value, kind);
        break;
    }
    return values;
}

// Where two stores differ, cell by cell (numbers bit for bit); at most `limit` lines.
QStringList differences(const RecordStore& ours, const RecordStore& theirs, int limit = 10)
{
    QStringList out;
    if (ours.rowCount() != theirs.rowCount() || ours.columnCount() != theirs.columnCount())
        return {QStringLiteral("shape %1×%2 against %3×%4")
                    .arg(ours.rowCount())
                    .arg(ours.columnCount())
                    .arg(theirs.rowCount())
                    .arg(theirs.columnCount())};
    for (int c = 0; c < ours.columnCount(); ++c) {
        if (ours.type(c) != theirs.type(c))
            return {QStringLiteral("column %1: types differ").arg(c)};
    }
    for (int r = 0; r < ours.rowCount() && out.size() < limit; ++r) {
        for (int c = 0; c < ours.columnCount() && out.size() < limit; ++c) {
            bool same = ours.isNull(r, c) == theirs.isNull(r, c);
            if (same && !ours.isNull(r, c)) {
                switch (ours.type(c)) {
                case FieldType::String:
                    same = ours.text(r, c) == theirs.text(r, c);
                    break;
                case FieldType::Float:
                    same = std::bit_cast<quint64>(ours.number(r, c)) ==
                           std::bit_cast<quint64>(theirs.number(r, c));
                    break;
                case FieldType::DateTime:
                    same = ours.dateKeyAt(r, c) == theirs.dateKeyAt(r, c);
                    break;
                }
            }
            if (!same)
                out << QStringLiteral("row %1, column %2: %3 against %4")
                           .arg(r)
                           .arg(c)
                           .arg(ours.value(r, c).toString(), theirs.value(r, c).toString());
        }
    }
    return out;
}

struct Packet
{
    QString name;
    QByteArray bytes;
};

// GetInvoice and GetItem of every invoice of the company, as the screen calls them, from the
// real server on a scratch copy of the demo database; the server is stopped on return.
QList<Packet> fetchPackets(const QString& database, const QString& company)
{
    if (!QFileInfo::exists(database))
        throw std::runtime_error(qPrintable(
            QStringLiteral("no demo database %1 (bench_settlement makes it)").arg(database)));
    const QString copy =
        QFileInfo(database).absolutePath() +
        QStringLiteral("/bench-json-%1.db").arg(QCoreApplication::applicationPid());
    // Removed after the server has ended (declared before it).
    const std::unique_ptr<const QString, void (*)(const QString*)> removeCopy(
        &copy, [](const QString* file) {
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::remove(*file + QLatin1String(suffix));
        });
    QFile::remove(copy);
    if (!QFile::copy(database, copy))
        throw std::runtime_error("cannot copy the demo database");
    AppServerProcess server;
    const QString problem = server.serve(copy);
    if (!problem.isEmpty())
        throw std::runtime_error(qPrintable(problem));
    TNetConnection connection;
    connection.Port = server.port;
    connection.ServerName = QStringLiteral("FAS10000.rdmBCRInvoice");
    connection.TimeoutMs = 600000;
    QList<Packet> packets;
    for (const RemoteMethod* method : {&RemoteMethods::GetInvoice, &RemoteMethods::GetItem}) {
        QList<ServerArg> args = FilterArgs::everything(company).toArgs();
        const ServerResult result = connection.GetServer().call(*method, args);
        if (!result.result.value(QStringLiteral("ok")).toBool() || result.data.isNull())
            throw std::runtime_error(
                qPrintable(result.result.value(QStringLiteral("message")).toString()));
        packets.append({QString::fromLatin1(method->name),
                        QByteArray(result.data.constData(), result.data.size())});
    }
    connection.SetConnected(false);
    return packets;
}

// One timed step over a packet; `simdjson` is the packet's padded copy.
struct Step
{
    const char* label;
    std::function<double(const QByteArray& bytes, const simdjson::padded_string& padded)> run;
};

QList<Step> steps(SimdPacketReader& keptReader)
{
    const RecordStore::Bind bind = oneToOne();
    return {
        {"ours: scanner, every value checked",
         [](const QByteArray& bytes, const simdjson::padded_string&) {
             return timedMs([&] {
                 JsonScan::detail::Scanner scanner(bytes);
                 scanner.value(0);
                 scanner.end();
             });
         }},
        {"ours: readPacket to a sink that keeps nothing",
         [](const QByteArray& bytes, const simdjson::padded_string&) {
             DropSink sink;
             return timedMs([&] { readPacket(bytes, sink); });
         }},
        {"ours: RecordStore::loadJson",
         [bind](const QByteArray& bytes, const simdjson::padded_string&) {
             RecordStore store;
             return timedMs([&] { store.loadJson(bytes, bind); });
         }},
        {"simdjson: padded copy of the bytes",
         [](const QByteArray& bytes, const simdjson::padded_string&) {
             std::unique_ptr<simdjson::padded_string> copy;
             return timedMs([&] {
                 copy = std::make_unique<simdjson::padded_string>(bytes.constData(),
                                                                  size_t(bytes.size()));
             });
         }},
        {"simdjson: stage 1 alone (parser.iterate)",
         [](const QByteArray&, const simdjson::padded_string& padded) {
             return timedMs([&] {
                 ondemand::parser parser;
                 ondemand::document document;
                 check(parser.iterate(padded).get(document));
             });
         }},
        {"simdjson: walk, every scalar read",
         [](const QByteArray&, const simdjson::padded_string& padded) {
             double sum = 0;
             return timedMs([&] {
                 ondemand::parser parser;
                 ondemand::document document;
                 check(parser.iterate(padded).get(document));
                 ondemand::value root;
                 check(document.get_value().get(root));
                 walk(root, sum);
             });
         }},
        {"simdjson: reader to a sink that keeps nothing",
         [](const QByteArray&, const simdjson::padded_string& padded) {
             DropSink sink;
             return timedMs([&] {
                 SimdPacketReader reader;
                 reader.read(padded, sink);
             });
         }},
        {"simdjson: reader into RecordStore",
         [bind](const QByteArray&, const simdjson::padded_string& padded) {
             RecordStore store;
             return timedMs([&] {
                 SimdPacketReader reader;
                 simdLoad(reader, padded, store, bind);
             });
         }},
        {"simdjson: reader into RecordStore, parser kept",
         [bind, &keptReader](const QByteArray&, const simdjson::padded_string& padded) {
             RecordStore store;
             return timedMs([&] { simdLoad(keptReader, padded, store, bind); });
         }},
    };
}

// Both readers over one packet: whether each took it, and whether the stores agree.
struct Verdict
{
    QString ours, simd; // empty when accepted, otherwise the error
    QStringList differences;
};

Verdict compareReaders(const QByteArray& json)
{
    Verdict verdict;
    RecordStore oursStore, simdStore;
    QList<FieldDef> oursFields, simdFields;
    try {
        oursStore.loadJson(json, oneToOne(&oursFields));
    } catch (const std::exception& error) {
        verdict.ours = QString::fromUtf8(error.what());
    }
    try {
        const simdjson::padded_string padded(json.constData(), size_t(json.size()));
        SimdPacketReader reader;
        simdLoad(reader, padded, simdStore, oneToOne(&simdFields));
    } catch (const std::exception& error) {
        verdict.simd = QString::fromUtf8(error.what());
    }
    if (verdict.ours.isEmpty() && verdict.simd.isEmpty()) {
        if (oursFields != simdFields)
            verdict.differences << QStringLiteral("the fields differ");
        verdict.differences << differences(oursStore, simdStore);
    }
    return verdict;
}

struct Hostile
{
    const char* name;
    QByteArray rows;        // the "rows" list of a packet of three fields (string, float, datetime)
    QByteArray packet = {}; // a whole packet instead
};

QByteArray hostilePacket(const Hostile& entry)
{
    if (!entry.packet.isEmpty())
        return entry.packet;
    return QByteArray(R"({"fields":[{"name":"S","type":"string","size":10,"fixed":false},)"
                      R"({"name":"F","type":"float","size":0,"fixed":false},)"
                      R"({"name":"D","type":"datetime","size":0,"fixed":false}],"rows":)") +
           entry.rows + '}';
}

const QByteArray fieldsText = R"("fields":[{"name":"S","type":"string"}])";

QList<Hostile> hostileCases()
{
    const QByteArray deep600 = QByteArray(600, '[') + QByteArray(600, ']');
    const QByteArray deep2000 = QByteArray(2000, '[') + QByteArray(2000, ']');
    return {
        {"well-formed", R"([["a",1.5,"2026-03-01T00:00:00"],[null,null,null]])"},
        {"escapes, -0, \\u0000", R"([["a\u00e9\n\"\u0000",-0.0,"2026\u002d03-01T00:00:00"]])"},
        {"UTF-8 overlong (C0 80)", "[[\"\xC0\x80\",1,null]]"},
        {"UTF-8 surrogate half (ED A0 80)", "[[\"\xED\xA0\x80\",1,null]]"},
        {"UTF-8 above U+10FFFF (F4 90 80 80)", "[[\"\xF4\x90\x80\x80\",1,null]]"},
        {"UTF-8 cut short (E2 82)", "[[\"\xE2\x82\",1,null]]"},
        {"byte FF outside a string", "[[\"a\",1,null]\xFF]"},
        {"lone surrogate escape \\ud800", R"([["\ud800",1,null]])"},
        {"control byte 01 in a string", "[[\"a\x01z\",1,null]]"},
        {"NUL byte in a string", QByteArray("[[\"a\0z\",1,null]]", 16)},
        {"number 1e400 (overflow)", R"([["a",1e400,null]])"},
        {"number 1e-400 (underflow)", R"([["a",1e-400,null]])"},
        {"number 5e-324 (least subnormal)", R"([["a",5e-324,null]])"},
        {"number 2.2250738585072014e-308 (least normal)",
         R"([["a",2.2250738585072014e-308,null]])"},
        {"integer of 30 digits", R"([["a",123456789012345678901234567890,null]])"},
        {"decimal of 800 digits", "[[\"a\",0." + QByteArray(799, '3') + "7,null]]"},
        {"number 012", R"([["a",012,null]])"},
        {"number 1.", R"([["a",1.,null]])"},
        {"number -", R"([["a",-,null]])"},
        {"number 1e5x", R"([["a",1e5x,null]])"},
        {"NaN", R"([["a",NaN,null]])"},
        {"literal nul", R"([["a",nul,null]])"},
        {"literal nullx", R"([["a",1,nullx]])"},
        {"true in a float cell", R"([["a",true,null]])"},
        {"row too short", R"([["a",1]])"},
        {"row too long", R"([["a",1,null,2]])"},
        {"trailing comma in a row", R"([["a",1,null,]])"},
        {"missing comma in a row", R"([["a" 1,null]])"},
        {"unbalanced: ] for }", R"([["a",1,null]]])"},
        {"malformed value in an ignored member", R"([["a",1,null]],"extra":[tru,01,-])"},
        {"mismatched brackets in an ignored member", R"([["a",1,null]],"extra":[1,2})"},
        {"nesting 600 deep in an ignored member", R"([["a",1,null]],"extra":)" + deep600},
        {"nesting 2000 deep in an ignored member", R"([["a",1,null]],"extra":)" + deep2000},
        {"text after the packet", {}, hostilePacket({"", R"([["a",1,null]])"}) + " x"},
        {"second value after the packet", {}, hostilePacket({"", R"([["a",1,null]])"}) + " {}"},
        {"packet cut short", {}, hostilePacket({"", R"([["a",1,null]])"}).chopped(3)},
        {"byte-order mark before the packet",
         {},
         "\xEF\xBB\xBF" + hostilePacket({"", R"([["a",1,null]])"})},
        {"rows before fields", {}, "{\"rows\":[[\"a\"],[null]]," + fieldsText + "}"},
        {"fields twice: the last counts",
         {},
         "{" + fieldsText + R"(,"rows":[[null],[null]],"fields":[{"name":"F","type":"float"}]})"},
        {"rows twice: the last counts",
         {},
         "{" + fieldsText + R"(,"rows":[["1"]],"rows":[["2"]]})"},
        {"invalid date", R"([["a",1,"2026-02-30T00:00:00"]])"},
        {"empty text", {}, " "},
    };
}

void printHostile()
{
    std::printf("\nMalformed and hostile packets (accepted / refused by each reader):\n");
    int disagreements = 0;
    for (const Hostile& entry : hostileCases()) {
        const Verdict verdict = compareReaders(hostilePacket(entry));
        const bool differ =
            verdict.ours.isEmpty() != verdict.simd.isEmpty() || !verdict.differences.isEmpty();
        disagreements += differ;
        std::printf("  %-42s ours %-8s simdjson %-8s%s\n", entry.name,
                    verdict.ours.isEmpty() ? "accepts" : "refuses",
                    verdict.simd.isEmpty() ? "accepts" : "refuses", differ ? "  <- differs" : "");
        if (differ) {
            for (const QString& text : {verdict.ours, verdict.simd})
                if (!text.isEmpty())
                    std::printf("      %s\n", qPrintable(text.left(110)));
            for (const QString& line : verdict.differences)
                std::printf("      %s\n", qPrintable(line));
        }
    }
    std::printf("  %d of %lld cases differ\n", disagreements, qlonglong(hostileCases().size()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("FAS_BIN_DIR"))
        qputenv("FAS_BIN_DIR", QDir(QCoreApplication::applicationDirPath())
                                   .filePath(QStringLiteral("../bin"))
                                   .toLocal8Bit());
    QCommandLineParser parser;
    parser.addOptions(
        {{QStringLiteral("runs"), QStringLiteral("runs per median"), QStringLiteral("n"),
          QStringLiteral("7")},
         {QStringLiteral("company"), QStringLiteral("company measured"), QStringLiteral("code"),
          QStringLiteral("01")},
         {QStringLiteral("database"), QStringLiteral("demo database (read only)"),
          QStringLiteral("file"), QStringLiteral("/tmp/fas-bench/appserver-300000.db")}});
    parser.process(app);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());

    try {
        const QList<Packet> packets = fetchPackets(parser.value(QStringLiteral("database")),
                                                   parser.value(QStringLiteral("company")));
        std::printf("simdjson %d.%d.%d: stage 1 runs on '%s' (chosen at run time), the "
                    "On-Demand iteration on '%s' (chosen at compile time)\n",
                    int(simdjson::SIMDJSON_VERSION_MAJOR), int(simdjson::SIMDJSON_VERSION_MINOR),
                    int(simdjson::SIMDJSON_VERSION_REVISION),
                    simdjson::get_active_implementation()->name().c_str(), ondemandKernel);

        // The same stores from both readers, or the timing compares different work.
        std::vector<simdjson::padded_string> padded;
        for (const Packet& packet : packets) {
            padded.emplace_back(packet.bytes.constData(), size_t(packet.bytes.size()));
            RecordStore ours, theirs;
            QList<FieldDef> oursFields, simdFields;
            ours.loadJson(packet.bytes, oneToOne(&oursFields));
            SimdPacketReader reader;
            simdLoad(reader, padded.back(), theirs, oneToOne(&simdFields));
            QStringList problems = differences(ours, theirs);
            if (oursFields != simdFields)
                problems.prepend(QStringLiteral("the fields differ"));
            std::printf("%-10s %d rows × %d columns: %s\n", qPrintable(packet.name),
                        ours.rowCount(), ours.columnCount(),
                        problems.isEmpty() ? "identical stores, every cell compared"
                                           : "STORES DIFFER");
            for (const QString& line : problems)
                std::printf("    %s\n", qPrintable(line));
        }

        SimdPacketReader keptReader;
        const QList<Step> allSteps = steps(keptReader);
        // figures[packet][step], the steps interleaved run by run.
        QList<QList<QList<double>>> figures(packets.size(), QList<QList<double>>(allSteps.size()));
        for (int run = 0; run < runs; ++run) {
            for (qsizetype p = 0; p < packets.size(); ++p) {
                for (qsizetype s = 0; s < allSteps.size(); ++s)
                    figures[p][s] << allSteps[s].run(packets[p].bytes, padded[size_t(p)]);
            }
        }
        const auto at = [&](qsizetype p, const char* label) {
            for (qsizetype s = 0; s < allSteps.size(); ++s)
                if (std::strcmp(allSteps[s].label, label) == 0)
                    return median(figures[p][s]);
            throw std::logic_error(label);
        };

        std::printf("\nPacket bytes to a filled RecordStore, median of %d runs (ms):\n", runs);
        std::printf("  %-10s %7s %9s %11s %8s %15s %12s\n", "packet", "MB", "ours", "simdjson",
                    "copy", "simdjson+copy", "ours/(s+c)");
        for (qsizetype p = 0; p < packets.size(); ++p) {
            const double ours = at(p, "ours: RecordStore::loadJson");
            const double simd = at(p, "simdjson: reader into RecordStore");
            const double copy = at(p, "simdjson: padded copy of the bytes");
            std::printf("  %-10s %7.1f %9.1f %11.1f %8.1f %15.1f %12.2f\n",
                        qPrintable(packets[p].name), double(packets[p].bytes.size()) / 1e6, ours,
                        simd, copy, simd + copy, ours / (simd + copy));
        }
        std::printf("\nEvery step, median (fastest) of %d runs (ms):\n  %-48s", runs, "");
        for (const Packet& packet : packets)
            std::printf(" %16s", qPrintable(packet.name));
        std::printf("\n");
        for (qsizetype s = 0; s < allSteps.size(); ++s) {
            std::printf("  %-48s", allSteps[s].label);
            for (qsizetype p = 0; p < packets.size(); ++p)
                std::printf(" %8.1f (%5.1f)", median(figures[p][s]),
                            *std::min_element(figures[p][s].cbegin(), figures[p][s].cend()));
            std::printf("\n");
        }

        // Freed memory handed back first, so that the growth is this load's own.
        const auto growth = [](const std::function<void(const std::function<void()>&)>& load) {
            ::malloc_trim(0);
            const double before = residentMb();
            double during = before;
            load([&] { during = residentMb(); });
            return during - before;
        };
        std::printf("\nResident growth while the packet's store is loaded (MB):\n");
        for (const Packet& packet : packets) {
            const double ours = growth([&](const std::function<void()>& measure) {
                RecordStore store;
                store.loadJson(packet.bytes, oneToOne());
                measure();
            });
            const double simd = growth([&](const std::function<void()>& measure) {
                const simdjson::padded_string copy(packet.bytes.constData(),
                                                   size_t(packet.bytes.size()));
                SimdPacketReader reader;
                RecordStore store;
                simdLoad(reader, copy, store, oneToOne());
                measure();
            });
            std::printf("  %-10s ours %7.0f   simdjson (store, parser buffers, copy) %7.0f\n",
                        qPrintable(packet.name), ours, simd);
        }
        printHostile();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench_json: %s\n", failure.what());
        return 1;
    }
    return 0;
}
