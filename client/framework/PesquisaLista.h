#pragma once

#include <QString>

class TDataSource;

// A multiple-choice list over the rows of the data source's record set. `lookupText` is
// "title|text for an empty list". The keys (field `keyField`) already in `list` are shown
// checked; when the user confirms, `list` receives the keys of the checked rows, in list order,
// in the customer-list text form (KeyList). With no rows, the empty-list text is shown as an
// error and `list` stays as it was; so it does when the user cancels. `flag` is accepted for
// the callers' sake and changes nothing. Returns true when the user confirmed.
bool PesquisaLista(TDataSource* dataSource, const QString& keyField, const QString& lookupText,
                   bool flag, QString& list);
