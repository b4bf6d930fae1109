#include "ChangeLog.h"

#include "PacketWriter.h"
#include "RecordStore.h"

namespace {

bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isValid() != b.isValid())
        return false;
    return !a.isValid() || a == b;
}

} // namespace

// The changed rows for the delta writer: base values in "old", current ones in "set".
class ChangeLogRows final : public DeltaRowSource
{
public:
    ChangeLogRows(const ChangeLog& log, const QList<FieldDef>& fields, const RecordStore& store)
        : m_log(log), m_fields(fields), m_store(store), m_next(log.m_rows.cbegin())
    {}

    const QList<FieldDef>& fields() const override { return m_fields; }
    qsizetype rowCount() const override { return qsizetype(m_log.m_rows.size()); }
    bool next() override
    {
        if (m_next == m_log.m_rows.cend())
            return false;
        m_current = m_next++;
        m_column = -1;
        return true;
    }
    void writeCell(JsonWriter& out, int column, qsizetype row) override
    {
        const auto it = m_current->second.constFind(column);
        if (it != m_current->second.constEnd())
            writeJsonValue(out, m_fields.at(column), it.value(), row);
        else
            m_store.writeJson(out, m_current->first, column, m_fields.at(column), row);
    }
    bool nextChanged(int& column) override
    {
        while (++m_column < int(m_fields.size())) {
            if (m_current->second.contains(m_column)) {
                column = m_column;
                return true;
            }
        }
        return false;
    }
    void writeChanged(JsonWriter& out, int column) override
    {
        m_store.writeJson(out, m_current->first, column, m_fields.at(column), -1);
    }

private:
    const ChangeLog& m_log;
    const QList<FieldDef>& m_fields;
    const RecordStore& m_store;
    std::map<int, ChangeLog::Base>::const_iterator m_next;
    std::map<int, ChangeLog::Base>::const_iterator m_current;
    int m_column = -1;
};

bool ChangeLog::post(int row, const RecordStore& store, int watchedColumn)
{
    bool watchedWritten = false;
    if (!m_editBackup.isEmpty()) {
        Base& base = m_rows[row];
        for (auto it = m_editBackup.constBegin(); it != m_editBackup.constEnd(); ++it) {
            if (!base.contains(it.key()))
                base.insert(it.key(), it.value());
            watchedWritten = watchedWritten || it.key() == watchedColumn;
        }
        for (auto it = base.begin(); it != base.end();) {
            if (sameValue(it.value(), store.value(row, it.key())))
                it = base.erase(it);
            else
                ++it;
        }
        if (base.isEmpty())
            m_rows.erase(row);
    }
    m_editBackup.clear();
    return watchedWritten;
}

void ChangeLog::cancelEdit(int row, RecordStore& store)
{
    for (auto it = m_editBackup.constBegin(); it != m_editBackup.constEnd(); ++it)
        store.setValue(row, it.key(), it.value());
    m_editBackup.clear();
}

bool ChangeLog::restore(RecordStore& store, int watchedColumn)
{
    bool watchedRestored = false;
    for (const auto& [row, base] : m_rows) {
        for (auto it = base.constBegin(); it != base.constEnd(); ++it) {
            store.setValue(row, it.key(), it.value());
            watchedRestored = watchedRestored || it.key() == watchedColumn;
        }
    }
    m_rows.clear();
    return watchedRestored;
}

QByteArray ChangeLog::deltaJson(const QList<FieldDef>& fields, const RecordStore& store) const
{
    ChangeLogRows rows(*this, fields, store);
    return ::deltaJson(rows);
}
