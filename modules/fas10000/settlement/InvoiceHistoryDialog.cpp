#include "InvoiceHistoryDialog.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

const QStringList& InvoiceHistoryDialog::columnTitles()
{
    static const QStringList titles{QStringLiteral("Data/Hora"), QStringLiteral("Usuário"),
                                    QStringLiteral("Estação"),   QStringLiteral("Operação"),
                                    QStringLiteral("Campo"),     QStringLiteral("Valor anterior"),
                                    QStringLiteral("Novo valor")};
    return titles;
}

InvoiceHistoryDialog::InvoiceHistoryDialog(const QString& invoice, const QList<QStringList>& rows,
                                           QWidget* parent)
    : QDialog(parent), m_table(new QTableWidget(int(rows.size()), int(columnTitles().size()), this))
{
    setObjectName(QStringLiteral("frmHistoricoInvoice"));
    setWindowTitle(QStringLiteral("Histórico da Invoice %1").arg(invoice));
    setModal(true);

    auto* caption = new QLabel(
        QStringLiteral("Alterações da Invoice %1, da mais recente à mais antiga:").arg(invoice),
        this);

    m_table->setObjectName(QStringLiteral("tblHistorico"));
    m_table->setHorizontalHeaderLabels(columnTitles());
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setTabKeyNavigation(false); // Tab leaves the list for the button
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    for (int row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < columnTitles().size(); ++column) {
            const QString text = rows.at(row).value(column);
            auto* item = new QTableWidgetItem(text);
            item->setToolTip(text);
            m_table->setItem(row, column, item);
        }
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    if (!rows.isEmpty())
        m_table->setCurrentCell(0, 0);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close =
        buttons->addButton(QStringLiteral("&Fechar"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("btnFechar"));
    close->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(m_table, 1);
    layout->addWidget(buttons);

    // Wide enough for every column, within the screen.
    int width = m_table->verticalScrollBar()->sizeHint().width() + 4 * m_table->frameWidth();
    for (int column = 0; column < m_table->columnCount(); ++column)
        width += m_table->columnWidth(column);
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    resize(qMin(width + 2 * layout->contentsMargins().left(), area.width() * 9 / 10),
           qMin(420, area.height() * 9 / 10));
    m_table->setFocus();
}
