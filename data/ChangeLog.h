#pragma once

#include "DataPacket.h"

#include <QHash>
#include <QVariant>
#include <map>

class RecordStore;

// The pending changes of a record set: per changed row, the base value (as of the last load
// or merge) of each field that changed, and the values a row had before its current edit.
// A row counts as changed while one of its fields differs from its base value.
class ChangeLog
{
public:
    int count() const { return int(m_rows.size()); }
    // The current values become the base (a merge, a load, a close).
    void clear() { m_rows.clear(); }

    // The edit of one row: each field's value before its first write is kept.
    void beginEdit() { m_editBackup.clear(); }
    void noteWrite(int column, const QVariant& before)
    {
        if (!m_editBackup.contains(column))
            m_editBackup.insert(column, before);
    }
    // Posts the edit of `row`: its backups join the row's base values, and a field changed
    // back to its base is no change any more. True when the edit wrote `watchedColumn`.
    bool post(int row, const RecordStore& store, int watchedColumn);
    // Puts back the values `row` had before the edit.
    void cancelEdit(int row, RecordStore& store);
    // Puts back every base value and forgets the changes; true when `watchedColumn` of
    // some row was put back.
    bool restore(RecordStore& store, int watchedColumn);

    // The changed rows as a delta's JSON text under `fields` (one per column of the store).
    QByteArray deltaJson(const QList<FieldDef>& fields, const RecordStore& store) const;

private:
    friend class ChangeLogRows;
    using Base = QHash<int, QVariant>; // column -> base value

    std::map<int, Base> m_rows; // by row, ascending
    Base m_editBackup;
};
