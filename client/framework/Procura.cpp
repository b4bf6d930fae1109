#include "Procura.h"

#include "MessageService.h"
#include "SortKey.h"
#include "TClientDataSet.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

int FindRecord(TClientDataSet& dataSet, const QString& fieldName, const QString& text)
{
    if (!dataSet.Active())
        return -1;
    const int field = dataSet.FieldByName(fieldName).Index();
    const QString wanted = SortKey::of(text.trimmed());
    if (wanted.isEmpty())
        return -1;
    int containing = -1;
    for (int position = 0; position < dataSet.RecordCount(); ++position) {
        const QString value = SortKey::of(dataSet.displayTextAt(position, field).trimmed());
        if (value.startsWith(wanted))
            return position;
        if (containing < 0 && value.contains(wanted))
            containing = position;
    }
    return containing;
}

TfrmProcura::TfrmProcura(TClientDataSet& dataSet, QWidget* parent)
    : QDialog(parent), m_dataSet(dataSet), m_column(new QComboBox(this)),
      m_text(new QLineEdit(this))
{
    setObjectName(QStringLiteral("frmProcura"));
    setWindowTitle(QStringLiteral("Procurar"));
    m_column->setObjectName(QStringLiteral("cmbCampo"));
    m_text->setObjectName(QStringLiteral("edtTexto"));
    for (int f = 0; f < dataSet.FieldCount(); ++f) {
        const TField& field = dataSet.Fields(f);
        if (field.Visible())
            m_column->addItem(field.DisplayLabel(), field.FieldName());
    }
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&Procurar"), QDialogButtonBox::AcceptRole)
        ->setObjectName(QStringLiteral("btnProcurar"));
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Campo:"), m_column);
    layout->addRow(QStringLiteral("Texto:"), m_text);
    layout->addRow(buttons);
    m_text->setFocus();
}

void TfrmProcura::accept()
{
    const QString fieldName = m_column->currentData().toString();
    const int position =
        fieldName.isEmpty() ? -1 : FindRecord(m_dataSet, fieldName, m_text->text());
    if (position < 0) {
        MessageService::instance().information(QStringLiteral("Registro não encontrado."));
        m_text->setFocus();
        return;
    }
    m_dataSet.SetRecNo(position + 1);
    QDialog::accept();
}

bool Procura(TClientDataSet* dataSet)
{
    if (!dataSet || !dataSet->Active() || dataSet->IsEmpty()) {
        MessageService::instance().information(QStringLiteral("Não há registros para procurar."));
        return false;
    }
    TfrmProcura dialog(*dataSet, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}
