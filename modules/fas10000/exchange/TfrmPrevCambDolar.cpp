#include "TfrmPrevCambDolar.h"

#include "BusyAnimation.h"
#include "Cli_FAS10000.h"
#include "Cli_FAS10003.h"
#include "EAbort.h"
#include "FormData.h"
#include "FormatFloat.h"
#include "FrameworkUtils.h"
#include "TfrmBCRInvoice.h"
#include "WholeText.h"

TfrmPrevCambDolar::TfrmPrevCambDolar(QWidget* parent) : TfrmRotiGeral(parent)
{
    const FormData data = FormData::load(QStringLiteral("Cli_FAS10003"));
    setupUi(this);
    applyDesignData(data);
    nedVrDolarDia->OnChange = [this] { nedVrDolarDiaChange(nedVrDolarDia); };
    nedVrDolarDia->OnExit = [this] { nedVrDolarDiaExit(nedVrDolarDia); };
    setupBaseForm(data.messages());
    KeepWholeTextShown(*edtVrInvoices);
    KeepWholeTextShown(*nedVrNF);
}

// The unit's variable clears itself (see UnitForm.h).
TfrmPrevCambDolar::~TfrmPrevCambDolar() = default;

void TfrmPrevCambDolar::applyDesignData(const FormData& data)
{
    for (TNumberEdit* edit : {nedVrDolarDia, nedTaxaCambio, nedVrNF}) {
        const QVariantMap design = data.controlProperties(edit->objectName());
        edit->SetDecimals(design.value(QStringLiteral("Decimals"), edit->Decimals()).toInt());
        edit->SetCurrency(design.value(QStringLiteral("Currency"), edit->Currency()).toBool());
        edit->SetThousands(design.value(QStringLiteral("Thousands"), edit->Thousands()).toBool());
    }
}

void TfrmPrevCambDolar::FormActivate(QObject*)
{
    repaint();
    nedVrDolarDia->setFocus();
    if (const TfrmBCRInvoice* screen = Cli_FAS10000::frmBCRInvoice)
        edtVrInvoices->setText(FloatToStr(screen->markedTotal()));
    nedVrDolarDia->clear();
    nedTaxaCambio->clear();
    nedVrNF->clear();
}

void TfrmPrevCambDolar::FormClose(QObject*, TCloseAction& action)
{
    if (TfrmBCRInvoice* screen = Cli_FAS10000::frmBCRInvoice;
        screen && screen->cdsInvoice->State() == TDataSetState::Edit)
        screen->cdsInvoice->Cancel();
    action = caHide;
}

void TfrmPrevCambDolar::nedVrDolarDiaChange(QObject*)
{
    nedVrNF->SetNumber(0);
}

void TfrmPrevCambDolar::nedVrDolarDiaExit(QObject*)
{
    if (nedVrDolarDia->text().isEmpty())
        return;
    nedVrNF->SetNumber(nedVrDolarDia->GetNumber() * StrToFloat(edtVrInvoices->text()));
}

void TfrmPrevCambDolar::fail(const QString& text, QWidget* control)
{
    control->setFocus();
    MensErro(text, true);
    throw EAbort(); // not reached: MensErro with true always raises
}

int TfrmPrevCambDolar::markedInvoices(TfrmBCRInvoice& screen, Refusal& refusal) const
{
    const TField& received = screen.cdsInvoice->FieldByName(QStringLiteral("DTRECINVOICE"));
    const QDate exchange = dbdCambio->GetDate();
    int marked = 0;
    // The invoice refused stays current.
    screen.ForEachMarked([&] {
        if (dbdCambio->text().isEmpty())
            refusal = Refusal::NoDate;
        else if (!dbdCambio->IsDateValid())
            refusal = Refusal::InvalidDate;
        // An exchange on the day of the receipt is accepted, whatever the receipt's time.
        else if (!received.IsNull() && exchange < received.AsDateTime().date())
            refusal = Refusal::BeforeReceipt;
        ++marked;
        return refusal == Refusal::None;
    });
    return refusal == Refusal::None ? marked : 0;
}

void TfrmPrevCambDolar::recordExchange(TfrmBCRInvoice& screen)
{
    TClientDataSet& list = *screen.cdsInvoice;
    TField& rate = list.FieldByName(QStringLiteral("VRTXCAMBIOINVOI"));
    TField& dollar = list.FieldByName(QStringLiteral("VRCAMBIOINVOICE"));
    TField& date = list.FieldByName(QStringLiteral("DTCAMBIOINVOICE"));
    const double rateValue = nedTaxaCambio->GetNumber();
    const double dollarValue = nedVrDolarDia->GetNumber();
    const QDateTime day(dbdCambio->GetDate(), QTime(0, 0));
    // Every post stays pending until the walk ends: the whole exchange is one save, and a
    // refusal of the server leaves none of it stored.
    screen.SaveAsOne([&] {
        screen.ForEachMarked([&] {
            list.Edit();
            rate.SetAsFloat(rateValue);
            dollar.SetAsFloat(dollarValue);
            date.SetAsDateTime(day);
            list.Post();
            return true;
        });
    });
}

void TfrmPrevCambDolar::sbtConfirmaClick(QObject*)
{
    // A text that is no number (a lone minus sign) counts as missing, not as zero.
    if (!nedVrDolarDia->parse(nedVrDolarDia->text()))
        fail(msgPadrao.Msg(QStringLiteral("VrDolar_Inf")), nedVrDolarDia);
    if (!nedTaxaCambio->parse(nedTaxaCambio->text()))
        fail(msgPadrao.Msg(QStringLiteral("TxCamb_Inf")), nedTaxaCambio);

    TfrmBCRInvoice& screen = *Cli_FAS10000::frmBCRInvoice;
    // Every marked invoice is checked before the first is changed. The walk runs with the
    // views of both lists suspended; a refusal is shown once they are back.
    Refusal refusal = Refusal::None;
    int marked = 0;
    {
        const HourglassGuard hourglass;
        marked = markedInvoices(screen, refusal);
    }
    switch (refusal) {
    case Refusal::None:
        break;
    case Refusal::NoDate:
        fail(msgPadrao.Msg(QStringLiteral("DtCamb_Inf")), dbdCambio);
    case Refusal::InvalidDate:
        // A half-typed date would read as the toolkit's zero date: reported as invalid.
        dbdCambio->setFocus();
        dbdCambio->CheckValidDate();
        break;
    case Refusal::BeforeReceipt:
        fail(msgPadrao.Msg(QStringLiteral("DtCamb>")), dbdCambio);
    }
    // No invoice is marked any more (a refused save takes the marks back with everything
    // else pending): there is nothing to record, so no success to report.
    if (marked == 0) {
        screen.LocateNrInvoiceAtual();
        MensErro(screen.msgPadrao.Msg(QStringLiteral("Inv_Inf_Camb")), true);
    }

    // A refusal stores nothing; the dialog stays open for another try or to be closed.
    recordExchange(screen);
    Close();
    msgPadrao.ShowMsg(QStringLiteral("Camb_Ok"), mtInformation, MessageService::Ok, 0);
}
