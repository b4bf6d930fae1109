// The settlement screen's mark column: toggling one or every invoice, drawing the marks, and
// saving marks and edits to the server as one change.
#include "TfrmBCRInvoice.h"

#include "BrushCopy.h"
#include "BusyAnimation.h"
#include "CheckResultServ.h"
#include "Cli_FAS10000.h"
#include "ControlsSuspended.h"
#include "FrameworkUtils.h"
#include "MarkImages.h"
#include "ui_Cli_FAS10000.h"

#include <QPainter>
#include <QScopeGuard>
#include <QScopedValueRollback>

namespace {

// For a walk over the invoices: the item list is filtered once, for the invoice where the
// walk ends (on every way out), instead of at every invoice the walk passes.
class ItemsFollowAtEnd
{
public:
    explicit ItemsFollowAtEnd(TfrmBCRInvoice& screen)
        : m_screen(screen), m_detached(screen.cdsInvoice->AfterScroll, {})
    {}
    ~ItemsFollowAtEnd()
    {
        if (m_screen.cdsInvoice->Active() && !m_screen.cdsInvoice->IsEmpty())
            m_screen.cdsInvoiceAfterScroll(*m_screen.cdsInvoice);
    }
    ItemsFollowAtEnd(const ItemsFollowAtEnd&) = delete;
    ItemsFollowAtEnd& operator=(const ItemsFollowAtEnd&) = delete;

private:
    TfrmBCRInvoice& m_screen;
    const QScopedValueRollback<TClientDataSet::Event> m_detached;
};

} // namespace

// ---- marking --------------------------------------------------------------------------------

bool TfrmBCRInvoice::hasInvoices() const
{
    return cdsInvoice->Active() && !cdsInvoice->IsEmpty();
}

void TfrmBCRInvoice::toggleCurrentMark()
{
    cdsInvoice->Edit();
    TField& mark = cdsInvoice->FieldByName(QStringLiteral("IDCHECK"));
    if (cdsInvoice->FieldByName(QStringLiteral("IDGERNFINVOI")).AsString() == QLatin1String("S"))
        mark.SetAsString(QStringLiteral("D"));
    else if (mark.AsString() == QLatin1String("N"))
        mark.SetAsString(QStringLiteral("S"));
    else if (mark.AsString() == QLatin1String("S"))
        mark.SetAsString(QStringLiteral("N"));
    // A mark is a local change: it travels with the next save, so the save handler stays out.
    const QScopedValueRollback<TClientDataSet::Event> detached(cdsInvoice->AfterPost, {});
    cdsInvoice->Post();
}

void TfrmBCRInvoice::dbgPadraoCellClick(TColumn& column)
{
    if (hasInvoices() && column.FieldName == QLatin1String("IDCHECK"))
        toggleCurrentMark();
}

void TfrmBCRInvoice::dbgPadraoKeyPress(QObject* sender, QChar& key)
{
    TfrmPadraoGrid::dbgPadraoKeyPress(sender, key);
    if (hasInvoices() && key == QLatin1Char(' '))
        toggleCurrentMark();
}

void TfrmBCRInvoice::dbgPadraoTitleClick(TColumn& column)
{
    if (!hasInvoices())
        return;
    const HourglassGuard hourglass;
    if (column.FieldName != QLatin1String("IDCHECK"))
        return;
    {
        const QScopedValueRollback<TClientDataSet::Event> detached(cdsInvoice->AfterPost, {});
        const ControlsSuspended invoices(*cdsInvoice);
        const ControlsSuspended items(*cdsItem);
        const ItemsFollowAtEnd follow(*this);
        TField& mark = cdsInvoice->FieldByName(QStringLiteral("IDCHECK"));
        const QString from = Cli_FAS10000::boTodos ? QStringLiteral("S") : QStringLiteral("N");
        const QString to = Cli_FAS10000::boTodos ? QStringLiteral("N") : QStringLiteral("S");
        for (cdsInvoice->First(); !cdsInvoice->Eof(); cdsInvoice->Next()) {
            cdsInvoice->Edit();
            if (mark.AsString() == from)
                mark.SetAsString(to);
            cdsInvoice->Post();
        }
        cdsInvoice->First();
    }
    Cli_FAS10000::boTodos = !Cli_FAS10000::boTodos;
}

void TfrmBCRInvoice::dbgPadraoDrawColumnCell(QObject*, QPainter& canvas, const QRect& rect,
                                             int dataCol, TColumn& column, TGridDrawState state)
{
    if (!hasInvoices())
        return;
    if (column.FieldName == QLatin1String("IDCHECK")) {
        // A null mark reads as the empty text: a box that cannot be marked, as the empty mark.
        const QString value = column.Field() ? column.Field()->AsString() : QString();
        QPixmap bitmap;
        if (value.isEmpty() || value == QLatin1String("D"))
            bitmap = ui->imgNoCheck->pixmap();
        else if (value == QLatin1String("N"))
            bitmap = ui->imgUnCheck->pixmap();
        else if (value == QLatin1String("S"))
            bitmap = ui->imgCheck->pixmap();
        canvas.fillRect(rect, canvas.brush());
        BrushCopy(canvas, QRect(rect.left() + 1, rect.top(), bitmap.width(), rect.height()), bitmap,
                  QRect(0, 0, bitmap.width(), rect.height()), MarkImages::background());
    } else if (column.FieldName == QLatin1String("TOTALINVOICE") ||
               column.FieldName == QLatin1String("VRCAMBIOINVOICE")) {
        if (TField* field = ui->dbgPadrao->Columns(dataCol).Field())
            ui->dbgPadrao->DefaultDrawDataCell(canvas, rect, *field, state);
    }
}

// ---- saving ---------------------------------------------------------------------------------

void TfrmBCRInvoice::cdsInvoiceAfterPost(TClientDataSet& dataSet)
{
    if (dataSet.GetChangeCount() <= 0)
        return;
    try {
        const BusyGuard busy(MainForm(), 1);
        QList<ServerArg> args{ServerArg::variant(dataSet.GetDelta())};
        CheckResultServ(netBCRInvoice->GetServer().call(RemoteMethods::SetInvoice, args), true, 0);
    } catch (...) {
        dataSet.CancelUpdates();
        throw;
    }
    dataSet.MergeChangeLog();
}

void TfrmBCRInvoice::SaveAsOne(const std::function<void()>& walk)
{
    // Stored or refused, the list goes back to the invoice the command started on.
    const auto backToCurrent = qScopeGuard([this] { LocateNrInvoiceAtual(); });
    const HourglassGuard hourglass;
    try {
        {
            const QScopedValueRollback<TClientDataSet::Event> detached(cdsInvoice->AfterPost, {});
            const WindowUpdateLock locked(this);
            walk();
        }
        if (cdsInvoice->State() == TDataSetState::Edit)
            cdsInvoice->Post(); // with the save handler back: this post saves everything
        else
            cdsInvoiceAfterPost(*cdsInvoice);
    } catch (...) {
        cdsInvoice->CancelUpdates();
        throw;
    }
}

bool TfrmBCRInvoice::ForEachMarked(const std::function<bool()>& visit)
{
    const ControlsSuspended invoices(*cdsInvoice);
    const ControlsSuspended items(*cdsItem);
    const ItemsFollowAtEnd follow(*this);
    const TField& mark = cdsInvoice->FieldByName(QStringLiteral("IDCHECK"));
    const int start = cdsInvoice->RecNo();
    bool complete = true;
    for (cdsInvoice->First(); !cdsInvoice->Eof(); cdsInvoice->Next()) {
        if (mark.AsString() == QLatin1String("S") && !visit()) {
            complete = false;
            break;
        }
    }
    // A complete walk goes back to the invoice it started from before the grid sees the list
    // again, so that the grid keeps its place instead of following the walk to the end and
    // back. A stopped walk stays on the invoice it stopped at; a record left in edit is the
    // caller's to post.
    if (complete && cdsInvoice->State() == TDataSetState::Browse && start >= 1 &&
        start <= cdsInvoice->RecordCount())
        cdsInvoice->SetRecNo(start);
    return complete;
}

void TfrmBCRInvoice::LocateNrInvoiceAtual()
{
    cdsInvoice->Locate(QStringLiteral("NRINVOICE"), NrInvoiceAtual, TLocateOption::CaseInsensitive);
}
