#include "FormData.h"

#include <QSet>
#include <QTest>

// The design data as the screens read it: message tables, record layouts, grid columns and
// query texts, against the values the forms were designed with.
class TstFormData : public QObject
{
    Q_OBJECT

private slots:
    void messageLines_data();
    void messageLines();
    void messageText_data();
    void messageText();
    void invoiceFields_data();
    void invoiceFields();
    void itemFields_data();
    void itemFields();
    void recordSetSizes();
    void gridColumns_data();
    void gridColumns();
    void gridColumnsNameDeclaredFields();
    void symbolTitleFont();
    void companyQuery();
    void customerQuery();
    void controlProperties();
    void unknownNamesFail();
};

void TstFormData::messageLines_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("settlement") << "Cli_FAS10000"
                                << QStringList{"Excl",          "Emp_Not",      "Emp_Inf",
                                               "Inv_Inf",       "Camb_Not",     "NF_Unif",
                                               "Receb_Inf",     "Camb_Inf",     "NF_Ok",
                                               "Inv_Inf_Receb", "Inv_Inf_Camb", "NF_Parcial",
                                               "NF_Nenhuma"};
    QTest::newRow("filter") << "Cli_FAS10001"
                            << QStringList{
                                   "EmissFin<",    "VencFin<",     "RecebFin<",   "CambFin<",
                                   "EmissIni_Inf", "EmissFin_Inf", "VencIni_Inf", "VencFin_Inf",
                                   "RecebIni_Inf", "RecebFin_Inf", "CambIni_inf", "CambFin_Inf",
                                   "SitNF_Inf",    "Cliente",      "Clie_Not",    "Clie_Inf"};
    QTest::newRow("receipt") << "Cli_FAS10002"
                             << QStringList{"VrOrdPgto_Inf", "Observa_Deve", "DtReceb_Inf",
                                            "DtReceb>",      "Receb_Ok",     "DtReceb<Camb"};
    QTest::newRow("exchange") << "Cli_FAS10003"
                              << QStringList{"VrDolar_Inf", "TxCamb_Inf", "DtCamb_Inf", "DtCamb>",
                                             "Camb_Ok"};
    QTest::newRow("notes") << "Cli_DFS15001" << QStringList{};
}

// Every line is "key|text" with a key and a text, keys are unique even ignoring case (so a
// case-insensitive lookup cannot find the wrong line), and they come in the designed order.
void TstFormData::messageLines()
{
    QFETCH(QString, unit);
    QFETCH(QStringList, keys);
    const QStringList lines = FormData::load(unit).messages();
    QStringList actualKeys;
    QSet<QString> seen;
    for (const QString& line : lines) {
        const qsizetype bar = line.indexOf(QLatin1Char('|'));
        QVERIFY2(bar > 0, qPrintable(line));
        QVERIFY2(bar < line.size() - 1, qPrintable(line));
        const QString key = line.left(bar);
        QCOMPARE(key.trimmed(), key);
        QVERIFY2(!seen.contains(key.toLower()), qPrintable(key));
        seen.insert(key.toLower());
        actualKeys.append(key);
    }
    QCOMPARE(actualKeys, keys);
}

void TstFormData::messageText_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("line");
    QTest::newRow("Emp_Not") << "Cli_FAS10000"
                             << "Emp_Not|Empresa não cadastrada.";
    QTest::newRow("NF_Unif")
        << "Cli_FAS10000"
        << "NF_Unif|Gerar Nota(s) Fiscal(is) unificada(s) para Invoice(s) de mesmo Cliente?";
    QTest::newRow("Inv_Inf_Camb")
        << "Cli_FAS10000"
        << "Inv_Inf_Camb|Invoice(s) deve(m) ser informado(s) para fazer a prévia do câmbio.";
    QTest::newRow("CambFin<")
        << "Cli_FAS10001"
        << "CambFin<|Data Final de Câmbio deve ser maior ou igual à Data Inicial de Câmbio.";
    QTest::newRow("CambIni_inf") << "Cli_FAS10001"
                                 << "CambIni_inf|Data Inicial de Câmbio deve ser informada.";
    QTest::newRow("Clie_Not") << "Cli_FAS10001"
                              << "Clie_Not|Não há Cliente cadastrado.";
    QTest::newRow("Observa_Deve")
        << "Cli_FAS10002"
        << "Observa_Deve|ATENÇÃO!!!! Valor da ordem de pagamento não coincide com o valor dos "
           "invoices selecionados. O campo Observação deve ser informado.";
    QTest::newRow("DtReceb>")
        << "Cli_FAS10002"
        << "DtReceb>|Data de Recebimento deve ser maior ou igual à Data de Emissão.";
    QTest::newRow("DtCamb>")
        << "Cli_FAS10003"
        << "DtCamb>|Data de Câmbio deve ser maior ou igual à Data de Recebimento.";
    QTest::newRow("Camb_Ok") << "Cli_FAS10003"
                             << "Camb_Ok|Câmbio cadastrado com sucesso!";
}

// Texts are the system's own, byte for byte (accents in UTF-8 included).
void TstFormData::messageText()
{
    QFETCH(QString, unit);
    QFETCH(QString, line);
    const QStringList lines = FormData::load(unit).messages();
    QVERIFY2(lines.contains(line), qPrintable(line));
    QCOMPARE(lines.filter(line).first().toUtf8(), line.toUtf8());
}

namespace {

void addFieldColumns()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("displayFormat");
    QTest::addColumn<QString>("editFormat");
    QTest::addColumn<int>("alignment");
}

constexpr int S = static_cast<int>(FieldType::String);
constexpr int D = static_cast<int>(FieldType::DateTime);
constexpr int F = static_cast<int>(FieldType::Float);
constexpr int L = Qt::AlignLeft;
constexpr int R = Qt::AlignRight;

void row(int index, const char* name, int type, int size, bool visible, const char* label,
         const char* display = "", const char* edit = "", int align = -1)
{
    QTest::newRow(name) << index << QString::fromLatin1(name) << type << size << visible
                        << QString::fromUtf8(label) << QString::fromUtf8(display)
                        << QString::fromUtf8(edit) << (align < 0 ? (type == F ? R : L) : align);
}

void checkField(const QList<FieldSpec>& fields)
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(bool, visible);
    QFETCH(QString, label);
    QFETCH(QString, displayFormat);
    QFETCH(QString, editFormat);
    QFETCH(int, alignment);
    QVERIFY(index < fields.size());
    const FieldSpec& f = fields.at(index);
    QCOMPARE(f.def.name, name);
    QCOMPARE(static_cast<int>(f.def.type), type);
    QCOMPARE(f.def.size, size);
    QCOMPARE(f.visible, visible);
    QCOMPARE(f.displayLabel, label.isEmpty() ? name : label);
    QCOMPARE(f.displayFormat, displayFormat);
    QCOMPARE(f.editFormat, editFormat);
    QCOMPARE(static_cast<int>(f.alignment), alignment);
    QCOMPARE(f.def.fixed, name == QLatin1String("IDCHECK"));
}

} // namespace

void TstFormData::invoiceFields_data()
{
    addFieldColumns();
    const char* f3 = "#,##0.000;1; ";
    const char* f2z = "#,##0.00;1; ";
    row(0, "ORDENA", S, 200, false, "");
    row(1, "ORDENA2", S, 200, false, "");
    row(2, "CDEMPRESA", S, 2, false, "");
    row(3, "NMEMPRESA", S, 40, false, "");
    row(4, "CDFILIAL", S, 4, false, "");
    row(5, "NRINVOICE", S, 10, true, "Invoice");
    row(6, "CDCLIENTE", S, 21, false, "");
    row(7, "NMFANTCLIE", S, 50, true, "Cliente");
    row(8, "CDPRODUTO", S, 10, false, "");
    row(9, "DTEMISINVOICE", D, 0, true, "Dt. Emissão");
    row(10, "DTVENINVOICE", D, 0, true, "Dt. Vencimento");
    row(11, "DTRECINVOICE", D, 0, true, "Dt. Recebimento");
    row(12, "DTCAMBIOINVOICE", D, 0, true, "Dt. Câmbio");
    row(13, "DTAPURFATFAS", D, 0, false, "");
    row(14, "DTMESAPURADO", D, 0, false, "");
    row(15, "NRLANCTONF", S, 10, false, "");
    row(16, "NRNOTAFISC", S, 20, true, "Nº NF");
    row(17, "VRCAMBIOINVOICE", F, 0, true, "Vr. Câmbio (R$)", f3, f3);
    row(18, "TOTALINVOICE", F, 0, true, "Valor (U$)", "#,##0.00");
    row(19, "VRORDPGTOINVOI", F, 0, false, "", f2z, f2z, L);
    row(20, "VRTXCAMBIOINVOI", F, 0, false, "", f2z, f2z, L);
    row(21, "DSREFPGTOINVOI", S, 60, false, "");
    row(22, "DSOBSPGTOINVOI", S, 2000, false, "");
    row(23, "DSEMISSINVOI", S, 400, false, "");
    row(24, "DSBOLEFATFAS", S, 400, false, "");
    row(25, "IDTIPOINVOICE", S, 1, false, "");
    row(26, "IDGERNFINVOI", S, 1, false, "");
    row(27, "IDCHECK", S, 1, false, "");
    row(28, "IDAPURFATFAS", S, 1, false, "");
}

void TstFormData::invoiceFields()
{
    checkField(FormData::load("Cli_FAS10000").fields("cdsInvoice"));
}

void TstFormData::itemFields_data()
{
    addFieldColumns();
    row(0, "CDEMPRESA", S, 2, false, "");
    row(1, "CDFILIAL", S, 4, false, "");
    row(2, "NRINVOICE", S, 10, false, "");
    row(3, "NRSEQITINVOI", S, 4, false, "");
    row(4, "CDPRODUTO", S, 10, false, "");
    row(5, "NMPRODUTO", S, 50, true, "Item");
    row(6, "DSEMISSINVOI", S, 400, false, "");
    row(7, "VRUNITEINVOI", F, 0, true, "Vr. Unitário", "#,##0.00");
    row(8, "VRUNITEDESC", F, 0, true, "Vr. Ajustado", "#,##0.00");
    row(9, "VRTOTITEINVOI", F, 0, false, "", "#,##0.00");
}

void TstFormData::itemFields()
{
    checkField(FormData::load("Cli_FAS10000").fields("cdsItem"));
}

void TstFormData::recordSetSizes()
{
    const FormData data = FormData::load("Cli_FAS10000");
    QCOMPARE(data.fields("cdsInvoice").size(), 29);
    QCOMPARE(data.fields("cdsItem").size(), 10);
    QStringList sets = data.recordSets();
    sets.sort();
    QCOMPARE(sets, (QStringList{"cdsInvoice", "cdsItem"}));
}

void TstFormData::gridColumns_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("titles"); // "" for the field's display label
    QTest::addColumn<QList<int>>("widths");  // -1 for the field's default width
    QTest::newRow("dbgPadrao") << "dbgPadrao"
                               << QStringList{"IDCHECK",         "IDTIPOINVOICE",   "NRINVOICE",
                                              "NMFANTCLIE",      "DTEMISINVOICE",   "DTVENINVOICE",
                                              "DTRECINVOICE",    "DTCAMBIOINVOICE", "NRNOTAFISC",
                                              "VRCAMBIOINVOICE", "TOTALINVOICE"}
                               << QStringList{"4", "Tipo", "", "", "", "", "", "", "", "", ""}
                               << QList<int>{16, 68, 69, 152, 74, 80, 84, 71, 67, -1, 72};
    QTest::newRow("dbgItem") << "dbgItem"
                             << QStringList{"NMPRODUTO", "DSEMISSINVOI", "VRUNITEINVOI",
                                            "VRUNITEDESC"}
                             << QStringList{"", "Descrição", "", ""}
                             << QList<int>{163, 484, 93, 93};
}

void TstFormData::gridColumns()
{
    QFETCH(QString, grid);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, titles);
    QFETCH(QList<int>, widths);
    const QList<ColumnSpec> columns = FormData::load("Cli_FAS10000").columns(grid);
    QCOMPARE(columns.size(), fields.size());
    for (int i = 0; i < columns.size(); ++i) {
        QCOMPARE(columns[i].field, fields[i]);
        QCOMPARE(columns[i].title.value_or(QString()), titles[i]);
        QCOMPARE(columns[i].title.has_value(), !titles[i].isEmpty());
        QCOMPARE(columns[i].width.value_or(-1), widths[i]);
    }
}

// A column bound to a field the record set does not declare would show nothing.
void TstFormData::gridColumnsNameDeclaredFields()
{
    const FormData data = FormData::load("Cli_FAS10000");
    const QList<QPair<QString, QString>> grids{{"dbgPadrao", "cdsInvoice"}, {"dbgItem", "cdsItem"}};
    for (const auto& [grid, recordSet] : grids) {
        QStringList names;
        for (const FieldSpec& f : data.fields(recordSet))
            names.append(f.def.name);
        for (const ColumnSpec& c : data.columns(grid))
            QVERIFY2(names.contains(c.field), qPrintable(grid + ": " + c.field));
    }
}

void TstFormData::symbolTitleFont()
{
    const FormData data = FormData::load("Cli_FAS10000");
    const GridSpec invoices = data.grid("dbgPadrao");
    QCOMPARE(invoices.dataSource, QString("dtsPadrao"));
    QVERIFY(invoices.columns.first().titleFont.has_value());
    QCOMPARE(invoices.columns.first().titleFont->charset, QString("symbol"));
    QCOMPARE(invoices.columns.first().titleFont->family, QString("MS Sans Serif"));
    QCOMPARE(invoices.columns.first().titleFont->pixelSize, 11);
    for (int i = 1; i < invoices.columns.size(); ++i)
        QVERIFY(!invoices.columns[i].titleFont.has_value());
    const GridSpec items = data.grid("dbgItem");
    QCOMPARE(items.dataSource, QString("dtsItem"));
    QVERIFY(items.titleFont.has_value());
    QVERIFY(items.titleFont->charset.isEmpty());
}

void TstFormData::companyQuery()
{
    const QuerySpec q = FormData::load("Cli_FAS10000").query("qryEmpresa");
    QCOMPARE(q.lines, (QStringList{"SELECT", "   CDEMPRESA,", "   NMEMPRESA", "FROM", "   EMPRESA",
                                   "WHERE", "   :P_TCDEMPRESA = 'T' OR :P_CDEMPRESA = CDEMPRESA",
                                   "ORDER BY", "   CDEMPRESA"}));
    QCOMPARE(q.params.size(), 2);
    QCOMPARE(q.params[0].name, QString("P_TCDEMPRESA"));
    QCOMPARE(q.params[1].name, QString("P_CDEMPRESA"));
    QCOMPARE(q.params[1].type, FieldType::String);
    QCOMPARE(q.fields.size(), 2);
    QCOMPARE(q.fields[0].def, (FieldDef{"CDEMPRESA", FieldType::String, 2, false}));
    QCOMPARE(q.fields[0].displayLabel, QString("Código"));
    QCOMPARE(q.fields[1].def, (FieldDef{"NMEMPRESA", FieldType::String, 40, false}));
    QCOMPARE(q.fields[1].displayLabel, QString("Nome"));
    QCOMPARE(q.fields[1].displayWidth, 45);
    QCOMPARE(q.fields[0].displayWidth, 0);
}

void TstFormData::customerQuery()
{
    const QuerySpec q = FormData::load("Cli_FAS10001").query("qryCliente");
    const QStringList expected{
        "SELECT C.CDCLIENTE, C.NRINSJURCLIE, C.NMFANTCLIE, C.IDTPIJURCLIE, C.NMRAZSOCCLIE",
        "  FROM CLIENTE C, ENDECLIE E",
        " WHERE C.CDCLIENTE = E.CDCLIENTE",
        "   AND E.IDTPENDECLIE = 'P'",
        "   AND E.CDPAIS <> '0055'",
        " ORDER BY C.NMFANTORDCLIE, C.CDCLIENTE"};
    QCOMPARE(q.lines, expected);
    QCOMPARE(q.text(), expected.join('\n'));
    QVERIFY(q.params.isEmpty());
    QCOMPARE(q.fields.size(), 5);
    const QStringList names{"CDCLIENTE", "NRINSJURCLIE", "NMFANTCLIE", "IDTPIJURCLIE",
                            "NMRAZSOCCLIE"};
    const QList<int> sizes{21, 20, 50, 1, 50};
    const QList<bool> shown{false, true, true, false, true};
    const QStringList labels{"CDCLIENTE", "Inscrição", "Nome Fantasia", "IDTPIJURCLIE",
                             "Razão Social"};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(q.fields[i].def.name, names[i]);
        QCOMPARE(q.fields[i].def.size, sizes[i]);
        QCOMPARE(q.fields[i].visible, shown[i]);
        QCOMPARE(q.fields[i].displayLabel, labels[i]);
    }
    QCOMPARE(q.fields[1].displayWidth, 25);
}

void TstFormData::controlProperties()
{
    const FormData settlement = FormData::load("Cli_FAS10000");
    QCOMPARE(settlement.controlProperties("sbtMais").value("GroupIndex").toInt(), 1);
    QCOMPARE(settlement.controlProperties("sbtMais").value("AllowAllUp").toBool(), true);
    QCOMPARE(settlement.controlProperties("btpEmpresa").value("EmptyError").toString(),
             QString("Não há Empresa cadastrada."));
    QVERIFY(settlement.controlProperties("sbtAjuda").isEmpty());
    const QVariantMap dolar = FormData::load("Cli_FAS10003").controlProperties("nedVrDolarDia");
    QCOMPARE(dolar.value("Decimals").toInt(), 3);
    QCOMPARE(dolar.value("Thousands").toBool(), false);
    QCOMPARE(FormData::load("Cli_FAS10003").controlProperties("nedVrNF").value("Decimals"),
             QVariant(2));
    const QVariantMap date = FormData::load("Cli_FAS10001").controlProperties("depCambFin");
    QCOMPARE(date.value("NomeSemana").toStringList().size(), 7);
    QCOMPARE(date.value("NomeSemana").toStringList().at(6), QString("Sábado"));
}

void TstFormData::unknownNamesFail()
{
    QVERIFY_THROWS_EXCEPTION(FormDataError, FormData::load("Cli_FAS99999"));
    const FormData data = FormData::load("Cli_FAS10000");
    QVERIFY_THROWS_EXCEPTION(FormDataError, data.fields("cdsNada"));
    QVERIFY_THROWS_EXCEPTION(FormDataError, data.grid("dbgNada"));
    QVERIFY_THROWS_EXCEPTION(FormDataError, data.query("qryNada"));
    QVERIFY_THROWS_EXCEPTION(FormDataError, FormData::load("Cli_FAS10002").fields("cdsInvoice"));
}

QTEST_GUILESS_MAIN(TstFormData)
#include "tst_formdata.moc"
