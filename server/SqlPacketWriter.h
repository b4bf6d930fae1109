#pragma once

#include "DataPacket.h"
#include "ServerSql.h"

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>

struct sqlite3;

// The rows of an executed query written as a packet's JSON form ({"fields":…,"rows":…}), each
// cell as its field's type: stored date texts as local date-times (null when damaged), numbers
// as floats; `rowCount` receives the rows.
QByteArray writePacket(QSqlQuery& query, const QList<FieldDef>& fields, qsizetype* rowCount);

// The sqlite3 connection under a Qt SQL connection of the SQLite driver; null for any other.
sqlite3* sqliteHandle(const QSqlDatabase& db);

// writePacket's answer for the statement, read through SQLite's own interface.
QByteArray writeSqlitePacket(sqlite3* db, const BoundSql& statement, const QList<FieldDef>& fields,
                             qsizetype* rowCount, const char* what);
