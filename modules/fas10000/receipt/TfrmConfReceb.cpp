#include "TfrmConfReceb.h"

#include "Cli_FAS10000.h"
#include "Cli_FAS10002.h"
#include "Colors.h"
#include "EventDispatch.h"
#include "FocusTracker.h"
#include "FormData.h"
#include "FormatFloat.h"
#include "FrameworkUtils.h"
#include "Money.h"
#include "ReceiptShares.h"
#include "TfrmBCRInvoice.h"
#include "WholeText.h"

#include <QKeyEvent>
#include <QRegularExpression>

namespace {

void setBackground(QWidget* control, const QColor& colour)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, colour);
    control->setPalette(palette);
}

// A text cut to what the field holds.
QString fitted(const TField& field, const QString& text)
{
    return field.Size() > 0 ? text.left(field.Size()) : text;
}

} // namespace

TfrmConfReceb::TfrmConfReceb(QWidget* parent) : TfrmRotiGeral(parent)
{
    setupUi(this);
    const FormData data = FormData::load(QStringLiteral("Cli_FAS10002"));
    setupBaseForm(data.messages());
    const QVariantMap date = data.controlProperties(QStringLiteral("dbdReceb"));
    dbdReceb->SaveTime = date.value(QStringLiteral("SaveTime")).toBool();
    dbdReceb->NomeSemana = date.value(QStringLiteral("NomeSemana")).toStringList();
    dbdReceb->ValidDateColor = clBlue;

    FocusTracker::setOnExit(edtVrOrdPgto, [this] { edtVrOrdPgtoExit(edtVrOrdPgto); });
    dbdReceb->OnExit = [this] { dbdRecebExit(dbdReceb); };
    edtVrOrdPgto->installEventFilter(this);
    KeepWholeTextShown(*edtValorInvoices);
    // The fields take Tab as they are laid out, from the date the dialog opens on; the
    // confirmation comes after the last of them, not between the amount and the reference,
    // where a clerk typing the reference would type into the button.
    setTabOrder(memObservacao, sbtConfirma);
}

TfrmConfReceb::~TfrmConfReceb()
{
    // First, so that no handler of the dialog runs while it is being destroyed. The unit's
    // variable clears itself (see UnitForm.h).
    FocusTracker::clearHandlers(edtVrOrdPgto);
}

void TfrmConfReceb::FormActivate(QObject*)
{
    repaint();
    dbdReceb->setFocus();
    edtValorInvoices->setText(FloatToStr(Cli_FAS10000::frmBCRInvoice->markedTotal()));
    edtVrOrdPgto->clear();
    edtReferencia->clear();
    memObservacao->clear();
}

void TfrmConfReceb::FormClose(QObject*, TCloseAction& action)
{
    if (TfrmBCRInvoice* screen = Cli_FAS10000::frmBCRInvoice;
        screen && screen->cdsInvoice->State() == TDataSetState::Edit)
        screen->cdsInvoice->Cancel();
    action = caHide;
}

bool TfrmConfReceb::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edtVrOrdPgto && event->type() == QEvent::KeyPress) {
        const auto& keyEvent = static_cast<const QKeyEvent&>(*event);
        if (keyEvent.text().isEmpty())
            return false;
        QChar key = keyEvent.text().at(0);
        Dispatch([&] { edtVrOrdPgtoKeyPress(edtVrOrdPgto, key); });
        return key.isNull();
    }
    return TfrmRotiGeral::eventFilter(watched, event);
}

void TfrmConfReceb::edtVrOrdPgtoKeyPress(QObject*, QChar& key)
{
    const bool control = key == QChar(8) || key == QChar(9) || key == QChar(27);
    const bool digit = key >= QLatin1Char('0') && key <= QLatin1Char('9');
    const bool comma = key == QLatin1Char(',') && !edtVrOrdPgto->text().contains(QLatin1Char(','));
    if (!control && !digit && !comma)
        key = QChar(0);
}

qint64 TfrmConfReceb::paymentCents() const
{
    // A payment is what the key filter lets through: digits and one comma. A pasted sign,
    // full stop or exponent is no amount the field can hold.
    static const QRegularExpression amount(QStringLiteral("^\\s*[0-9]*,?[0-9]*\\s*$"));
    const QString typed = edtVrOrdPgto->text();
    const std::optional<Money::Cents> cents =
        amount.match(typed).hasMatch() ? Money::fromText(typed) : std::nullopt;
    if (!cents)
        MensErro(QStringLiteral("\"%1\" não é um valor válido para a Ordem de Pagamento. "
                                "Informe o valor com vírgula decimal, por exemplo 1234,56.")
                     .arg(edtVrOrdPgto->text()),
                 true);
    return *cents;
}

void TfrmConfReceb::edtVrOrdPgtoExit(QObject*)
{
    if (!edtVrOrdPgto->text().isEmpty())
        edtVrOrdPgto->setText(FloatToStr(Money::fromCents(paymentCents())));
}

void TfrmConfReceb::dbdRecebExit(QObject*)
{
    dbdReceb->CheckValidDate();
}

void TfrmConfReceb::sbtConfirmaClick(QObject*)
{
    TfrmBCRInvoice& screen = *Cli_FAS10000::frmBCRInvoice;
    TClientDataSet& invoices = *screen.cdsInvoice;

    qint64 payment = 0;
    try {
        payment = edtVrOrdPgto->text().isEmpty() ? 0 : paymentCents();
        if (payment == 0)
            MensErro(msgPadrao.Msg(QStringLiteral("VrOrdPgto_Inf")), true);
    } catch (...) {
        edtVrOrdPgto->setFocus();
        throw;
    }
    double listed = 0;
    TryStrToFloat(edtValorInvoices->text(), listed);
    const bool observationNeeded = payment < Money::cents(listed);
    if (observationNeeded && memObservacao->toPlainText().isEmpty()) {
        memObservacao->setFocus();
        setBackground(memObservacao, clInfoBk);
        MensErro(msgPadrao.Msg(QStringLiteral("Observa_Deve")), true);
    }
    setBackground(memObservacao, clWindow);
    try {
        dbdReceb->CheckValidDate();
    } catch (...) {
        dbdReceb->setFocus();
        throw;
    }

    // Every check for every marked invoice before the first change: a confirmation is
    // stored whole or not at all. A refusal leaves the list on the invoice refused.
    const TField& issued = invoices.FieldByName(QStringLiteral("DTEMISINVOICE"));
    const TField& exchanged = invoices.FieldByName(QStringLiteral("DTCAMBIOINVOICE"));
    const TField& total = invoices.FieldByName(QStringLiteral("TOTALINVOICE"));
    const TField& kind = invoices.FieldByName(QStringLiteral("IDAPURFATFAS"));
    QList<ReceiptInvoice> division;
    QString refusal;
    const bool noDate = dbdReceb->text().isEmpty(); // read once: the walk may be long
    const QDate receiptDate = noDate ? QDate() : dbdReceb->GetDate();
    screen.ForEachMarked([&] {
        if (noDate)
            refusal = msgPadrao.Msg(QStringLiteral("DtReceb_Inf"));
        else if (receiptDate < issued.AsDateTime().date())
            refusal = msgPadrao.Msg(QStringLiteral("DtReceb>"));
        // An invoice already exchanged cannot have been received after its exchange.
        else if (!exchanged.IsNull() && receiptDate > exchanged.AsDateTime().date())
            refusal = msgPadrao.Msg(QStringLiteral("DtReceb<Camb"))
                          .arg(invoices.FieldByName(QStringLiteral("NRINVOICE")).AsString());
        if (refusal.isEmpty())
            division.append({Money::cents(total.AsFloat()), kind.AsString() == QLatin1String("6")});
        return refusal.isEmpty();
    });
    if (!refusal.isEmpty()) {
        dbdReceb->setFocus();
        MensErro(refusal, true);
    }
    // No invoice is marked any more (a refused save takes the marks back with everything else
    // pending): nothing to record, and no success to report.
    if (division.isEmpty()) {
        screen.LocateNrInvoiceAtual();
        MensErro(screen.msgPadrao.Msg(QStringLiteral("Inv_Inf_Receb")), true);
    }

    const QList<qint64> shares = ReceiptShares(payment, division);
    QString observation;
    const QStringList lines = memObservacao->toPlainText().split(QLatin1Char('\n'));
    if (!memObservacao->toPlainText().isEmpty())
        for (const QString& line : lines)
            observation += line + QStringLiteral("\r\n");
    const QDateTime received(receiptDate, QTime(0, 0));
    // A refusal stores nothing; the dialog stays open for another try or to be closed.
    screen.SaveAsOne([&] {
        qsizetype next = 0; // the same marked invoices, in the same order, as checked
        const QString reference = edtReferencia->text();
        screen.ForEachMarked([&] {
            invoices.Edit();
            invoices.FieldByName(QStringLiteral("DTRECINVOICE")).SetAsDateTime(received);
            invoices.FieldByName(QStringLiteral("VRORDPGTOINVOI"))
                .SetAsFloat(Money::fromCents(shares.at(next++)));
            TField& referenceField = invoices.FieldByName(QStringLiteral("DSREFPGTOINVOI"));
            referenceField.SetAsString(fitted(referenceField, reference));
            TField& remark = invoices.FieldByName(QStringLiteral("DSOBSPGTOINVOI"));
            remark.SetAsString(fitted(remark, observation));
            invoices.Post();
            return true;
        });
    });
    Close();
    msgPadrao.ShowMsg(QStringLiteral("Receb_Ok"), mtInformation, MessageService::Ok, 0);
}
