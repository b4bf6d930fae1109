#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class TClientDataSet;

// Searches the record set by a column and a typed text: the first visible record whose text
// in that column starts with the typed text (accents and letter case ignored), else the first that
// holds it. Returns the 0-based visible position, -1 when none.
int FindRecord(TClientDataSet& dataSet, const QString& fieldName, const QString& text);

// The search dialog: a column, a text, "Procurar". A record found becomes the current one and
// the dialog closes; otherwise the user is told so and may search again.
class TfrmProcura : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmProcura(TClientDataSet& dataSet, QWidget* parent = nullptr);

    QComboBox* column() const { return m_column; }
    QLineEdit* text() const { return m_text; }

protected:
    void accept() override;

private:
    TClientDataSet& m_dataSet;
    QComboBox* m_column;
    QLineEdit* m_text;
};

// Opens the search over the record set and leaves it on the record found. Returns true when
// a record was found.
bool Procura(TClientDataSet* dataSet);
