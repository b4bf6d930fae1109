#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "ui_Cli_DFS15001.h"

class NotaFiscalReader;
class QLabel;
class QPushButton;
class TClientDataSet;
class TDataSource;

// The fiscal-note emission screen: a read-only list of the notes the application server
// generated, newest first, read from the shared database. F5 or "Atualizar" reads it again.
// Closing the screen destroys it.
class TfrmEmissaoNF : public QWidget
{
    Q_OBJECT

public:
    explicit TfrmEmissaoNF(QWidget* parent = nullptr);
    ~TfrmEmissaoNF() override;

    // Reads the notes again; a failure is shown to the user and on the screen, and the list
    // is left empty.
    void btnAtualizarClick();
    void btnFecharClick();

    // What the line under the list says: the empty-list text, the failure, or nothing.
    QString StatusText() const;

    Ui::TfrmEmissaoNF ui;
    TDBGrid* dbgNotas = nullptr;
    QPushButton* btnFechar = nullptr;
    QPushButton* btnAtualizar = nullptr;
    QLabel* lblSituacao = nullptr;
    TClientDataSet* cdsNotas = nullptr;
    TDataSource* dtsNotas = nullptr;

private:
    void setUpRecordSet();
    void setUpGrid();
    void showStatus(const QString& text);

    std::unique_ptr<NotaFiscalReader> reader;
};

// The one instance of the screen while it is open; null otherwise.
extern QPointer<TfrmEmissaoNF> frmEmissaoNF;

// Creates the screen on the first request (or after it was closed), shows it as a child
// window of the main window at its normal size, in front, and reads the notes.
void CriaEmissaoNF();
