#include "TfrmFiltroBCRInvoice.h"

#include "BusyAnimation.h"
#include "CheckResultServ.h"
#include "Cli_FAS10000.h"
#include "Cli_FAS10001.h"
#include "Colors.h"
#include "EAbort.h"
#include "EventDispatch.h"
#include "FormData.h"
#include "FrameworkUtils.h"
#include "OptionStore.h"
#include "PesquisaLista.h"
#include "TADOIBQuery.h"
#include "TfrmBCRInvoice.h"

#include <QScopedValueRollback>

namespace {

const QString optionCliente = QStringLiteral("stCliente");

// The group box caption takes `colour`; its check boxes keep the ordinary text colour.
void setCaptionColour(QGroupBox* group, const QColor& colour)
{
    QPalette palette = group->palette();
    for (const auto role : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(role, QPalette::WindowText, colour);
    group->setPalette(palette);
    for (QWidget* child : group->findChildren<QWidget*>()) {
        QPalette own = child->palette();
        own.setColor(QPalette::Active, QPalette::WindowText, clWindowText);
        own.setColor(QPalette::Inactive, QPalette::WindowText, clWindowText);
        child->setPalette(own);
    }
}

QDateTime dateArg(const TDateEditPlus* edit)
{
    return QDateTime(edit->GetDate(), QTime(0, 0));
}

} // namespace

TfrmFiltroBCRInvoice::TfrmFiltroBCRInvoice(QWidget* parent)
    : TfrmFiltroPadrao(parent), qryCliente(new TADOIBQuery(this)), dtsCliente(new TDataSource(this))
{
    qryCliente->setObjectName(QStringLiteral("qryCliente"));
    dtsCliente->setObjectName(QStringLiteral("dtsCliente"));
    setupUi(this);
    applyDesignData();
    bindHandlers();
    // Runs FormCreate, so the handlers above see the initial emptying of the date edits.
    setupBaseForm(FormData::load(QStringLiteral("Cli_FAS10001")).messages());
}

TfrmFiltroBCRInvoice::~TfrmFiltroBCRInvoice()
{
    if (Cli_FAS10001::frmFiltroBCRInvoice == this)
        Cli_FAS10001::frmFiltroBCRInvoice = nullptr;
}

void TfrmFiltroBCRInvoice::applyDesignData()
{
    const FormData data = FormData::load(QStringLiteral("Cli_FAS10001"));
    const QuerySpec query = data.query(QStringLiteral("qryCliente"));
    qryCliente->SQL = query.lines;
    for (const FieldSpec& entry : query.fields) {
        TField& field = qryCliente->Query()->AddField(entry.def);
        field.SetDisplayLabel(entry.displayLabel);
        field.SetVisible(entry.visible);
        field.SetAlignment(entry.alignment);
        if (entry.displayWidth > 0)
            field.SetDisplayWidth(entry.displayWidth);
    }
    dtsCliente->SetDataSet(qryCliente->Query());

    const QVariantMap lookup = data.controlProperties(QStringLiteral("btpCliente"));
    btpCliente->Title = lookup.value(QStringLiteral("Title")).toString();
    btpCliente->EmptyError = lookup.value(QStringLiteral("EmptyError")).toString();
    btpCliente->SetAssociate(rbtLCliente);
    btpCliente->SetDataSource(dtsCliente);
}

void TfrmFiltroBCRInvoice::bindHandlers()
{
    // The lookup button lists several customers at once (btpClienteClick), not the single
    // choice it offers by itself.
    disconnect(btpCliente, &QAbstractButton::clicked, nullptr, nullptr);
    connectHandler(btpCliente, &QAbstractButton::clicked, this,
                   [this] { btpClienteClick(btpCliente); });
    // toggled, not clicked: a state set by code (the restore) runs the handlers too.
    connectHandler(rbtTCliente, &QAbstractButton::toggled, this,
                   [this] { rbtTClienteClick(rbtTCliente); });
    connectHandler(rbtLCliente, &QAbstractButton::toggled, this,
                   [this] { rbtLClienteClick(rbtLCliente); });
    connectHandler(chbPago, &QAbstractButton::toggled, this, [this] { chbPagoClick(chbPago); });

    const auto bindDate = [this](TDateEditPlus* edit, void (TfrmFiltroBCRInvoice::*exit)(QObject*),
                                 void (TfrmFiltroBCRInvoice::*change)(QObject*)) {
        edit->OnExit = [this, edit, exit] { (this->*exit)(edit); };
        edit->OnChange = [this, edit, change] { (this->*change)(edit); };
    };
    bindDate(depEmissIni, &TfrmFiltroBCRInvoice::depEmissIniExit,
             &TfrmFiltroBCRInvoice::depEmissIniChange);
    bindDate(depEmissFin, &TfrmFiltroBCRInvoice::depEmissFinExit,
             &TfrmFiltroBCRInvoice::depEmissFinChange);
    bindDate(depVencIni, &TfrmFiltroBCRInvoice::depVencIniExit,
             &TfrmFiltroBCRInvoice::depVencIniChange);
    bindDate(depVencFin, &TfrmFiltroBCRInvoice::depVencFinExit,
             &TfrmFiltroBCRInvoice::depVencFinChange);
    bindDate(depRecebIni, &TfrmFiltroBCRInvoice::depRecebIniExit,
             &TfrmFiltroBCRInvoice::depRecebIniChange);
    bindDate(depRecebFin, &TfrmFiltroBCRInvoice::depRecebFinExit,
             &TfrmFiltroBCRInvoice::depRecebFinChange);
    bindDate(depCambIni, &TfrmFiltroBCRInvoice::depCambIniExit,
             &TfrmFiltroBCRInvoice::depCambIniChange);
    bindDate(depCambFin, &TfrmFiltroBCRInvoice::depCambFinExit,
             &TfrmFiltroBCRInvoice::depCambFinChange);
}

void TfrmFiltroBCRInvoice::FormCreate(QObject* sender)
{
    TfrmFiltroPadrao::FormCreate(sender);
    depEmissIni->setText(QString());
    depEmissFin->setText(QString());
    depRecebIni->setText(QString());
    depRecebFin->setText(QString());
    depVencIni->setText(QString());
    depVencFin->setText(QString());
    depCambIni->setText(QString());
    depCambFin->setText(QString());
    // Emptying an edit that is already empty changes nothing; the ranges start open all the same.
    colourRange(depEmissIni, depEmissFin);
    colourRange(depVencIni, depVencFin);
    colourRange(depRecebIni, depRecebFin);
    colourRange(depCambIni, depCambFin);
    setCaptionColour(grbNotaFiscal, clInactiveCaptionText);
}

void TfrmFiltroBCRInvoice::FormActivate(QObject*)
{
    update();
}

void TfrmFiltroBCRInvoice::FormClose(QObject* sender, TCloseAction& action)
{
    // On the first opening (no company loaded yet) closing the dialog loads the list with
    // the criteria as they stand. Not when the close comes from a confirmation itself.
    // Criteria refused keep the dialog open for the user to mend them. A failure of the load
    // itself (the server down, say) has been reported and does not keep the user shut in the
    // dialog: it closes with the criteria as they stand (none was confirmed yet to go back
    // to), and the filter command tries again.
    const TfrmBCRInvoice* screen = Cli_FAS10000::frmBCRInvoice;
    if (!boConfirmando && screen && EmptyString(screen->CdEmpresaAnterior)) {
        loadFailed = false;
        if (!Dispatch([&] { sbtConfirmaClick(sender); })) {
            if (!loadFailed)
                throw EAbort();
            action = caHide;
            return;
        }
    }
    Atualiza_Filtro(false);
    action = caHide;
}

// ---- criteria controls -----------------------------------------------------------------------

void TfrmFiltroBCRInvoice::rbtTClienteClick(QObject*)
{
    btpCliente->setEnabled(rbtLCliente->isChecked());
}

void TfrmFiltroBCRInvoice::rbtLClienteClick(QObject*)
{
    btpCliente->setEnabled(rbtLCliente->isChecked());
}

void TfrmFiltroBCRInvoice::btpClienteClick(QObject*)
{
    qryCliente->Close();
    qryCliente->Open();
    const QString lookupText =
        msgPadrao.Msg(QStringLiteral("Cliente")) + u'|' + msgPadrao.Msg(QStringLiteral("Clie_Not"));
    PesquisaLista(dtsCliente, QStringLiteral("CDCLIENTE"), lookupText, false,
                  Cli_FAS10001::stCliente);
}

void TfrmFiltroBCRInvoice::chbPagoClick(QObject*)
{
    const bool pago = chbPago->isChecked();
    grbNotaFiscal->setEnabled(pago);
    chbNEmitida->setEnabled(pago);
    chbEmitida->setEnabled(pago);
    if (pago) {
        setCaptionColour(grbNotaFiscal, clWindowText);
        // "Pago" alone means paid invoices with and without a Nota Fiscal.
        if (!chbNEmitida->isChecked() && !chbEmitida->isChecked()) {
            chbNEmitida->setChecked(true);
            chbEmitida->setChecked(true);
        }
    } else {
        setCaptionColour(grbNotaFiscal, clInactiveCaptionText);
        chbNEmitida->setChecked(false);
        chbEmitida->setChecked(false);
    }
}

// ---- date ranges -----------------------------------------------------------------------------

void TfrmFiltroBCRInvoice::colourRange(TDateEditPlus* ini, TDateEditPlus* fin)
{
    const bool active = (ini->IsDateValid() || fin->IsDateValid()) &&
                        (!ini->text().isEmpty() || !fin->text().isEmpty());
    const QColor& colour = active ? clInfoBk : clWindow;
    ini->SetColor(colour);
    fin->SetColor(colour);
}

void TfrmFiltroBCRInvoice::depEmissIniChange(QObject*)
{
    colourRange(depEmissIni, depEmissFin);
}
void TfrmFiltroBCRInvoice::depEmissFinChange(QObject*)
{
    colourRange(depEmissIni, depEmissFin);
}
void TfrmFiltroBCRInvoice::depVencIniChange(QObject*)
{
    colourRange(depVencIni, depVencFin);
}
void TfrmFiltroBCRInvoice::depVencFinChange(QObject*)
{
    colourRange(depVencIni, depVencFin);
}
void TfrmFiltroBCRInvoice::depRecebIniChange(QObject*)
{
    colourRange(depRecebIni, depRecebFin);
}
void TfrmFiltroBCRInvoice::depRecebFinChange(QObject*)
{
    colourRange(depRecebIni, depRecebFin);
}
void TfrmFiltroBCRInvoice::depCambIniChange(QObject*)
{
    colourRange(depCambIni, depCambFin);
}
void TfrmFiltroBCRInvoice::depCambFinChange(QObject*)
{
    colourRange(depCambIni, depCambFin);
}

void TfrmFiltroBCRInvoice::depEmissIniExit(QObject*)
{
    depEmissIni->CheckValidDate();
}
void TfrmFiltroBCRInvoice::depEmissFinExit(QObject*)
{
    depEmissFin->CheckValidDate();
}
void TfrmFiltroBCRInvoice::depVencIniExit(QObject*)
{
    depVencIni->CheckValidDate();
}
void TfrmFiltroBCRInvoice::depVencFinExit(QObject*)
{
    depVencFin->CheckValidDate();
}
void TfrmFiltroBCRInvoice::depRecebIniExit(QObject*)
{
    depRecebIni->CheckValidDate();
}
void TfrmFiltroBCRInvoice::depRecebFinExit(QObject*)
{
    depRecebFin->CheckValidDate();
}
void TfrmFiltroBCRInvoice::depCambIniExit(QObject*)
{
    depCambIni->CheckValidDate();
}
void TfrmFiltroBCRInvoice::depCambFinExit(QObject*)
{
    depCambFin->CheckValidDate();
}

void TfrmFiltroBCRInvoice::checkDateEdits()
{
    depEmissIniExit(depEmissIni);
    depEmissFinExit(depEmissFin);
    depVencIniExit(depVencIni);
    depVencFinExit(depVencFin);
    depRecebIniExit(depRecebIni);
    depRecebFinExit(depRecebFin);
    depCambIniExit(depCambIni);
    depCambFinExit(depCambFin);
}

void TfrmFiltroBCRInvoice::fail(const QString& key, QWidget* control)
{
    try {
        MensErro(msgPadrao.Msg(key), true);
    } catch (...) {
        control->setFocus();
        throw;
    }
    throw; // not reached: MensErro with true always raises
}

void TfrmFiltroBCRInvoice::Valida_Datas()
{
    struct Range
    {
        TDateEditPlus* ini;
        TDateEditPlus* fin;
        const char* orderKey;
        const char* iniKey;
        const char* finKey;
    };
    const Range ranges[] = {
        {depEmissIni, depEmissFin, "EmissFin<", "EmissIni_Inf", "EmissFin_Inf"},
        {depVencIni, depVencFin, "VencFin<", "VencIni_Inf", "VencFin_Inf"},
        {depRecebIni, depRecebFin, "RecebFin<", "RecebIni_Inf", "RecebFin_Inf"},
        {depCambIni, depCambFin, "CambFin<", "CambIni_Inf", "CambFin_Inf"},
    };
    // Pass 1: a start later than the end, range by range (equal dates pass).
    for (const Range& range : ranges) {
        if (range.ini->IsDateValid() && range.fin->IsDateValid() && !range.ini->text().isEmpty() &&
            !range.fin->text().isEmpty() && range.ini->GetDate() > range.fin->GetDate())
            fail(QString::fromLatin1(range.orderKey), range.fin);
    }
    // Pass 2: an active range needs both bounds, edit by edit.
    for (const Range& range : ranges) {
        if (range.ini->Color() == clInfoBk && range.ini->text().isEmpty())
            fail(QString::fromLatin1(range.iniKey), range.ini);
        if (range.fin->Color() == clInfoBk && range.fin->text().isEmpty())
            fail(QString::fromLatin1(range.finKey), range.fin);
    }
}

// ---- confirmation ----------------------------------------------------------------------------

QList<ServerArg> TfrmFiltroBCRInvoice::filterArgs(const QString& situation,
                                                  const QString& allCustomers,
                                                  const QString& allIssue, const QString& allDue,
                                                  const QString& allReceipt,
                                                  const QString& allExchange) const
{
    FilterArgs filter;
    filter.situation = situation;
    filter.allCustomers = allCustomers;
    filter.allIssue = allIssue;
    filter.allDue = allDue;
    filter.allReceipt = allReceipt;
    filter.allExchange = allExchange;
    filter.customers = Cli_FAS10001::stCliente;
    QList<ServerArg> args = filter.toArgs();
    refreshFromControls(args);
    return args;
}

void TfrmFiltroBCRInvoice::refreshFromControls(QList<ServerArg>& args) const
{
    FilterArgs filter = FilterArgs::fromArgs(args);
    filter.company = Cli_FAS10000::frmBCRInvoice->medCdEmpresa->text();
    // Issue, due, receipt, exchange: read also from the empty edits of open ranges.
    const TDateEditPlus* const edits[] = {depEmissIni, depEmissFin, depVencIni, depVencFin,
                                          depRecebIni, depRecebFin, depCambIni, depCambFin};
    for (size_t i = 0; i < filter.dates.size(); ++i)
        filter.dates[i] = dateArg(edits[i]);
    args = filter.toArgs();
}

void TfrmFiltroBCRInvoice::retrieve(TfrmBCRInvoice& screen, QList<ServerArg>& args)
{
    const BusyGuard busy(MainForm(), 1);

    // The packets go to the record sets as the server wrote them, without a JSON tree.
    ServerPacketResult result =
        screen.netBCRInvoice->GetServer().callPacket(RemoteMethods::GetInvoice, args);
    Cli_FAS10001::stCliente = FilterArgs::fromArgs(args).customers;
    screen.cdsInvoice->SetData(CheckResultServ(result, true, 0));

    refreshFromControls(args);
    try {
        result = screen.netBCRInvoice->GetServer().callPacket(RemoteMethods::GetItem, args);
        Cli_FAS10001::stCliente = FilterArgs::fromArgs(args).customers;
        screen.cdsItem->SetData(CheckResultServ(result, true, 0));
    } catch (...) {
        // The invoices are already the new ones: items of the previous list must not stay
        // under them (the items match an invoice by its number alone, so another company's
        // items could show). The list comes back in line with the next confirmation.
        screen.cdsItem->Close();
        throw;
    }
}

void TfrmFiltroBCRInvoice::sbtConfirmaClick(QObject*)
{
    // Closing the dialog at the end runs FormClose, which must not confirm again.
    const QScopedValueRollback<bool> confirmando(boConfirmando, true);

    checkDateEdits();
    Valida_Datas();
    if (rbtLCliente->isChecked() && EmptyString(Cli_FAS10001::stCliente))
        fail(QStringLiteral("Clie_Inf"), rbtLCliente);
    if (chbPago->isChecked() && !chbNEmitida->isChecked() && !chbEmitida->isChecked())
        fail(QStringLiteral("SitNF_Inf"), chbNEmitida);

    QString situation;
    if (chbAberto->isChecked())
        situation += QStringLiteral("A_");
    if (chbNEmitida->isChecked())
        situation += QStringLiteral("N_");
    if (chbEmitida->isChecked())
        situation += QStringLiteral("E_");
    if (situation.isEmpty())
        situation = QStringLiteral("A_N_E_");
    const auto all = [](bool open) { return open ? QStringLiteral("T") : QString(); };
    QList<ServerArg> args =
        filterArgs(situation, all(rbtTCliente->isChecked()), all(depEmissIni->Color() == clWindow),
                   all(depVencIni->Color() == clWindow), all(depRecebIni->Color() == clWindow),
                   all(depCambIni->Color() == clWindow));

    TfrmBCRInvoice& screen = *Cli_FAS10000::frmBCRInvoice;
    try {
        retrieve(screen, args);
    } catch (...) {
        loadFailed = true;
        throw;
    }

    if (screen.cdsInvoice->IsEmpty())
        screen.cdsItem->Close();
    Atualiza_Filtro(true);
    close();
}

void TfrmFiltroBCRInvoice::Atualiza_Filtro(bool boGuarda)
{
    if (boGuarda) {
        Filtro.Cliente.boTCliente = rbtTCliente->isChecked();
        Filtro.Cliente.stLCliente = Cli_FAS10001::stCliente;
        Filtro.boNEmitida = chbNEmitida->isChecked();
        Filtro.boEmitida = chbEmitida->isChecked();
        Filtro.boAberto = chbAberto->isChecked();
        Filtro.boPago = chbPago->isChecked();
        Filtro.Emiss = {depEmissIni->text(), depEmissFin->text()};
        Filtro.Venc = {depVencIni->text(), depVencFin->text()};
        Filtro.Receb = {depRecebIni->text(), depRecebFin->text()};
        Filtro.Camb = {depCambIni->text(), depCambFin->text()};
        return;
    }
    (Filtro.Cliente.boTCliente ? rbtTCliente : rbtLCliente)->setChecked(true);
    Cli_FAS10001::stCliente = Filtro.Cliente.stLCliente;
    chbNEmitida->setChecked(Filtro.boNEmitida);
    chbEmitida->setChecked(Filtro.boEmitida);
    chbAberto->setChecked(Filtro.boAberto);
    chbPago->setChecked(Filtro.boPago);
    depEmissIni->setText(Filtro.Emiss.stIni);
    depEmissFin->setText(Filtro.Emiss.stFin);
    depVencIni->setText(Filtro.Venc.stIni);
    depVencFin->setText(Filtro.Venc.stFin);
    depRecebIni->setText(Filtro.Receb.stIni);
    depRecebFin->setText(Filtro.Receb.stFin);
    depCambIni->setText(Filtro.Camb.stIni);
    depCambFin->setText(Filtro.Camb.stFin);
}

// ---- saved options ---------------------------------------------------------------------------

void TfrmFiltroBCRInvoice::btfSaveOpcClick(QObject* sender)
{
    checkDateEdits();
    OptionStore::SetValue(Opcoes, optionCliente, Cli_FAS10001::stCliente);
    TfrmFiltroPadrao::btfSaveOpcClick(sender);
}

void TfrmFiltroBCRInvoice::btfLoadOpcClick(QObject* sender)
{
    checkDateEdits();
    Cli_FAS10001::stCliente = OptionStore::Value(Opcoes, optionCliente);
    TfrmFiltroPadrao::btfLoadOpcClick(sender);
}
