// The settlement screen's registration commands (receipt, exchange, the fiscal notes' screen),
// the generation of fiscal notes, and reloading the list.
#include "TfrmBCRInvoice.h"

#include "BusyAnimation.h"
#include "CheckResultServ.h"
#include "Cli_FAS10001.h"
#include "Cli_FAS10002.h"
#include "Cli_FAS10003.h"
#include "ControlsSuspended.h"
#include "FrameworkUtils.h"
#include "LoadBPL.h"
#include "NotesPreviewText.h"
#include "TfrmFiltroBCRInvoice.h"
#include "ui_Cli_FAS10000.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QScopedValueRollback>

// ---- registration commands ------------------------------------------------------------------

void TfrmBCRInvoice::sbtCadAutoClick(QObject*)
{
    if (ui->sbtCadAuto->isEnabled())
        ui->pmnCadAuto->popup(ui->sbtCadAuto->mapToGlobal(QPoint(0, ui->sbtCadAuto->height())));
}

void TfrmBCRInvoice::addUpMarked(bool receiptRequired)
{
    NrInvoiceAtual = cdsInvoice->FieldByName(QStringLiteral("NRINVOICE")).AsString();
    bool complete = true;
    {
        const WindowUpdateLock locked(this);
        const TField& total = cdsInvoice->FieldByName(QStringLiteral("TOTALINVOICE"));
        const TField& received = cdsInvoice->FieldByName(QStringLiteral("DTRECINVOICE"));
        VrInvoices = 0;
        // A walk stopped at an invoice without receipt leaves the list on it.
        complete = ForEachMarked([&] {
            if (receiptRequired && received.IsNull())
                return false;
            VrInvoices += total.AsFloat();
            return true;
        });
    }
    if (!complete)
        MensErro(msgPadrao.Msg(QStringLiteral("Camb_Not")), true);
    LocateNrInvoiceAtual();
}

void TfrmBCRInvoice::mnuConfRecebClick(QObject*)
{
    addUpMarked(false);
    if (VrInvoices > 0)
        Cli_FAS10002::CriaConfReceb();
    else
        MensErro(msgPadrao.Msg(QStringLiteral("Inv_Inf_Receb")), true);
}

void TfrmBCRInvoice::mnuPrevCambClick(QObject*)
{
    addUpMarked(true);
    if (VrInvoices > 0)
        Cli_FAS10003::CriaPrevCambDolar();
    else
        MensErro(msgPadrao.Msg(QStringLiteral("Inv_Inf_Camb")), true);
}

void TfrmBCRInvoice::mnuEmissNFClick(QObject*)
{
    LoadBPL(QStringLiteral("DFS15001"));
}

void TfrmBCRInvoice::mnuMainConfRecebClick(QObject* sender)
{
    mnuConfRecebClick(sender);
}

void TfrmBCRInvoice::mnuMainPrevCambClick(QObject* sender)
{
    mnuPrevCambClick(sender);
}

void TfrmBCRInvoice::mnuMainEmissNFClick(QObject* sender)
{
    mnuEmissNFClick(sender);
}

// ---- Nota Fiscal ----------------------------------------------------------------------------

void TfrmBCRInvoice::ValidaItemMarcado()
{
    // The walk runs with both lists' controls suspended; a failing check is shown once they
    // are back, with the invoice that failed as the current record.
    QString failure;
    {
        const HourglassGuard hourglass;
        const TField& received = cdsInvoice->FieldByName(QStringLiteral("DTRECINVOICE"));
        const TField& exchanged = cdsInvoice->FieldByName(QStringLiteral("DTCAMBIOINVOICE"));
        TBookmark firstMarked;
        // The invoice that failed stays current.
        ForEachMarked([&] {
            if (firstMarked.isNull())
                firstMarked = cdsInvoice->GetBookmark();
            if (EmptyString(received.AsString()))
                failure = QStringLiteral("Receb_Inf");
            else if (EmptyString(exchanged.AsString()))
                failure = QStringLiteral("Camb_Inf");
            return failure.isEmpty();
        });
        if (failure.isEmpty()) {
            const ControlsSuspended invoices(*cdsInvoice);
            const ControlsSuspended items(*cdsItem);
            cdsInvoice->First();
            if (firstMarked.isNull())
                failure = QStringLiteral("Inv_Inf");
            else
                cdsInvoice->GotoBookmark(firstMarked);
        }
    }
    if (!failure.isEmpty())
        MensErro(msgPadrao.Msg(failure), true);
}

void TfrmBCRInvoice::sbtGerarNFClick(QObject* sender)
{
    ValidaItemMarcado();
    // The question as it stands, with what each answer would issue below it.
    const QString preview = NotesPreview();
    const MessageService::Answer answer =
        MessageDlg(msgPadrao.Msg(QStringLiteral("NF_Unif")), mtConfirmation,
                   MessageService::Yes | MessageService::No | MessageService::Cancel, 0, preview);
    QString mode;
    if (answer == MessageService::Answer::Yes)
        mode = QStringLiteral("Unificada");
    else if (answer == MessageService::Answer::No)
        mode = QStringLiteral("Separadas");
    else
        return;
    repaint();
    QJsonObject result;
    {
        const HourglassGuard hourglass;
        const BusyGuard busy(MainForm(), 1);
        QList<ServerArg> args{ServerArg::variant(cdsInvoice->GetData()), ServerArg::string(mode)};
        result = QJsonDocument::fromJson(
                     CheckResultServ(netBCRInvoice->GetServer().call(RemoteMethods::GeraNF, args),
                                     true, 0))
                     .object();
    }
    ReportNotes(result);
    sbtVerificarClick(sender);
}

QString TfrmBCRInvoice::NotesPreview()
{
    QJsonObject preview;
    {
        const HourglassGuard hourglass;
        const BusyGuard busy(MainForm(), 1);
        QList<ServerArg> args{ServerArg::variant(cdsInvoice->GetData())};
        preview = QJsonDocument::fromJson(
                      CheckResultServ(
                          netBCRInvoice->GetServer().call(RemoteMethods::PreviaNF, args), true, 0))
                      .object();
    }
    return NotesPreviewText::of(preview);
}

void TfrmBCRInvoice::ReportNotes(const QJsonObject& result)
{
    // The server issues no note for an invoice whose note another user issued meanwhile (a
    // list older than that note): it reports those invoices apart.
    const auto joined = [&result](const QString& list, const QString& member) {
        QStringList texts;
        for (const QJsonValue& entry : result.value(list).toArray())
            texts << (member.isEmpty() ? entry.toString() : entry[member].toString());
        return texts.join(QStringLiteral(", "));
    };
    const QString notes = joined(QStringLiteral("notas"), QStringLiteral("NRNOTAFISC"));
    const QString alreadyIssued = joined(QStringLiteral("jaEmitidas"), QString());
    if (alreadyIssued.isEmpty())
        msgPadrao.ShowMsg(QStringLiteral("NF_Ok"), mtInformation, MessageService::Ok, 0);
    else if (notes.isEmpty())
        MessageDlg(msgPadrao.Msg(QStringLiteral("NF_Nenhuma")).arg(alreadyIssued), mtWarning,
                   MessageService::Ok, 0);
    else
        MessageDlg(msgPadrao.Msg(QStringLiteral("NF_Parcial")).arg(notes, alreadyIssued),
                   mtInformation, MessageService::Ok, 0);
}

void TfrmBCRInvoice::mnuGerarNFClick(QObject* sender)
{
    sbtGerarNFClick(sender);
}

// ---- reloading ------------------------------------------------------------------------------

void TfrmBCRInvoice::sbtVerificarClick(QObject* sender)
{
    const QString current =
        hasInvoices() ? cdsInvoice->FieldByName(QStringLiteral("NRINVOICE")).AsString() : QString();
    {
        const ControlsSuspended suspended(*cdsItem);
        Cli_FAS10001::frmFiltroBCRInvoice->sbtConfirmaClick(sender);
    }
    // The invoice that was current stays current when it is still listed.
    if (!current.isEmpty() && hasInvoices())
        cdsInvoice->Locate(QStringLiteral("NRINVOICE"), current);
    ui->dbgPadrao->setFocus();
}
