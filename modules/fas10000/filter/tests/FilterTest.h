#pragma once

// The test object of tst_filter: the filter dialog against the real application server, every
// call recorded. Its set-up and helpers are defined in tst_filter.cpp, its tests by topic in
// tst_filter/*.cpp; the tests run in the order declared here.

#include "Cli_FAS10001.h"
#include "MessageService.h"
#include "RecordingServer.h"
#include "TfrmBCRInvoice.h"
#include "TfrmFiltroBCRInvoice.h"

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class TestFilter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void initialState();
    void situationAndFlags_data();
    void situationAndFlags();
    void customerListByReference();
    void validation_data();
    void validation();
    void rangeColouring_data();
    void rangeColouring();
    void notaFiscalFollowsPago();
    void keyboardOnly();
    void closingRestoresConfirmedCriteria();
    void firstOpeningCloseLoads();
    void hiddenReloadUsesSavedCriteria();
    void noMatchClosesItems();
    void getItemFailure();
    void halfLoadedListReloadsOnExit();
    void firstOpeningCloseWithServerFailure_data();
    void firstOpeningCloseWithServerFailure();
    void customerLookup();
    void options();

private:
    static inline const QString emptyDate = QStringLiteral("1899-12-30T00:00:00");

    static QString param(const RecordingServer::Call& call, int index);
    static QStringList paramValues(const RecordingServer::Call& call);
    // Clicks a radio button on its indicator (its centre may lie beyond its text).
    static void clickIndicator(QAbstractButton* button);
    // Every criterion and the states that follow it, as text.
    static QStringList criteria(TfrmFiltroBCRInvoice& f);
    // Types digits into a date edit as a user who tabbed into it.
    static void typeInto(TDateEditPlus* edit, const QString& digits);
    // The eight date edits in the dialog's tab order (issue, due, receipt, exchange).
    static QList<TDateEditPlus*> dateEdits(TfrmFiltroBCRInvoice& f);

    TfrmFiltroBCRInvoice& dialog() { return *Cli_FAS10001::frmFiltroBCRInvoice; }
    ScriptedMessageService& msgs() { return **messages; }
    // Shows the dialog modelessly (as the tests drive it) and makes it the active window.
    void showDialog();
    void confirm() { dialog().sbtConfirma->click(); }
    // Sets the criteria of a confirmation that succeeds, with company 01 loaded.
    void loadCompany(const QString& company);
    QList<RecordingServer::Call> filterCalls() const { return server->calls; }

    QTemporaryDir dir;
    QSqlDatabase db;
    std::unique_ptr<RecordingServer> server;
    std::unique_ptr<ScopedScriptedMessages> messages;
    TfrmBCRInvoice* screen = nullptr;
};
