#include "TDBGrid.h"

#include "EventDispatch.h"
#include "FocusTracker.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

// Default drawing of each cell, then the grid's OnDrawColumnCell on top, with the record
// set's fields reading the row being drawn.
class GridDelegate : public QStyledItemDelegate
{
public:
    explicit GridDelegate(TDBGrid& grid) : QStyledItemDelegate(&grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem styled = option;
        if (m_grid.m_background.isValid() && !(option.state & QStyle::State_Selected))
            painter->fillRect(option.rect, m_grid.m_background);
        if (m_grid.m_text.isValid())
            styled.palette.setColor(QPalette::Text, m_grid.m_text);
        QStyledItemDelegate::paint(painter, styled, index);
        TClientDataSet* dataSet = m_grid.dataSet();
        if (!m_grid.OnDrawColumnCell || !dataSet || index.row() >= dataSet->RecordCount())
            return;
        TGridDrawState state;
        if (option.state & QStyle::State_Selected)
            state |= TGridDrawStateFlag::Selected;
        if (option.state & QStyle::State_HasFocus)
            state |= TGridDrawStateFlag::Focused;
        TColumn& column = m_grid.Columns(index.column());
        painter->save();
        // The brush is the cell's background, as a handler filling the cell expects.
        painter->setBrush(option.state & QStyle::State_Selected
                              ? option.palette.brush(QPalette::Highlight)
                              : (m_grid.m_background.isValid()
                                     ? QBrush(m_grid.m_background)
                                     : option.palette.brush(QPalette::Base)));
        painter->setPen(Qt::NoPen);
        TClientDataSet::DrawScope scope(*dataSet, index.row());
        Dispatch(
            [&] { m_grid.OnDrawColumnCell(*painter, option.rect, index.column(), column, state); });
        painter->restore();
    }

private:
    TDBGrid& m_grid;
};

TField* TColumn::Field() const
{
    return m_grid.m_model->fieldOf(m_index);
}

TDBGrid::TDBGrid(QWidget* parent)
    : QTableView(parent),
      m_binding(new DataSourceBinding(this, [this](TClientDataSet* set) { attach(set); })),
      m_model(new DataSetTableModel(this))
{
    setModel(m_model);
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { m_topBeforeReset = verticalScrollBar()->value(); });
    setItemDelegate(new GridDelegate(*this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setTabKeyNavigation(false); // Tab leaves the grid; the arrows move inside it
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setMinimumSectionSize(4);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { currentRowChanged(current); });
    connect(this, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { cellClicked(index); });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { titleClicked(section); });
    FocusTracker::setOnEnter(this, FocusTracker::forwardTo(OnEnter));
}

TDBGrid::~TDBGrid()
{
    FocusTracker::clearHandlers(this);
}

void TDBGrid::SetDataSource(TDataSource* dataSource)
{
    m_binding->setSource(dataSource);
}

void TDBGrid::attach(TClientDataSet* set)
{
    m_model->setDataSet(set);
    // After the model's own reset (connected first), put the current row on the cursor.
    m_binding->follow(&TClientDataSet::dataReset, [this] { followCursor(true); });
    m_binding->follow(&TClientDataSet::cursorMoved, [this](int) { followCursor(); });
    ApplyColumns();
}

TColumn& TDBGrid::AddColumn(const QString& fieldName, const QString& title, int width)
{
    auto column = std::make_unique<TColumn>(*this, int(m_columns.size()));
    column->FieldName = fieldName;
    column->Title = title;
    column->Width = width;
    m_columns.push_back(std::move(column));
    ApplyColumns();
    return *m_columns.back();
}

void TDBGrid::ApplyColumns()
{
    QList<DataSetTableModel::ColumnSpec> specs;
    for (const auto& column : m_columns)
        specs.append({column->FieldName, column->Title, column->TitleFont, column->HasTitleFont});
    m_model->setColumns(specs);
    const int charWidth = fontMetrics().averageCharWidth();
    for (const auto& column : m_columns) {
        int width = column->Width;
        if (width <= 0) {
            const TField* field = column->Field();
            width = (field ? field->DisplayWidth() : 10) * charWidth + 4;
        }
        setColumnWidth(column->Index(), width);
    }
    followCursor();
}

void TDBGrid::SetDefaultColors(const QColor& background, const QColor& text)
{
    m_background = background;
    m_text = text;
    viewport()->update();
}

void TDBGrid::DefaultDrawDataCell(QPainter& painter, const QRect& rect, TField& field,
                                  TGridDrawState state)
{
    painter.save();
    QPalette::ColorRole role =
        state.testFlag(TGridDrawStateFlag::Selected) ? QPalette::HighlightedText : QPalette::Text;
    QColor color = palette().color(role);
    if (!state.testFlag(TGridDrawStateFlag::Selected) && m_text.isValid())
        color = m_text;
    // The text is written opaque: the cell's background (the canvas's brush) first, so that
    // writing a cell again never thickens the text already drawn there.
    painter.fillRect(rect, painter.brush());
    painter.setPen(color);
    painter.setFont(font());
    int alignment = int(field.Alignment());
    if (!(alignment & Qt::AlignVertical_Mask))
        alignment |= Qt::AlignVCenter;
    painter.drawText(rect.adjusted(2, 0, -2, 0), alignment, field.DisplayText());
    painter.restore();
}

void TDBGrid::followCursor(bool reset)
{
    TClientDataSet* set = dataSet();
    if (!set || m_syncing)
        return;
    const int position = set->RecNo() - 1;
    if (position < 0 || position >= m_model->rowCount())
        return;
    const QModelIndex current = currentIndex();
    const int column = current.isValid() ? current.column() : 0;
    const QModelIndex target = m_model->index(position, column);
    if (reset && m_topBeforeReset >= 0 && isVisible()) {
        executeDelayedItemsLayout();
        verticalScrollBar()->setValue(m_topBeforeReset);
        if (!viewport()->rect().contains(visualRect(target)))
            scrollTo(target, PositionAtCenter);
    }
    m_topBeforeReset = -1;
    if (current.isValid() && current.row() == position)
        return;
    m_syncing = true;
    setCurrentIndex(target);
    m_syncing = false;
}

void TDBGrid::currentRowChanged(const QModelIndex& current)
{
    TClientDataSet* set = dataSet();
    if (m_syncing || !set || !current.isValid() || set->RecNo() == current.row() + 1)
        return;
    m_syncing = true;
    Dispatch([&] { set->SetRecNo(current.row() + 1); });
    m_syncing = false;
}

void TDBGrid::cellClicked(const QModelIndex& index)
{
    if (!index.isValid() || index.column() >= ColumnCount())
        return;
    currentRowChanged(index); // the clicked row is the current record before the handler
    if (OnCellClick)
        Dispatch([&] { OnCellClick(Columns(index.column())); });
}

void TDBGrid::titleClicked(int section)
{
    if (section < 0 || section >= ColumnCount() || !OnTitleClick)
        return;
    Dispatch([&] { OnTitleClick(Columns(section)); });
}

void TDBGrid::keyPressEvent(QKeyEvent* event)
{
    if (OnKeyPress && !event->text().isEmpty()) {
        QChar key = event->text().at(0);
        Dispatch([&] { OnKeyPress(key); });
        if (key.isNull()) {
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}
