#pragma once

#include <QDialog>
#include <QList>
#include <QSet>

class QLineEdit;
class QTableWidget;
class TClientDataSet;

// A list over the visible records of a record set, in their order, with a search box that
// keeps only the rows holding the typed text in one of their shown columns (accents and case
// ignored: "graos" finds "Grãos"). In single mode the user picks one row
// (double click, Enter or "OK"); in multiple mode each row has a check box.
class LookupListDialog : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { Single, Multiple };

    LookupListDialog(TClientDataSet& dataSet, Mode mode, const QString& title,
                     QWidget* parent = nullptr);

    // The visible positions (0-based) of the checked rows, in list order (multiple mode).
    QList<int> checkedPositions() const;
    void setChecked(int position, bool checked);
    // The visible position of the row picked (single mode), -1 when none.
    int pickedPosition() const;

    QLineEdit* searchBox() const { return m_search; }
    QTableWidget* table() const { return m_table; }

protected:
    void accept() override;

private:
    void applySearch(const QString& text);

    Mode m_mode;
    QLineEdit* m_search;
    QTableWidget* m_table;
    int m_picked = -1;
};
