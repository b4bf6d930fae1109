// The settlement screen's history of an invoice and the reversal of the last receipt or
// exchange of the marked invoices.
#include "TfrmBCRInvoice.h"

#include "BusyAnimation.h"
#include "CheckResultServ.h"
#include "ControlsSuspended.h"
#include "DataPacket.h"
#include "EventDispatch.h"
#include "FormatFloat.h"
#include "FrameworkUtils.h"
#include "InvoiceHistoryDialog.h"
#include "Money.h"
#include "ui_Cli_FAS10000.h"

#include <QAction>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>

namespace {

const QString Receipt = QStringLiteral("Recebimento");
const QString Exchange = QStringLiteral("Câmbio");

// The text of a label as a column value: without its closing colon.
QString labelText(const QLabel& label)
{
    QString text = label.text().trimmed();
    while (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

} // namespace

// ---- commands -------------------------------------------------------------------------------

void TfrmBCRInvoice::createMaintenanceCommands()
{
    const auto add = [this](const char* name, const QString& text, const QKeySequence& keys) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        action->setEnabled(false);
        ui->mnuManutencao->addAction(action);
        return action;
    };
    ui->mnuManutencao->addSeparator();
    mnuHistorico = add("mnuHistorico", QStringLiteral("&Histórico da Invoice"),
                       QKeySequence(Qt::CTRL | Qt::Key_H));
    mnuEstornaReceb = add("mnuEstornaReceb", QStringLiteral("Estornar &Recebimento"),
                          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    mnuEstornaCamb = add("mnuEstornaCamb", QStringLiteral("Estornar Câ&mbio"),
                         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    connectHandler(mnuHistorico, &QAction::triggered, this,
                   [this] { mnuHistoricoClick(mnuHistorico); });
    connectHandler(mnuEstornaReceb, &QAction::triggered, this,
                   [this] { mnuEstornaRecebClick(mnuEstornaReceb); });
    connectHandler(mnuEstornaCamb, &QAction::triggered, this,
                   [this] { mnuEstornaCambClick(mnuEstornaCamb); });
}

void TfrmBCRInvoice::enableMaintenanceCommands(bool enabled)
{
    for (QAction* action : {mnuHistorico, mnuEstornaReceb, mnuEstornaCamb})
        if (action)
            action->setEnabled(enabled);
}

// ---- history --------------------------------------------------------------------------------

QString TfrmBCRInvoice::HistoryFieldName(const QString& field) const
{
    const TField* invoiceField = cdsInvoice->FindField(field);
    if (invoiceField && invoiceField->DisplayLabel() != invoiceField->FieldName())
        return invoiceField->DisplayLabel();
    // The fields the detail panel shows under a label of its own.
    const std::pair<const char*, const QLabel*> panel[] = {{"VRTXCAMBIOINVOI", ui->lblTaxaCambio},
                                                           {"VRORDPGTOINVOI", ui->lblOrdPgto},
                                                           {"DSREFPGTOINVOI", ui->lblReferencia},
                                                           {"DSOBSPGTOINVOI", ui->lblDescricao}};
    for (const auto& [name, label] : panel)
        if (field.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return labelText(*label);
    const std::pair<const char*, const char*> named[] = {{"IDGERNFINVOI", "Nota Fiscal gerada"},
                                                         {"IDCHECK", "Marca"},
                                                         {"IDTIPOINVOICE", "Tipo"},
                                                         {"NRLANCTONF", "Lançamento da NF"},
                                                         {"CDFILIAL", "Filial"},
                                                         {"DSEMISSINVOI", "Descrição da emissão"}};
    for (const auto& [name, text] : named)
        if (field.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(text);
    return field;
}

QString TfrmBCRInvoice::HistoryValueText(const QString& field, const QVariant& value) const
{
    if (value.isNull() || !value.isValid())
        return QString();
    const QString text = value.toString();
    const TField* invoiceField = cdsInvoice->FindField(field);
    if (!invoiceField)
        return text;
    switch (invoiceField->DataType()) {
    case FieldType::DateTime: {
        const QDateTime day = dateTimeFromText(text);
        return day.isValid() ? invoiceField->formatValue(day, true) : text;
    }
    case FieldType::Float: {
        // The history writes numbers with a full stop, whatever the regional format.
        bool ok = false;
        const double number = text.trimmed().toDouble(&ok);
        if (!ok)
            return text;
        // The display format's first section: a zero is shown as a zero here, not blank.
        const QString format = invoiceField->DisplayFormat().section(QLatin1Char(';'), 0, 0);
        return format.isEmpty() ? FloatToStr(number) : FormatFloat(format, number);
    }
    case FieldType::String:
        break;
    }
    if (field.compare(QLatin1String("IDGERNFINVOI"), Qt::CaseInsensitive) == 0 ||
        field.compare(QLatin1String("IDAPURFATFAS"), Qt::CaseInsensitive) == 0) {
        if (text == QLatin1String("S"))
            return QStringLiteral("Sim");
        if (text == QLatin1String("N"))
            return QStringLiteral("Não");
    }
    // A text of several lines (an observation) on one line of the list; the cell's tip
    // shows it whole.
    QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    while (lines.size() > 1 && lines.last().trimmed().isEmpty())
        lines.removeLast();
    return lines.join(QStringLiteral(" / "));
}

void TfrmBCRInvoice::mnuHistoricoClick(QObject*)
{
    if (!hasInvoices())
        return;
    QString company = cdsInvoice->FieldByName(QStringLiteral("CDEMPRESA")).AsString();
    if (EmptyString(company))
        company = CdEmpresaAnterior;
    const QString invoice = cdsInvoice->FieldByName(QStringLiteral("NRINVOICE")).AsString();
    DataPacket packet;
    {
        const HourglassGuard hourglass;
        const BusyGuard busy(MainForm(), 1);
        QList<ServerArg> args{ServerArg::string(company), ServerArg::string(invoice)};
        const QByteArray data = CheckResultServ(
            netBCRInvoice->GetServer().call(RemoteMethods::GetHistorico, args), true, 0);
        try {
            packet = DataPacket::fromJson(data);
        } catch (const DataPacketError& error) {
            MensErro(QStringLiteral("O histórico recebido do servidor não pôde ser lido: %1")
                         .arg(error.text()),
                     true);
        }
    }
    const QStringList columns{QStringLiteral("DTHISTORICO"), QStringLiteral("NMUSUARIO"),
                              QStringLiteral("NMESTACAO"),   QStringLiteral("IDOPERACAO"),
                              QStringLiteral("NMCAMPO"),     QStringLiteral("DSVALORANT"),
                              QStringLiteral("DSVALORNOVO")};
    QList<int> at;
    for (const QString& column : columns) {
        at << packet.indexOf(column);
        if (at.last() < 0)
            MensErro(
                QStringLiteral("O histórico recebido do servidor não tem a coluna %1.").arg(column),
                true);
    }
    if (packet.rows.isEmpty()) {
        MessageService::instance().information(
            QStringLiteral("Nenhuma alteração registrada para a Invoice %1.").arg(invoice));
        return;
    }
    // The server sends the rows newest first.
    QList<QStringList> lines;
    for (const Row& row : packet.rows) {
        const QDateTime when = row.value(at[0]).toDateTime();
        const QString field = row.value(at[4]).toString();
        lines << QStringList{when.isValid() ? when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))
                                            : QString(),
                             row.value(at[1]).toString(),
                             row.value(at[2]).toString(),
                             row.value(at[3]).toString(),
                             HistoryFieldName(field),
                             HistoryValueText(field, row.value(at[5])),
                             HistoryValueText(field, row.value(at[6]))};
    }
    InvoiceHistoryDialog dialog(invoice, lines, this);
    dialog.exec();
}

// ---- reversal -------------------------------------------------------------------------------

void TfrmBCRInvoice::mnuEstornaRecebClick(QObject*)
{
    EstornaMarcadas(Receipt);
}

void TfrmBCRInvoice::mnuEstornaCambClick(QObject*)
{
    EstornaMarcadas(Exchange);
}

void TfrmBCRInvoice::EstornaMarcadas(const QString& what)
{
    if (!hasInvoices())
        return;
    const bool receipt = what == Receipt;
    const QString noun = receipt ? QStringLiteral("o recebimento") : QStringLiteral("o câmbio");
    // Every marked invoice is checked before anything is asked; a refusal is shown once the
    // views are back, with the refused invoice current.
    QString failure;
    QList<Money::Cents> totals;
    {
        const HourglassGuard hourglass;
        const TField& number = cdsInvoice->FieldByName(QStringLiteral("NRINVOICE"));
        const TField& issued = cdsInvoice->FieldByName(QStringLiteral("IDGERNFINVOI"));
        const TField& received = cdsInvoice->FieldByName(QStringLiteral("DTRECINVOICE"));
        const TField& exchanged = cdsInvoice->FieldByName(QStringLiteral("DTCAMBIOINVOICE"));
        const TField& total = cdsInvoice->FieldByName(QStringLiteral("TOTALINVOICE"));
        ForEachMarked([&] {
            const QString invoice = number.AsString();
            if (issued.AsString() == QLatin1String("S"))
                failure = QStringLiteral("A Nota Fiscal da Invoice %1 já foi gerada: %2 não "
                                         "pode ser estornado.")
                              .arg(invoice, noun);
            else if (receipt && !EmptyString(exchanged.AsString()))
                failure = QStringLiteral("A Invoice %1 já foi cambiada: estorne o câmbio "
                                         "primeiro.")
                              .arg(invoice);
            else if (receipt && EmptyString(received.AsString()))
                failure =
                    QStringLiteral("A Invoice %1 não tem recebimento a estornar.").arg(invoice);
            else if (!receipt && EmptyString(exchanged.AsString()))
                failure = QStringLiteral("A Invoice %1 não tem câmbio a estornar.").arg(invoice);
            else
                totals << Money::cents(total.AsFloat());
            return failure.isEmpty();
        });
    }
    if (!failure.isEmpty())
        MensErro(failure, true);
    if (totals.isEmpty())
        MensErro(QStringLiteral("Invoice(s) deve(m) ser informado(s) para estornar %1.").arg(noun),
                 true);
    const std::optional<Money::Cents> sum = Money::sum(totals);
    if (!sum)
        MensErro(QStringLiteral("O total das invoices marcadas excede o limite de valores."), true);
    const QString question =
        QStringLiteral("Estornar %1 de %2 invoice(s), no total de US$ %3?")
            .arg(noun, QLocale().toString(totals.size()),
                 FormatFloat(QStringLiteral("#,##0.00"), Money::fromCents(*sum)));
    if (MessageDlg(question, mtConfirmation, MessageService::Yes | MessageService::No, 0) !=
        MessageService::Answer::Yes)
        return;
    repaint();
    QJsonObject result;
    {
        const HourglassGuard hourglass;
        const BusyGuard busy(MainForm(), 1);
        QList<ServerArg> args{ServerArg::variant(cdsInvoice->GetData()), ServerArg::string(what)};
        result = QJsonDocument::fromJson(CheckResultServ(netBCRInvoice->GetServer().call(
                                                             RemoteMethods::EstornaInvoice, args),
                                                         true, 0))
                     .object();
    }
    // The server changed the invoices: the list shows them as stored, on the same invoice.
    sbtVerificarClick(this);
    const QJsonValue reversed = result.value(QStringLiteral("estornadas"));
    if (!reversed.isDouble())
        MensErro(QStringLiteral("O servidor não informou quantas invoices estornou; confira a "
                                "lista recarregada."),
                 true);
    MessageService::instance().information(
        QStringLiteral("Estorno de %1 concluído: %2 invoice(s).")
            .arg(receipt ? QStringLiteral("recebimento") : QStringLiteral("câmbio"),
                 QLocale().toString(reversed.toInteger())));
}
