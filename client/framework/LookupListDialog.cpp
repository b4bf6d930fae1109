#include "LookupListDialog.h"

#include "SortKey.h"
#include "TClientDataSet.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
constexpr int positionRole = Qt::UserRole + 1;
constexpr int searchKeyRole = Qt::UserRole + 2; // the cell's text without accents or case
} // namespace

LookupListDialog::LookupListDialog(TClientDataSet& dataSet, Mode mode, const QString& title,
                                   QWidget* parent)
    : QDialog(parent), m_mode(mode), m_search(new QLineEdit(this)), m_table(new QTableWidget(this))
{
    setWindowTitle(title);
    setObjectName(QStringLiteral("frmPesquisaLista"));
    m_search->setObjectName(QStringLiteral("edtPesquisa"));
    m_search->setPlaceholderText(QStringLiteral("Pesquisar"));
    m_table->setObjectName(QStringLiteral("grdLista"));

    QList<int> columns;
    for (int f = 0; f < dataSet.FieldCount(); ++f) {
        if (dataSet.Fields(f).Visible())
            columns.append(f);
    }
    const int rows = dataSet.Active() ? dataSet.RecordCount() : 0;
    m_table->setColumnCount(int(columns.size()));
    m_table->setRowCount(rows);
    QStringList headers;
    for (int f : columns)
        headers.append(dataSet.Fields(f).DisplayLabel());
    m_table->setHorizontalHeaderLabels(headers);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns.size(); ++c) {
            const QString text = dataSet.displayTextAt(r, columns.at(c));
            auto* item = new QTableWidgetItem(text);
            item->setData(searchKeyRole, SortKey::of(text));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (c == 0) {
                item->setData(positionRole, r);
                if (mode == Mode::Multiple) {
                    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                    item->setCheckState(Qt::Unchecked);
                }
            }
            m_table->setItem(r, c, item);
        }
    }
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->resizeColumnsToContents();
    if (rows > 0)
        m_table->selectRow(0);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)
        ->setObjectName(QStringLiteral("btnOk"));
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("btnCancelar"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_search, &QLineEdit::textChanged, this, &LookupListDialog::applySearch);
    if (mode == Mode::Single)
        connect(m_table, &QTableWidget::cellDoubleClicked, this, [this] { accept(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    resize(560, 360);
    m_search->setFocus();
}

void LookupListDialog::applySearch(const QString& text)
{
    const QString wanted = SortKey::of(text.trimmed());
    int firstShown = -1;
    for (int r = 0; r < m_table->rowCount(); ++r) {
        bool match = wanted.isEmpty();
        for (int c = 0; !match && c < m_table->columnCount(); ++c)
            match = m_table->item(r, c)->data(searchKeyRole).toString().contains(wanted);
        m_table->setRowHidden(r, !match);
        if (match && firstShown < 0)
            firstShown = r;
    }
    if (firstShown >= 0)
        m_table->selectRow(firstShown);
    else
        m_table->clearSelection();
}

QList<int> LookupListDialog::checkedPositions() const
{
    QList<int> result;
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const QTableWidgetItem* item = m_table->item(r, 0);
        if (item && item->checkState() == Qt::Checked)
            result.append(item->data(positionRole).toInt());
    }
    return result;
}

void LookupListDialog::setChecked(int position, bool checked)
{
    if (QTableWidgetItem* item = m_table->item(position, 0))
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

int LookupListDialog::pickedPosition() const
{
    return m_picked;
}

void LookupListDialog::accept()
{
    if (m_mode == Mode::Single) {
        const QList<QTableWidgetItem*> selected = m_table->selectedItems();
        if (selected.isEmpty() || m_table->isRowHidden(selected.first()->row()))
            return; // nothing to pick: the list stays open
        m_picked = m_table->item(selected.first()->row(), 0)->data(positionRole).toInt();
    }
    QDialog::accept();
}
