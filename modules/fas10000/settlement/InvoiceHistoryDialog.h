#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

class QTableWidget;

// The history of one invoice, read-only: one line per field a change touched, newest first,
// as the settlement screen formats it. Esc or "Fechar" closes; the list takes the focus, so
// the arrows and Page Up/Down move through it at once.
class InvoiceHistoryDialog : public QDialog
{
    Q_OBJECT

public:
    // "Data/Hora", "Usuário", "Estação", "Operação", "Campo", "Valor anterior", "Novo valor".
    static const QStringList& columnTitles();

    // `rows` hold one text per column, in that order.
    InvoiceHistoryDialog(const QString& invoice, const QList<QStringList>& rows,
                         QWidget* parent = nullptr);

    QTableWidget* table() const { return m_table; }

private:
    QTableWidget* m_table;
};
