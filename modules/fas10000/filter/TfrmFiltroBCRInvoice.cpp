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
#include "KeyList.h"
#include "OptionStore.h"
#include "PesquisaLista.h"
#include "TADOIBQuery.h"
#include "TfrmBCRInvoice.h"

#include <QBoxLayout>
#include <QLabel>
#include <QScopedValueRollback>

namespace {

const QString dateFormat = QStringLiteral("dd/MM/yyyy");

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

// The focus goes to the control a refusal names. A text field's text is selected, so that
// what the user types next replaces it: left where it was, the cursor of an empty date edit
// sits after its mask and takes no digit.
void focusRefused(QWidget* control)
{
    control->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->selectAll();
}

// An edit that holds no valid date is reported, and the focus goes back to it.
void checkDate(TDateEditPlus* edit)
{
    try {
        edit->CheckValidDate();
    } catch (...) {
        focusRefused(edit);
        throw;
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

// The unit's variable clears itself (see UnitForm.h).
TfrmFiltroBCRInvoice::~TfrmFiltroBCRInvoice() = default;

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

    // What the list holds, beside its button: the button alone showed nothing of the choice.
    lblClientes = new QLabel(btpCliente->parentWidget());
    lblClientes->setObjectName(QStringLiteral("lblClientes"));
    if (auto* row = qobject_cast<QBoxLayout*>(btpCliente->parentWidget()->layout()))
        row->insertWidget(row->indexOf(btpCliente) + 1, lblClientes);
}

void TfrmFiltroBCRInvoice::showCustomerChoice()
{
    const QStringList keys = KeyList::parse(Cli_FAS10001::stCliente).value_or(QStringList());
    const bool shown = rbtLCliente->isChecked() && !keys.isEmpty();
    lblClientes->setText(shown ? (keys.size() == 1 ? QStringLiteral("1 cliente")
                                                   : QStringLiteral("%1 clientes").arg(keys.size()))
                               : QString());
    // The names, when the lookup's list is at hand; the codes otherwise.
    QStringList names;
    TClientDataSet* customers = qryCliente->Query();
    for (const QString& key : keys) {
        QString name = key;
        if (customers->Active() && customers->Locate(QStringLiteral("CDCLIENTE"), key))
            name = key + QStringLiteral(" — ") +
                   customers->FieldByName(QStringLiteral("NMFANTCLIE")).AsString();
        names << name;
    }
    lblClientes->setToolTip(shown ? names.join(u'\n') : QString());
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
    showCustomerChoice();
}

void TfrmFiltroBCRInvoice::rbtLClienteClick(QObject*)
{
    btpCliente->setEnabled(rbtLCliente->isChecked());
    showCustomerChoice();
}

void TfrmFiltroBCRInvoice::btpClienteClick(QObject*)
{
    qryCliente->Close();
    qryCliente->Open();
    const QString lookupText =
        msgPadrao.Msg(QStringLiteral("Cliente")) + u'|' + msgPadrao.Msg(QStringLiteral("Clie_Not"));
    PesquisaLista(dtsCliente, QStringLiteral("CDCLIENTE"), lookupText, false,
                  Cli_FAS10001::stCliente);
    showCustomerChoice();
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
    checkDate(depEmissIni);
}
void TfrmFiltroBCRInvoice::depEmissFinExit(QObject*)
{
    checkDate(depEmissFin);
}
void TfrmFiltroBCRInvoice::depVencIniExit(QObject*)
{
    checkDate(depVencIni);
}
void TfrmFiltroBCRInvoice::depVencFinExit(QObject*)
{
    checkDate(depVencFin);
}
void TfrmFiltroBCRInvoice::depRecebIniExit(QObject*)
{
    checkDate(depRecebIni);
}
void TfrmFiltroBCRInvoice::depRecebFinExit(QObject*)
{
    checkDate(depRecebFin);
}
void TfrmFiltroBCRInvoice::depCambIniExit(QObject*)
{
    checkDate(depCambIni);
}
void TfrmFiltroBCRInvoice::depCambFinExit(QObject*)
{
    checkDate(depCambFin);
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
        focusRefused(control);
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
    filter.company = Cli_FAS10000::frmBCRInvoice->companyCode();
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

    // The packets go to the record sets as the server wrote them, without a JSON tree; each
    // packet's text is let go once read, before the next one arrives.
    {
        const ServerResult result =
            screen.netBCRInvoice->GetServer().call(RemoteMethods::GetInvoice, args);
        Cli_FAS10001::stCliente = FilterArgs::fromArgs(args).customers;
        screen.cdsInvoice->SetData(CheckResultServ(result, true, 0));
    }

    refreshFromControls(args);
    try {
        const ServerResult result =
            screen.netBCRInvoice->GetServer().call(RemoteMethods::GetItem, args);
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
        // Whatever of the list was loaded stays on the screen until a load succeeds: the
        // next exit from the company field must load again, whichever code it then holds.
        loadFailed = true;
        screen.reloadOnExit = true;
        throw;
    }
    screen.reloadOnExit = false;

    if (screen.cdsInvoice->IsEmpty())
        screen.cdsItem->Close();
    Atualiza_Filtro(true);
    close();
}

void TfrmFiltroBCRInvoice::Atualiza_Filtro(bool boGuarda)
{
    if (boGuarda)
        Filtro = criteria();
    else
        showCriteria(Filtro);
}

TfrmFiltroBCRInvoice::TFiltro TfrmFiltroBCRInvoice::criteria() const
{
    TFiltro filtro;
    filtro.Cliente.boTCliente = rbtTCliente->isChecked();
    filtro.Cliente.stLCliente = Cli_FAS10001::stCliente;
    filtro.boNEmitida = chbNEmitida->isChecked();
    filtro.boEmitida = chbEmitida->isChecked();
    filtro.boAberto = chbAberto->isChecked();
    filtro.boPago = chbPago->isChecked();
    filtro.Emiss = {depEmissIni->text(), depEmissFin->text()};
    filtro.Venc = {depVencIni->text(), depVencFin->text()};
    filtro.Receb = {depRecebIni->text(), depRecebFin->text()};
    filtro.Camb = {depCambIni->text(), depCambFin->text()};
    return filtro;
}

void TfrmFiltroBCRInvoice::showCriteria(const TFiltro& filtro)
{
    (filtro.Cliente.boTCliente ? rbtTCliente : rbtLCliente)->setChecked(true);
    Cli_FAS10001::stCliente = filtro.Cliente.stLCliente;
    showCustomerChoice();
    // The note boxes before "Pago": its handler ticks both only when neither is ticked.
    chbNEmitida->setChecked(filtro.boNEmitida);
    chbEmitida->setChecked(filtro.boEmitida);
    chbAberto->setChecked(filtro.boAberto);
    chbPago->setChecked(filtro.boPago);
    depEmissIni->setText(filtro.Emiss.stIni);
    depEmissFin->setText(filtro.Emiss.stFin);
    depVencIni->setText(filtro.Venc.stIni);
    depVencFin->setText(filtro.Venc.stFin);
    depRecebIni->setText(filtro.Receb.stIni);
    depRecebFin->setText(filtro.Receb.stFin);
    depCambIni->setText(filtro.Camb.stIni);
    depCambFin->setText(filtro.Camb.stFin);
}

// ---- saved options ---------------------------------------------------------------------------

void TfrmFiltroBCRInvoice::transferOptions(TFiltro& filtro, bool toOptions)
{
    // A criterion is written to the option list, or read from it when the list names it; a
    // name the list lacks (a list saved when only the customers were kept) leaves it as is.
    const auto text = [&](const QString& name, QString& value) {
        if (toOptions)
            OptionStore::SetValue(Opcoes, name, value);
        else
            value = OptionStore::Value(Opcoes, name, value);
    };
    const auto flag = [&](const QString& name, bool& value) {
        QString stored = value ? QStringLiteral("S") : QStringLiteral("N");
        text(name, stored);
        value = stored == QLatin1String("S");
    };
    // Kept as yyyy-MM-dd; the edits show dd/MM/yyyy. An empty edit is an empty value.
    const auto date = [&](const QString& name, QString& value) {
        QString stored = QDate::fromString(value, dateFormat).toString(Qt::ISODate);
        text(name, stored);
        value = QDate::fromString(stored, Qt::ISODate).toString(dateFormat);
    };
    text(QStringLiteral("stCliente"), filtro.Cliente.stLCliente);
    flag(QStringLiteral("boTCliente"), filtro.Cliente.boTCliente);
    flag(QStringLiteral("boAberto"), filtro.boAberto);
    flag(QStringLiteral("boPago"), filtro.boPago);
    flag(QStringLiteral("boNEmitida"), filtro.boNEmitida);
    flag(QStringLiteral("boEmitida"), filtro.boEmitida);
    date(QStringLiteral("depEmissIni"), filtro.Emiss.stIni);
    date(QStringLiteral("depEmissFin"), filtro.Emiss.stFin);
    date(QStringLiteral("depVencIni"), filtro.Venc.stIni);
    date(QStringLiteral("depVencFin"), filtro.Venc.stFin);
    date(QStringLiteral("depRecebIni"), filtro.Receb.stIni);
    date(QStringLiteral("depRecebFin"), filtro.Receb.stFin);
    date(QStringLiteral("depCambIni"), filtro.Camb.stIni);
    date(QStringLiteral("depCambFin"), filtro.Camb.stFin);
}

void TfrmFiltroBCRInvoice::btfSaveOpcClick(QObject* sender)
{
    checkDateEdits();
    TFiltro filtro = criteria();
    transferOptions(filtro, true);
    TfrmFiltroPadrao::btfSaveOpcClick(sender);
}

void TfrmFiltroBCRInvoice::btfLoadOpcClick(QObject* sender)
{
    checkDateEdits();
    TFiltro filtro = criteria();
    transferOptions(filtro, false);
    showCriteria(filtro);
    TfrmFiltroPadrao::btfLoadOpcClick(sender);
}
