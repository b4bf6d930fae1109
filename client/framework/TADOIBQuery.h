#pragma once

#include "TClientDataSet.h"
#include "TField.h"

#include <QObject>
#include <QSqlDatabase>
#include <QStringList>
#include <vector>

// The string fields of a query are the record set's fields.
using TADOIBStringField = TField;

// A named parameter of a query (":P_CDEMPRESA" in the text). A parameter that was never set
// is bound as the empty text.
struct TADOIBParam
{
    QString Name;
    QString AsString;
};

class TADOIBParams
{
public:
    // Throws EDatabaseError when the query has no such parameter.
    TADOIBParam& ParamByName(const QString& name);
    TADOIBParam* FindParam(const QString& name);
    int Count() const { return int(m_params.size()); }
    TADOIBParam& Items(int index) { return m_params.at(size_t(index)); }

private:
    friend class TADOIBQuery;
    std::vector<TADOIBParam> m_params;
};

// A read-only query on the shared database (dtmDBGeral). Open runs the SQL lines with the
// parameters bound by name and loads the result into the record set Query, to which data
// sources and lookups attach. A parameter may occur several times in the text.
class TADOIBQuery : public QObject
{
    Q_OBJECT
public:
    explicit TADOIBQuery(QObject* parent = nullptr);

    QStringList SQL;

    // The parameters of the current SQL text, keeping the values of those that remain.
    TADOIBParams& GetIBParams();

    void Open();
    void Close();
    bool Active() const { return m_query->Active(); }
    bool IsEmpty() const { return m_query->IsEmpty(); }
    TADOIBStringField& FieldByName(const QString& name) const { return m_query->FieldByName(name); }
    TClientDataSet* Query() const { return m_query; }

    // The connection to run on; by default the shared database.
    void SetDatabase(const QSqlDatabase& database) { m_database = database; }

    // The SQL text with every parameter replaced by a positional placeholder, and the
    // parameter names in the order of the placeholders.
    struct Prepared
    {
        QString text;
        QStringList names;
    };
    static Prepared prepare(const QString& sql);

private:
    TClientDataSet* m_query;
    TADOIBParams m_params;
    QSqlDatabase m_database;
};
