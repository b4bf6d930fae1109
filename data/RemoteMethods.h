#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <array>
#include <span>

// The remote data module FAS10000.rdmBCRInvoice as both sides see it: its methods with the
// kind of every argument, the arguments themselves, and the request a client sends. The
// client checks its calls against this table before sending; the server checks what arrives
// against the same table and answers the handshake from it.

// One argument of a late-bound call, with its type code. The by-reference bit (0x80) marks
// the arguments whose values the server sends back.
struct ServerArg
{
    enum Type : int { String = 0x48, StringByRef = 0xC8, Date = 0x07, Variant = 0x0C };
    static constexpr int ByRefBit = 0x80;

    Type type = String;
    QString text;    // String and StringByRef; a by-reference value is written back here
    QDateTime date;  // Date (an invalid date travels as null)
    QByteArray json; // Variant: the JSON text of a data packet or a delta, sent as it is

    bool byRef() const { return (type & ByRefBit) != 0; }

    static ServerArg string(const QString& value) { return {String, value, {}, {}}; }
    static ServerArg byRef(const QString& value) { return {StringByRef, value, {}, {}}; }
    static ServerArg dateTime(const QDateTime& value) { return {Date, {}, value, {}}; }
    // The packet's or delta's text, e.g. TClientDataSet::GetData or GetDelta.
    static ServerArg variant(const QByteArray& json) { return {Variant, {}, {}, json}; }
    // The same from a JSON object (its compact text).
    static ServerArg variant(const QJsonObject& object);
};

// Who makes a call, as the suite declares it with every request: the operating-system user
// and the workstation. They travel as two HTTP headers, percent-encoded UTF-8; the server
// keeps at most MaxLength characters of each, and writes them into the invoices' history.
struct Caller
{
    static constexpr char UserHeader[] = "X-FAS-Usuario";
    static constexpr char HostHeader[] = "X-FAS-Estacao";
    static constexpr qsizetype MaxLength = 64;

    QString user;
    QString host;

    // This process's user and machine.
    static Caller ofThisProcess();
    // A header's value, and the value read back: cut to MaxLength, control characters dropped,
    // "desconhecido" when there is nothing.
    static QByteArray encode(const QString& value);
    static QString decode(const QByteArray& header);
};

// One method of the module: its name and the kinds of its arguments, in order.
struct RemoteMethod
{
    const char* name;
    std::span<const ServerArg::Type> params;

    QString nameText() const { return QString::fromLatin1(name); }
};

namespace RemoteMethods {

inline constexpr char ModuleName[] = "FAS10000.rdmBCRInvoice";

inline constexpr std::array<ServerArg::Type, 16> filterParams{
    ServerArg::String,      // company
    ServerArg::StringByRef, // situation
    ServerArg::StringByRef, // all customers
    ServerArg::StringByRef, // all issue dates
    ServerArg::StringByRef, // all due dates
    ServerArg::StringByRef, // all receipt dates
    ServerArg::StringByRef, // all exchange dates
    ServerArg::StringByRef, // the customer list
    // issue, due, receipt and exchange dates: from, to
    ServerArg::Date, ServerArg::Date, ServerArg::Date, ServerArg::Date, ServerArg::Date,
    ServerArg::Date, ServerArg::Date, ServerArg::Date};
inline constexpr std::array<ServerArg::Type, 1> setInvoiceParams{ServerArg::Variant}; // delta
inline constexpr std::array<ServerArg::Type, 2> geraNFParams{ServerArg::Variant,      // packet
                                                             ServerArg::String};      // mode

inline constexpr std::array<ServerArg::Type, 2> historicoParams{ServerArg::String,  // company
                                                                ServerArg::String}; // invoice
inline constexpr std::array<ServerArg::Type, 2> estornoParams{
    ServerArg::Variant, // packet, as GeraNF's: the marked invoices
    ServerArg::String}; // what is reversed: "Recebimento" or "Câmbio"
inline constexpr std::array<ServerArg::Type, 1> previaNFParams{ServerArg::Variant}; // packet

inline constexpr RemoteMethod GetInvoice{"GetInvoice", filterParams};
inline constexpr RemoteMethod GetItem{"GetItem", filterParams};
inline constexpr RemoteMethod SetInvoice{"SetInvoice", setInvoiceParams};
inline constexpr RemoteMethod GeraNF{"GeraNF", geraNFParams};
// Beyond the screen's four: the history of an invoice (a data packet, newest first), the
// reversal of the last receipt or exchange of the marked invoices, and the notes GeraNF would
// issue in each mode, computed without writing anything.
inline constexpr RemoteMethod GetHistorico{"GetHistorico", historicoParams};
inline constexpr RemoteMethod EstornaInvoice{"EstornaInvoice", estornoParams};
inline constexpr RemoteMethod PreviaNF{"PreviaNF", previaNFParams};

inline constexpr std::array<const RemoteMethod*, 7> all{
    &GetInvoice, &GetItem, &SetInvoice, &GeraNF, &GetHistorico, &EstornaInvoice, &PreviaNF};

// The method called `name`, or nullptr.
const RemoteMethod* find(QStringView name);

// The handshake: {"module":…,"methods":[{"name":…,"params":[type codes…]},…]}.
QJsonObject describe();

// The texts both sides give for a call that does not fit (pt-BR).
QString unknownMethodText(QStringView name);
QString countText(const RemoteMethod& method, qsizetype received);
// "Argumento N de M: <what>; esperado <kind>."
QString argumentText(const RemoteMethod& method, qsizetype position, const QString& what,
                     ServerArg::Type expected);
// An argument's kind on the wire is its type name ("string", "date", "variant") and its
// by-reference flag: empty when they are those of `expected`, otherwise what was received.
QString kindMismatch(ServerArg::Type expected, const QString& typeName, bool byRef);
// The wire type name of a kind.
QString typeName(ServerArg::Type type);

// Empty when the arguments fit the method (count, kind of each, a variant that holds a JSON
// object's text); otherwise the first misfit, in the texts above.
QString check(const RemoteMethod& method, const QList<ServerArg>& args);

// The JSON-RPC 2.0 request for the call, written straight into bytes: a variant's text is
// copied in as it is.
QByteArray request(int id, const RemoteMethod& method, const QList<ServerArg>& args);

} // namespace RemoteMethods

// The sixteen arguments of GetInvoice and GetItem by name, and their positional form.
struct FilterArgs
{
    QString company;
    QString situation;    // "A_", "N_", "E_" in any combination
    QString allCustomers; // "T" or empty
    QString allIssue;     // "T" or empty, for each range
    QString allDue;
    QString allReceipt;
    QString allExchange;
    QString customers;              // the customer list (KeyList form)
    std::array<QDateTime, 8> dates; // issue from/to, due from/to, receipt from/to, exchange from/to

    // Every invoice of the company: every situation, no customer or date restriction.
    static FilterArgs everything(const QString& company);

    QList<ServerArg> toArgs() const;
    // From arguments that fit the filter methods (RemoteMethods::check); after a call, the
    // by-reference values are what the server sent back.
    static FilterArgs fromArgs(const QList<ServerArg>& args);
};
