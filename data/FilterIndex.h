#pragma once

#include <QHash>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class RecordStore;

// The filter texts a record set reads: FIELD ='value', blanks allowed around the name and
// the sign, '' inside the value standing for one quote.
struct FilterCondition
{
    QString field;
    QString value;
    // nullopt for a text of any other form.
    static std::optional<FilterCondition> parse(QStringView text);
};

// The rows of a record set that one value of one text field selects, found in
// O(log n + k) per change: an index from each value of the field to its rows (ascending),
// built once per field and load and kept until invalidate().
class FilterIndex
{
public:
    // Only the rows whose `column` holds `value` are visible (null cells match nothing).
    void apply(const RecordStore& store, int column, const QString& value);
    // Every row is visible.
    void deactivate() { m_visible.reset(); }
    // The store's rows or the indexed column changed: the index is built anew by the next
    // apply. Deactivates.
    void invalidate();

    bool active() const { return m_visible != nullptr; }
    int indexedColumn() const { return m_column; }
    // While active: the visible rows, by position.
    int count() const { return int(m_visible->size()); }
    int rowAt(int position) const { return (*m_visible)[size_t(position)]; }
    // The position of the first visible row at or after `row` (count() when none).
    int lowerBound(int row) const;
    bool contains(int row) const;

private:
    using Rows = std::vector<int>;
    int m_column = -1;
    QHash<QString, std::shared_ptr<Rows>> m_rows;
    std::shared_ptr<const Rows> m_visible; // shared with the index: valid while it is rebuilt
};
