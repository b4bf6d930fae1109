// The settlement screen's company field: its key rules, leaving it (validation, the first
// opening of the filter, reloading for another company) and the company lookup.
#include "TfrmBCRInvoice.h"

#include "Cli_FAS10001.h"
#include "ControlsSuspended.h"
#include "EventDispatch.h"
#include "FrameworkUtils.h"
#include "TADOIBQuery.h"
#include "TfrmFiltroBCRInvoice.h"
#include "ui_Cli_FAS10000.h"

#include <QKeyEvent>

namespace {

// The toolkit's virtual key code of a key event, as far as the screen tells keys apart: the
// keypad's plus and minus have their own codes, every other key keeps Qt's.
int virtualKey(const QKeyEvent& event)
{
    if (event.modifiers().testFlag(Qt::KeypadModifier)) {
        if (event.key() == Qt::Key_Plus)
            return TfrmBCRInvoice::VK_ADD;
        if (event.key() == Qt::Key_Minus)
            return TfrmBCRInvoice::VK_SUBTRACT;
    }
    return event.key();
}

// Whether a key press types a character into an edit (and so reaches its key-press
// handler): not the focus keys, not Delete, not the keys that type nothing.
bool typesCharacter(const QKeyEvent& event)
{
    if (event.text().isEmpty())
        return false;
    switch (event.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return false;
    default:
        return true;
    }
}

} // namespace

// ---- the company field ----------------------------------------------------------------------

void TfrmBCRInvoice::medCdEmpresaEnter(QObject*)
{
    ui->sbtMais->setEnabled(false);
    ui->panTaxaCambio->setVisible(false);

    for (TButtonFlat* button :
         {ui->sbtFiltrar, ui->sbtProcurar, ui->sbtVerificar, ui->sbtCadAuto, ui->sbtGerarNF})
        button->setEnabled(false);
    ui->mnuFiltrar->setEnabled(ui->sbtFiltrar->isEnabled());
    ui->mnuCadAuto->setEnabled(ui->sbtCadAuto->isEnabled());
    ui->mnuProcurar->setEnabled(ui->sbtProcurar->isEnabled());
    ui->mnuVerificar->setEnabled(ui->sbtVerificar->isEnabled());
    ui->mnuMais->setEnabled(ui->sbtMais->isEnabled());

    CdEmpresaAnterior = ui->medCdEmpresa->text();
    ui->mnuGerarNF->setEnabled(ui->sbtGerarNF->isEnabled());
    enableMaintenanceCommands(false);

    // The item pane is the splitter's second widget.
    QList<int> sizes = ui->splInvoiceItem->sizes();
    if (sizes.size() == 2) {
        const int itemHeight = 203;
        sizes = {qMax(0, sizes.at(0) + sizes.at(1) - itemHeight), itemHeight};
        ui->splInvoiceItem->setSizes(sizes);
    }
}

void TfrmBCRInvoice::medCdEmpresaExit(QObject* sender)
{
    // A screen being closed or hidden takes the focus away without the user leaving the
    // field: nothing is validated or loaded then (and putting the focus back into a hidden
    // field would only make the window hand it on again, endlessly).
    if (!isVisible())
        return;
    try {
        if (EmptyString(ui->medCdEmpresa->text()))
            MensErro(msgPadrao.Msg(QStringLiteral("Emp_Inf")), true);
        ui->medCdEmpresa->setText(Ajusta(ui->medCdEmpresa->text(), 2));

        qryEmpresa->Close();
        qryEmpresa->GetIBParams().ParamByName(QStringLiteral("P_TCDEMPRESA")).AsString.clear();
        qryEmpresa->GetIBParams().ParamByName(QStringLiteral("P_CDEMPRESA")).AsString =
            ui->medCdEmpresa->text();
        qryEmpresa->Open();
        if (qryEmpresa->IsEmpty())
            MensErro(msgPadrao.Msg(QStringLiteral("Emp_Not")), true);
        ui->edtNmEmpresa->setText(qryEmpresa->FieldByName(QStringLiteral("NMEMPRESA")).AsString());
    } catch (...) {
        ui->medCdEmpresa->setFocus();
        throw;
    }

    {
        const ControlsSuspended items(*cdsItem);
        try {
            if (!Cli_FAS10001::frmFiltroBCRInvoice) {
                // The first company since the module was loaded: the user sets the criteria.
                CdEmpresaAnterior.clear();
                Cli_FAS10001::CriaFiltroBCRInvoice();
                setInvoiceGridDefaultColors(true);
                setInvoiceGridDefaultColors(false);
                CdEmpresaAnterior = ui->medCdEmpresa->text();
            } else if (reloadOnExit || CdEmpresaAnterior != ui->medCdEmpresa->text()) {
                // Another company, or a list that did not load whole: reload at once with the
                // criteria last confirmed.
                Cli_FAS10001::frmFiltroBCRInvoice->sbtConfirmaClick(sender);
                // The list is this company's now: closing the filter without confirming it
                // must change nothing, as after the first opening.
                CdEmpresaAnterior = ui->medCdEmpresa->text();
            }
        } catch (...) {
            // The list on the screen may now be another company's (or half loaded): the focus
            // goes back to the field without entering it again, so that the remembered code
            // stays the one of the list and the next exit loads again.
            ui->medCdEmpresa->setFocus();
            throw;
        }
        ui->sbtFiltrar->setEnabled(true);
        ui->mnuFiltrar->setEnabled(ui->sbtFiltrar->isEnabled());
    }
    dtsPadraoStateChange(dtsPadrao);
}

void TfrmBCRInvoice::medCdEmpresaChange(QObject*)
{
    ui->edtNmEmpresa->clear();
}

void TfrmBCRInvoice::medCdEmpresaKeyPress(QObject*, QChar& key)
{
    const bool digit = key >= QLatin1Char('0') && key <= QLatin1Char('9');
    if (!digit && key != QChar(8))
        key = QChar(0);
}

void TfrmBCRInvoice::medCdEmpresaKeyDown(QObject*, int& key, Qt::KeyboardModifiers)
{
    if (key == VK_ADD || key == VK_SUBTRACT)
        key = 0;
}

bool TfrmBCRInvoice::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->medCdEmpresa && event->type() == QEvent::KeyPress)
        return companyKeyEvent(static_cast<QKeyEvent&>(*event));
    return TfrmPadraoGrid::eventFilter(watched, event);
}

// Runs the company field's key handlers on a key press; true drops the event.
bool TfrmBCRInvoice::companyKeyEvent(QKeyEvent& event)
{
    int key = virtualKey(event);
    Dispatch([&] { medCdEmpresaKeyDown(ui->medCdEmpresa, key, event.modifiers()); });
    if (key == 0)
        return true;
    if (!typesCharacter(event))
        return false;
    QChar character = event.text().at(0);
    Dispatch([&] { medCdEmpresaKeyPress(ui->medCdEmpresa, character); });
    return character.isNull();
}

// ---- company lookup -------------------------------------------------------------------------

void TfrmBCRInvoice::btpEmpresaBeforePesq(QObject*, bool&)
{
    qryEmpresa->Close();
    qryEmpresa->GetIBParams().ParamByName(QStringLiteral("P_TCDEMPRESA")).AsString =
        QStringLiteral("T");
    qryEmpresa->GetIBParams().ParamByName(QStringLiteral("P_CDEMPRESA")).AsString.clear();
    qryEmpresa->Open();
}

void TfrmBCRInvoice::btpEmpresaAfterPesq(QObject*)
{
    ui->medCdEmpresa->setText(qryEmpresa->FieldByName(QStringLiteral("CDEMPRESA")).AsString());
    ui->edtNmEmpresa->setText(qryEmpresa->FieldByName(QStringLiteral("NMEMPRESA")).AsString());
}
