#include "FilterIndex.h"

#include "RecordStore.h"

#include <algorithm>

std::optional<FilterCondition> FilterCondition::parse(QStringView text)
{
    const QChar* p = text.data();
    const QChar* end = p + text.size();
    const auto skipBlanks = [&] {
        while (p < end && p->isSpace())
            ++p;
    };
    skipBlanks();
    const QChar* nameStart = p;
    while (p < end && (p->isLetterOrNumber() || *p == u'_'))
        ++p;
    if (p == nameStart)
        return std::nullopt;
    FilterCondition condition;
    condition.field = QString(nameStart, p - nameStart);
    skipBlanks();
    if (p == end || *p != u'=')
        return std::nullopt;
    ++p;
    skipBlanks();
    if (p == end || *p != u'\'')
        return std::nullopt;
    ++p;
    for (;;) {
        if (p == end)
            return std::nullopt;
        if (*p == u'\'') {
            if (p + 1 < end && p[1] == u'\'') {
                condition.value.append(u'\'');
                p += 2;
                continue;
            }
            ++p;
            break;
        }
        condition.value.append(*p++);
    }
    skipBlanks();
    if (p != end)
        return std::nullopt;
    return condition;
}

void FilterIndex::apply(const RecordStore& store, int column, const QString& value)
{
    if (column != m_column) {
        m_rows.clear();
        m_column = column;
        const int rows = store.rowCount();
        for (int r = 0; r < rows; ++r) {
            if (store.isNull(r, column))
                continue;
            std::shared_ptr<Rows>& entry = m_rows[store.text(r, column)];
            if (!entry)
                entry = std::make_shared<Rows>();
            entry->push_back(r);
        }
    }
    static const auto none = std::make_shared<const Rows>();
    const auto it = m_rows.constFind(value);
    m_visible = it == m_rows.constEnd() ? none : it.value();
}

void FilterIndex::invalidate()
{
    m_rows.clear();
    m_column = -1;
    m_visible.reset();
}

int FilterIndex::lowerBound(int row) const
{
    return int(std::lower_bound(m_visible->begin(), m_visible->end(), row) - m_visible->begin());
}

bool FilterIndex::contains(int row) const
{
    return std::binary_search(m_visible->begin(), m_visible->end(), row);
}
