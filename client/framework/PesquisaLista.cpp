#include "PesquisaLista.h"

#include "KeyList.h"
#include "LookupListDialog.h"
#include "MessageService.h"
#include "TDataSource.h"

#include <QApplication>
#include <QSet>

bool PesquisaLista(TDataSource* dataSource, const QString& keyField, const QString& lookupText,
                   bool /*flag*/, QString& list)
{
    const qsizetype bar = lookupText.indexOf(u'|');
    const QString title = bar < 0 ? lookupText : lookupText.left(bar);
    const QString emptyText = bar < 0 ? QString() : lookupText.mid(bar + 1);

    TClientDataSet* dataSet = dataSource ? dataSource->DataSet() : nullptr;
    if (!dataSet || !dataSet->Active() || dataSet->IsEmpty()) {
        MessageService::instance().error(
            emptyText.isEmpty() ? QStringLiteral("Não há registros para pesquisar.") : emptyText);
        return false;
    }
    const int keyIndex = dataSet->FieldByName(keyField).Index();

    LookupListDialog dialog(*dataSet, LookupListDialog::Mode::Multiple, title,
                            QApplication::activeWindow());
    const QStringList chosenBefore = KeyList::parse(list).value_or(QStringList());
    const QSet<QString> chosen(chosenBefore.cbegin(), chosenBefore.cend());
    for (int position = 0; position < dataSet->RecordCount(); ++position) {
        if (chosen.contains(dataSet->valueAt(position, keyIndex).toString()))
            dialog.setChecked(position, true);
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    QStringList keys;
    for (int position : dialog.checkedPositions())
        keys.append(dataSet->valueAt(position, keyIndex).toString());
    list = KeyList::write(keys);
    return true;
}
