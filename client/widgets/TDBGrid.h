#pragma once

#include "DataSetTableModel.h"
#include "DataSourceBinding.h"

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QTableView>
#include <functional>
#include <memory>
#include <vector>

class TDBGrid;

// One column of a TDBGrid: the field it shows, its title (empty: the field's display
// label), the title's font, and its width in pixels (0: from the field's display width).
class TColumn
{
public:
    TColumn(TDBGrid& grid, int index) : m_grid(grid), m_index(index) {}
    int Index() const { return m_index; }
    QString FieldName;
    QString Title;
    QFont TitleFont;
    bool HasTitleFont = false;
    int Width = 0;
    TField* Field() const; // nullptr when the record set has no such field

private:
    TDBGrid& m_grid;
    int m_index;
};

enum class TGridDrawStateFlag { Selected = 0x1, Focused = 0x2 };
Q_DECLARE_FLAGS(TGridDrawState, TGridDrawStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridDrawState)

// A read-only data-aware grid: whole-row selection, no in-place editing, no sorting. Its
// current row and the record set's cursor follow each other. User handlers run through the
// event dispatcher, so no exception reaches Qt's event loop.
class TDBGrid : public QTableView
{
    Q_OBJECT

public:
    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    TDataSource* DataSource() const { return m_binding->source(); }
    void SetDataSource(TDataSource* dataSource);

    TColumn& AddColumn(const QString& fieldName, const QString& title = {}, int width = 0);
    int ColumnCount() const { return int(m_columns.size()); }
    TColumn& Columns(int index) const { return *m_columns.at(size_t(index)); }
    void ApplyColumns(); // after changing a column's properties

    void SetDefaultColors(const QColor& background, const QColor& text);
    QColor DefaultBackground() const { return m_background; }
    QColor DefaultText() const { return m_text; }

    // Draws the field's display text (of the row being drawn) with its alignment.
    void DefaultDrawDataCell(QPainter& painter, const QRect& rect, TField& field,
                             TGridDrawState state);

    std::function<void(TColumn& column)> OnCellClick;
    std::function<void(TColumn& column)> OnTitleClick;
    std::function<void(QChar& key)> OnKeyPress; // may change or clear the key
    std::function<void()> OnEnter;
    std::function<void(QPainter& painter, const QRect& rect, int column, TColumn& gridColumn,
                       TGridDrawState state)>
        OnDrawColumnCell;

    DataSetTableModel& GridModel() const { return *m_model; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class TColumn;
    friend class GridDelegate;
    TClientDataSet* dataSet() const { return m_binding->dataSet(); }
    void attach(TClientDataSet* set);
    // Puts the current row on the record set's cursor. After a reload (`reset`) the list keeps
    // the rows it showed when the current row is still among them, else that row comes to
    // the middle: the list never jumps under the user's next click.
    void followCursor(bool reset = false);
    void currentRowChanged(const QModelIndex& current);
    void cellClicked(const QModelIndex& index);
    void titleClicked(int section);

    DataSourceBinding* m_binding;
    DataSetTableModel* m_model;
    std::vector<std::unique_ptr<TColumn>> m_columns;
    QColor m_background;
    QColor m_text;
    bool m_syncing = false;
    int m_topBeforeReset = -1;
};
