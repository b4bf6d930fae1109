#include "TBtnPesquisa.h"

#include "EventDispatch.h"
#include "LookupListDialog.h"
#include "MessageService.h"
#include "TDataSource.h"

#include <QApplication>
#include <QTableWidget>

TBtnPesquisa::TBtnPesquisa(QWidget* parent) : QToolButton(parent)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setText(QStringLiteral("..."));
    connectHandler(this, &QToolButton::clicked, [this] { Pesquisa(); });
}

bool TBtnPesquisa::Pesquisa()
{
    bool proceed = true;
    if (OnBeforePesq)
        OnBeforePesq(proceed);
    if (!proceed)
        return false;
    TClientDataSet* dataSet = m_dataSource ? m_dataSource->DataSet() : nullptr;
    if (!dataSet || !dataSet->Active() || dataSet->IsEmpty()) {
        MessageService::instance().error(
            EmptyError.isEmpty() ? QStringLiteral("Não há registros para pesquisar.") : EmptyError);
        return false;
    }
    LookupListDialog dialog(*dataSet, LookupListDialog::Mode::Single, Title,
                            QApplication::activeWindow());
    dialog.table()->selectRow(std::max(0, dataSet->RecNo() - 1));
    if (dialog.exec() != QDialog::Accepted || dialog.pickedPosition() < 0)
        return false;
    dataSet->SetRecNo(dialog.pickedPosition() + 1);
    if (m_associate && m_associate->isEnabled() && m_associate->isVisible())
        m_associate->setFocus();
    if (OnAfterPesq)
        OnAfterPesq();
    return true;
}
