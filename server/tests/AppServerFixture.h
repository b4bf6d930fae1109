#pragma once

// A demo database for the application server's tests and the helpers that call the server's
// methods on it and look at what they wrote.

#include "DataPacket.h"
#include "DemoData.h"
#include "DemoDay.h"
#include "InvoiceLayout.h"
#include "PacketWriter.h"
#include "RpcDispatcher.h"
#include "Schema.h"
#include "SortKey.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <cmath>
#include <functional>

// A delta's changes for the packet writer, any delta a test makes up, awkward ones included.
class MadeDelta final : public DeltaRowSource
{
public:
    explicit MadeDelta(const Delta& delta) : m_delta(delta) {}
    const QList<FieldDef>& fields() const override { return m_delta.fields; }
    bool next() override
    {
        m_set = -1;
        return ++m_change < m_delta.changes.size();
    }
    void writeCell(JsonWriter& out, int column, qsizetype row) override
    {
        writeJsonValue(out, m_delta.fields.at(column), change().old.at(column), row);
    }
    bool nextChanged(int& column) override
    {
        if (++m_set >= change().set.size())
            return false;
        const FieldDef* field = findFieldDef(m_delta.fields, change().set.at(m_set).first);
        if (!field)
            qFatal("the delta sets a field it does not have");
        column = int(field - m_delta.fields.constData());
        return true;
    }
    void writeChanged(JsonWriter& out, int column) override
    {
        writeJsonValue(out, m_delta.fields.at(column), change().set.at(m_set).second, -1);
    }

private:
    const DeltaChange& change() const { return m_delta.changes.at(m_change); }

    const Delta& m_delta;
    qsizetype m_change = -1;
    qsizetype m_set = -1;
};

class AppServerFixture
{
public:
    QSqlDatabase db;

    void fill()
    {
        Schema::create(db);
        DemoData(DemoData::DefaultInvoices, demoDay()).fill(db);
    }

    // Every table of the schema, in the order it is created (a table after those it refers to).
    static QStringList tables()
    {
        static const QRegularExpression create(QStringLiteral("^CREATE TABLE (\\w+)"));
        QStringList names;
        for (const QString& sql : Schema::statements()) {
            const QRegularExpressionMatch match = create.match(sql);
            if (match.hasMatch())
                names.append(match.captured(1));
        }
        return names;
    }

    qint64 scalar(const QString& sql) const
    {
        QSqlQuery query(db);
        if (!query.exec(sql) || !query.next())
            qFatal("query failed: %s", qPrintable(sql));
        return query.value(0).toLongLong();
    }

    // Every row of the tables a call may write, as text: equal before and after means
    // nothing was written.
    QStringList snapshot() const
    {
        QStringList rows;
        for (const char* sql : {"SELECT * FROM INVOICE ORDER BY CDEMPRESA, NRINVOICE",
                                "SELECT * FROM NOTAFISCAL ORDER BY CDEMPRESA, CDFILIAL, NRNOTAFISC",
                                "SELECT * FROM NOTAFISCALINVOICE ORDER BY CDEMPRESA, NRINVOICE",
                                "SELECT * FROM SEQNOTAFISC ORDER BY CDEMPRESA, CDFILIAL",
                                "SELECT * FROM HISTINVOICE ORDER BY NRHISTORICO"}) {
            QSqlQuery query(db);
            query.setForwardOnly(true);
            query.exec(QString::fromLatin1(sql));
            // The record is built anew on every call: count the columns once.
            const int columns = query.record().count();
            while (query.next()) {
                QStringList values;
                for (int i = 0; i < columns; ++i) {
                    const QVariant value = query.value(i);
                    values.append(value.isNull() ? QStringLiteral("<null>") : value.toString());
                }
                rows.append(values.join(QLatin1Char('|')));
            }
        }
        return rows;
    }

    // A packet's and a delta's JSON form as request arguments carry them.
    static QJsonObject asObject(const DataPacket& packet)
    {
        return QJsonDocument::fromJson(packet.toJson()).object();
    }
    static QJsonObject asObject(const Delta& delta)
    {
        MadeDelta changes(delta);
        return QJsonDocument::fromJson(deltaJson(changes)).object();
    }

    static QJsonObject arg(const char* type, const QJsonValue& value, bool byref = false)
    {
        QJsonObject object{{QStringLiteral("type"), QString::fromLatin1(type)},
                           {QStringLiteral("value"), value}};
        if (byref)
            object.insert(QStringLiteral("byref"), true);
        return object;
    }

    // The sixteen arguments on the wire for a company, situation, customer list (null: all
    // customers) and date ranges (issue, due, receipt, exchange: "from|to"; empty: open).
    static QJsonArray filterParams(const QString& company, const QString& situation,
                                   const QString& customers, const QStringList& ranges)
    {
        FilterArgs filter;
        filter.company = company;
        filter.situation = situation;
        filter.allCustomers = customers.isNull() ? QStringLiteral("T") : QString();
        filter.customers = customers.isNull() ? QString() : customers;
        QString* const flags[] = {&filter.allIssue, &filter.allDue, &filter.allReceipt,
                                  &filter.allExchange};
        for (int r = 0; r < 4; ++r) {
            const QString range = ranges.value(r);
            *flags[r] = range.isEmpty() ? QStringLiteral("T") : QString();
            const QStringList bounds = range.split(QLatin1Char('|'));
            for (int b = 0; b < 2; ++b)
                filter.dates[size_t(2 * r + b)] =
                    QDateTime(range.isEmpty() ? QDate(1899, 12, 30)
                                              : QDate::fromString(bounds.value(b), Qt::ISODate),
                              QTime(0, 0));
        }
        return QJsonDocument::fromJson(
                   RemoteMethods::request(7, RemoteMethods::GetInvoice, filter.toArgs()))
            .object()
            .value(QStringLiteral("params"))
            .toArray();
    }

    static QByteArray request(const QString& method, const QJsonArray& params)
    {
        const QJsonObject request{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                                  {QStringLiteral("id"), 7},
                                  {QStringLiteral("method"), method},
                                  {QStringLiteral("params"), params}};
        return QJsonDocument(request).toJson();
    }

    // One call through a service of its own, or through `service` (which keeps its prepared
    // statements from call to call, as the running server's does).
    QJsonObject call(const QString& method, const QJsonArray& params,
                     InvoiceService::Options options = {}, InvoiceService* service = nullptr,
                     const Caller& caller = {}) const
    {
        InvoiceService own(db, options);
        RpcDispatcher dispatcher(service ? *service : own);
        return QJsonDocument::fromJson(dispatcher.handle(request(method, params), caller).body)
            .object();
    }

    // A successful call's data.
    static QJsonValue data(const QJsonObject& answer)
    {
        return answer.value(QStringLiteral("result")).toObject().value(QStringLiteral("data"));
    }

    DataPacket invoices(const QString& company, const QString& situation = "A_N_E_") const
    {
        const QJsonObject answer =
            call(QStringLiteral("GetInvoice"), filterParams(company, situation, {}, {}));
        return DataPacket::fromJsonObject(answer.value(QStringLiteral("result"))
                                              .toObject()
                                              .value(QStringLiteral("data"))
                                              .toObject());
    }

    static QString message(const QJsonObject& answer)
    {
        const QJsonObject result = answer.value(QStringLiteral("result")).toObject();
        return result.value(QStringLiteral("ok")).toBool()
                   ? QStringLiteral("<ok>")
                   : result.value(QStringLiteral("message")).toString();
    }

    static int at(const char* field)
    {
        for (qsizetype i = 0; i < InvoiceLayout::invoiceFields().size(); ++i) {
            if (InvoiceLayout::invoiceFields().at(i).name == QLatin1String(field))
                return int(i);
        }
        return -1;
    }
};
