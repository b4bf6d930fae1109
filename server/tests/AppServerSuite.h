#pragma once

// The application server's behaviour, checked against a demo database. The same checks run
// on SQLite (tst_appserver) and on PostgreSQL (tst_appserver_pg): each test class derives
// from this one, says which database to use in its initTestCase and init, and adds the
// checks of its own database. The checks are defined by topic in AppServerSuite*.cpp.

#include "AppServerFixture.h"

#include <QObject>
#include <QSet>

class AppServerSuite : public QObject, public AppServerFixture
{
    Q_OBJECT

protected:
    // The request as any JSON writer may put it: the answer is the one of the plain request.
    // (How the request is read does not depend on the database: SQLite alone runs it.)
    static void requestShapesData();

    void checkRequestShapes() const;

private:
    // Marks the ready invoices (received, exchanged, no note) of the first customers.
    struct Marked
    {
        DataPacket packet;
        QStringList numbers;
        QSet<QString> customers;
    };

    // A delta that changes the receipt of one open invoice of company 01.
    Delta receiptDelta(const DataPacket& packet, int row) const;

    Marked markReady(const QString& company, int wanted) const;

    static QJsonArray filterParamsWithBadDate();

private slots:
    void filter_data();

    void filter();

    // Customers in reading order, accents and case aside, each one's invoices together.
    void listOrder();

    // A database made before customers had their sort key gets it.
    void upgradeAddsTheSortKey();

    void setInvoiceApplies();

    void setInvoiceRefused_data();

    void setInvoiceRefused();

    // One service answers call after call with the statements it prepared for the first:
    // a stale original row is still a conflict, a failure halfway still leaves nothing, and
    // other sets of changed fields get their own statements.
    void setInvoiceOnOneConnection();

    void geraNF_data();

    void geraNF();

    void geraNFRefused_data();

    void geraNFRefused();

    // The marks GeraNF reads from a packet's text, against the same packet read whole: the
    // invoices of its rows marked "S", or the reader's own refusal.
    void markedFromText_data();

    void markedFromText();

    void badRequest_data();

    void badRequest();

    // Every stored change is in the history with its caller, and never without the change;
    // a reversal puts back what the history holds from before the last receipt or exchange.
    void historyAndReversal();

    // The notes the preview shows for each mode are those GeraNF then issues, to the cent,
    // and the preview writes nothing.
    void previewIsWhatGeraNFIssues_data();
    void previewIsWhatGeraNFIssues();

};
