#pragma once

#include "DataPacket.h"
#include "ServerSql.h"

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>

struct sqlite3;

// The rows of an executed query as a data packet, each cell converted to its field's type.
DataPacket readPacket(QSqlQuery& query, const QList<FieldDef>& fields);

// The rows of an executed query written as a packet's JSON form ({"fields":…,"rows":…}),
// with the value each cell of readPacket's packet would carry; `rowCount` receives the rows.
QByteArray writePacket(QSqlQuery& query, const QList<FieldDef>& fields, qsizetype* rowCount);

// The sqlite3 connection under a Qt SQL connection of the SQLite driver; null for any other.
sqlite3* sqliteHandle(const QSqlDatabase& db);

// writePacket's answer for the statement, read through SQLite's own interface.
QByteArray writeSqlitePacket(sqlite3* db, const BoundSql& statement, const QList<FieldDef>& fields,
                             qsizetype* rowCount, const char* what);
