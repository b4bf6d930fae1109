#include "InvoiceLayout.h"

#include "ServiceFailure.h"

namespace InvoiceLayout {

namespace {

FieldDef text(const char* name, int size, bool fixed = false)
{
    return FieldDef{QString::fromLatin1(name), FieldType::String, size, fixed};
}

FieldDef date(const char* name)
{
    return FieldDef{QString::fromLatin1(name), FieldType::DateTime, 0, false};
}

FieldDef number(const char* name)
{
    return FieldDef{QString::fromLatin1(name), FieldType::Float, 0, false};
}

} // namespace

const QList<FieldDef>& invoiceFields()
{
    static const QList<FieldDef> fields{
        text("ORDENA", 200),        text("ORDENA2", 200),         text("CDEMPRESA", 2),
        text("NMEMPRESA", 40),      text("CDFILIAL", 4),          text("NRINVOICE", 10),
        text("CDCLIENTE", 21),      text("NMFANTCLIE", 50),       text("CDPRODUTO", 10),
        date("DTEMISINVOICE"),      date("DTVENINVOICE"),         date("DTRECINVOICE"),
        date("DTCAMBIOINVOICE"),    date("DTAPURFATFAS"),         date("DTMESAPURADO"),
        text("NRLANCTONF", 10),     text("NRNOTAFISC", 20),       number("VRCAMBIOINVOICE"),
        number("TOTALINVOICE"),     number("VRORDPGTOINVOI"),     number("VRTXCAMBIOINVOI"),
        text("DSREFPGTOINVOI", 60), text("DSOBSPGTOINVOI", 2000), text("DSEMISSINVOI", 400),
        text("DSBOLEFATFAS", 400),  text("IDTIPOINVOICE", 1),     text("IDGERNFINVOI", 1),
        text("IDCHECK", 1, true),   text("IDAPURFATFAS", 1)};
    return fields;
}

const QList<FieldDef>& historyFields()
{
    static const QList<FieldDef> fields{date("DTHISTORICO"),       text("NMUSUARIO", 64),
                                        text("NMESTACAO", 64),      text("IDOPERACAO", 30),
                                        text("NMCAMPO", 30),        text("DSVALORANT", 2000),
                                        text("DSVALORNOVO", 2000)};
    return fields;
}

const QList<FieldDef>& itemFields()
{
    static const QList<FieldDef> fields{text("CDEMPRESA", 2),      text("CDFILIAL", 4),
                                        text("NRINVOICE", 10),     text("NRSEQITINVOI", 4),
                                        text("CDPRODUTO", 10),     text("NMPRODUTO", 50),
                                        text("DSEMISSINVOI", 400), number("VRUNITEINVOI"),
                                        number("VRUNITEDESC"),     number("VRTOTITEINVOI")};
    return fields;
}

const QStringList& receiptFields()
{
    static const QStringList fields{
        QStringLiteral("DTRECINVOICE"), QStringLiteral("VRORDPGTOINVOI"),
        QStringLiteral("DSREFPGTOINVOI"), QStringLiteral("DSOBSPGTOINVOI")};
    return fields;
}

const QStringList& exchangeFields()
{
    static const QStringList fields{QStringLiteral("VRCAMBIOINVOICE"),
                                    QStringLiteral("VRTXCAMBIOINVOI"),
                                    QStringLiteral("DTCAMBIOINVOICE")};
    return fields;
}

const QStringList& editableFields()
{
    static const QStringList fields = receiptFields() + exchangeFields();
    return fields;
}

const QStringList& storedFields()
{
    static const QStringList fields = [] {
        QStringList names;
        const QStringList derived{QStringLiteral("ORDENA"), QStringLiteral("ORDENA2"),
                                  QStringLiteral("NMEMPRESA"), QStringLiteral("NMFANTCLIE"),
                                  QStringLiteral("IDCHECK")};
        for (const FieldDef& field : invoiceFields()) {
            if (!derived.contains(field.name))
                names.append(field.name);
        }
        return names;
    }();
    return fields;
}

QString compare(const QList<FieldDef>& actual, const QList<FieldDef>& expected)
{
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const FieldDef& want = expected.at(i);
        if (i >= actual.size())
            return QStringLiteral("falta o campo %1").arg(want.name);
        const FieldDef& got = actual.at(i);
        if (got.name != want.name)
            return QStringLiteral("campo %1 na posição %2, esperado %3")
                .arg(got.name)
                .arg(i + 1)
                .arg(want.name);
        if (got.type != want.type)
            return QStringLiteral("campo %1 do tipo %2, esperado %3")
                .arg(want.name, fieldTypeName(got.type), fieldTypeName(want.type));
        if (want.type == FieldType::String && (got.size != want.size || got.fixed != want.fixed))
            return QStringLiteral("campo %1 com tamanho %2, esperado %3")
                .arg(want.name)
                .arg(got.size)
                .arg(want.size);
    }
    if (actual.size() > expected.size())
        return QStringLiteral("campo a mais: %1").arg(actual.at(expected.size()).name);
    return {};
}

qsizetype indexOf(const QList<FieldDef>& fields, const QString& name)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields.at(i).name == name)
            return i;
    }
    throw ServiceFailure(QStringLiteral("Campo desconhecido: %1.").arg(name));
}

} // namespace InvoiceLayout
