#pragma once

// The test object of tst_settlement: the settlement screen driven as a user drives it, against
// the real application server. Its set-up and helpers are defined in tst_settlement.cpp, its
// tests by topic in tst_settlement/*.cpp; the tests run in the order declared here.

#include "Cli_FAS10000.h"
#include "FrameworkUtils.h"
#include "MessageService.h"
#include "ScreenFixture.h"
#include "TDBGrid.h"
#include "TfrmBCRInvoice.h"
#include "TfrmFiltroBCRInvoice.h"
#include "ui_Cli_FAS10000.h"

#include <QtTest>
#include <functional>

class QMainWindow;
class QMdiArea;
class QMdiSubWindow;

// Keys typed into a field: key code and modifiers.
using Keys = QList<QPair<int, int>>;

// A filter dialog that counts its confirmations and showings; the first `failures`
// confirmations fail as a server failure would.
class CountingFilter : public TfrmFiltroBCRInvoice
{
public:
    int confirmations = 0;
    int shows = 0;
    int failures = 0;

    void sbtConfirmaClick(QObject* sender) override
    {
        ++confirmations;
        if (failures > 0) {
            --failures;
            MensErro(QStringLiteral("Servidor indisponível."), true);
        }
        TfrmFiltroBCRInvoice::sbtConfirmaClick(sender);
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        ++shows;
        TfrmFiltroBCRInvoice::showEvent(event);
    }
};

class TestSettlement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void markImages_data();
    void markImages();
    void toolButtons_data();
    void toolButtons();
    void gridColumns_data();
    void gridColumns();

    void typeWord_data();
    void typeWord();
    void amountsAsDisplayed_data();
    void amountsAsDisplayed();
    void itemsFollowCurrentInvoice();
    void secondInvoiceItems_data();
    void secondInvoiceItems();
    void openingInvoicesResetsMarkAll();

    void companyFieldTakesDigitsOnly_data();
    void companyFieldTakesDigitsOnly();
    void companyRefused_data();
    void companyRefused();
    void firstCompanyOpensFilter();
    void companyChangeReloadsWithoutDialog();
    void failedReloadKeepsFieldAndRetries();
    void companyLookup();
    void refreshReloadsWithSavedCriteria_data();
    void refreshReloadsWithSavedCriteria();
    void enteringHidesDetailPanel();

    void activationConnectsWithEndpointReadEachTime();

    void toggleMark_data();
    void toggleMark();
    void markAllAcrossLoads();
    void drawnMarkCells();
    void saveSendsPendingMarks_data();
    void saveSendsPendingMarks();
    void notesRefused_data();
    void notesRefused();
    void generateNotes_data();
    void generateNotes();
    void notesFailureKeepsList();

    void summaryOfTheList();
    void gridKeepsColumnsAndCurrentInvoice();

    void registrationPass_data();
    void registrationPass();
    void receiptStoresShares();
    void receiptRefusedStoresNothing_data();
    void receiptRefusedStoresNothing();
    void keyboardDay();

    void historyAndReversal_data();
    void historyAndReversal();
    void reversalRefused_data();
    void reversalRefused();
    void notePreview_data();
    void notePreview();

private:
    TfrmBCRInvoice* screen() const { return Cli_FAS10000::frmBCRInvoice; }
    CountingFilter* installFilter();
    CountingFilter* chooseCompany(const QString& company);
    DataPacket fetch(const QString& method, const QString& company);
    void loadCompany(const QString& company, const std::function<void(DataPacket&)>& invoices = {},
                     const std::function<void(DataPacket&)>& items = {});
    QString cell(TDBGrid* grid, int row, int column) const;
    void listCompany(const QString& company, const std::function<void(DataPacket&)>& invoices = {});
    QVariant invoiceValue(int row, const char* field) const;
    QString mark(int row) const;
    void clickMark(int row);
    // Rows of the loaded list that may get their note: received, exchanged, none issued.
    QList<int> readyForNotes() const;
    int storedNotes() const;
    // Open invoices (no receipt date, no note) of the loaded list, in list order.
    QList<int> openInvoices() const;
    // An invoice as the server holds it now, by number.
    Row serverInvoice(const QString& number, const DataPacket& packet) const;
    // The history of the current invoice as its dialog lists it (Ctrl+H), closed with Esc;
    // empty when none opened or Esc did not close it.
    QList<QStringList> historyShown();
    void typeIntoCompany(const QString& text);
    void leaveCompany();
    void enterCompany();
    void activateScreen();
    ScriptedMessageService& shown() const { return fixture.messages(); }

    ScreenFixture fixture;
    QString demoDb;
    int serverPort = 0;
    QMainWindow* mainWindow = nullptr;
    QMdiArea* area = nullptr;
    QMdiSubWindow* otherWindow = nullptr;
};
