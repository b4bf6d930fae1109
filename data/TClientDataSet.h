#pragma once

#include "ChangeLog.h"
#include "DataPacket.h"
#include "FilterIndex.h"
#include "RecordStore.h"
#include "TField.h"

#include <QObject>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

enum class TDataSetState { Inactive, Browse, Edit };

enum class TLocateOption { CaseInsensitive = 0x1, PartialKey = 0x2 };
Q_DECLARE_FLAGS(TLocateOptions, TLocateOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TLocateOptions)

// A position that survives filter changes: the record itself, within one load of data.
struct TBookmark
{
    int row = -1;
    quint64 load = 0;
    bool isNull() const { return row < 0; }
    bool operator==(const TBookmark&) const = default;
};

// Every misuse of the record set (closed, not in edit state, an unknown field, a filter it
// cannot read, a packet that does not fit): a clear pt-BR text.
class EDatabaseError : public std::runtime_error
{
public:
    explicit EDatabaseError(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// An in-memory table of typed fields with a cursor, a change log and a one-field filter.
//
// Field definitions are declared (AddField) before data is loaded; SetData binds the
// packet's fields to them by name. Fields the packet carries beyond the declared ones are
// kept, hidden, so that they travel back with GetData and GetDelta.
//
// Views observe it through the signals below; while the controls are disabled
// (DisableControls, nesting) no view signal is emitted, and the last EnableControls emits
// one dataReset, and one stateChanged when the state is not the one the controls were
// disabled in. The record-set events AfterOpen, AfterScroll and AfterPost are plain
// assignable members and run regardless; assigning {} detaches one.
class TClientDataSet : public QObject
{
    Q_OBJECT

public:
    using Event = std::function<void(TClientDataSet&)>;

    explicit TClientDataSet(QObject* parent = nullptr);
    ~TClientDataSet() override;

    // Field definitions.
    TField& AddField(const FieldDef& def); // size 0 on a text field means the default, 20
    void ClearFields();                    // only while closed
    int FieldCount() const { return int(m_fields.size()); }
    TField& Fields(int index) const { return *m_fields.at(size_t(index)); }
    TField& FieldByName(const QString& name) const; // throws EDatabaseError when unknown
    TField* FindField(const QString& name) const;   // nullptr when unknown
    QList<FieldDef> FieldDefs() const;

    // Loading and giving back data. Every form is read by the one packet reader; the packet's
    // and the delta's JSON text are written straight from the stored cells.
    void SetData(const QByteArray& json);
    void SetData(const DataPacket& packet);
    QByteArray GetData() const;

    // Change log.
    int GetChangeCount() const { return m_log.count(); }
    QByteArray GetDelta() const;
    void MergeChangeLog();
    void CancelUpdates();

    // Open state.
    bool Active() const { return m_state != TDataSetState::Inactive; }
    void SetActive(bool active);
    void Open();
    void Close();
    TDataSetState State() const { return m_state; }

    // Editing the current record.
    void Edit();
    void Post();
    void Cancel();

    // Navigation over the visible (filtered) records.
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    int RecordCount() const; // visible records
    int RecNo() const;       // 1-based position among the visible records; -1 when empty
    void SetRecNo(int recNo);
    bool IsEmpty() const { return RecordCount() == 0; }
    bool Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options = {});

    TBookmark GetBookmark() const;
    bool BookmarkValid(const TBookmark& bookmark) const;
    void GotoBookmark(const TBookmark& bookmark); // throws when the record is not visible

    // Filter: only the form FIELD ='value' ('' inside the value stands for one quote).
    const QString& Filter() const { return m_filterText; }
    void SetFilter(const QString& filter);
    bool Filtered() const { return m_filtered; }
    void SetFiltered(bool filtered);

    void DisableControls()
    {
        if (m_disableCount++ == 0)
            m_disableState = m_state;
    }
    void EnableControls();
    bool ControlsDisabled() const { return m_disableCount > 0; }

    Event AfterOpen;
    Event AfterScroll;
    Event AfterPost;

    // For views: O(1) access by visible position without moving the cursor.
    int rowAt(int position) const; // physical row of a visible position
    QVariant valueAt(int position, int fieldIndex) const;
    QString displayTextAt(int position, int fieldIndex);
    int currentRow() const; // physical row of the cursor, -1 when none
    int activeRow() const { return m_drawRow >= 0 ? m_drawRow : currentRow(); }

    // While alive, field reads see the given visible position instead of the cursor's
    // (a view drawing a row other than the current one). No event runs.
    class DrawScope
    {
    public:
        DrawScope(TClientDataSet& dataSet, int position);
        ~DrawScope();
        DrawScope(const DrawScope&) = delete;
        DrawScope& operator=(const DrawScope&) = delete;

    private:
        TClientDataSet& m_dataSet;
        int m_previous;
    };

    // Used by TField.
    QVariant cellValue(int row, int fieldIndex) const { return m_store.value(row, fieldIndex); }
    void writeField(int fieldIndex, const QVariant& value);

signals:
    void dataReset();               // rows, filter or layout changed: re-read everything
    void rowChanged(int position);  // the values of one visible record changed
    void cursorMoved(int position); // the cursor is now on this visible position
    void stateChanged();            // open, close, edit, post, cancel

private:
    struct FilterSpec
    {
        int fieldIndex = -1;
        QString value;
    };

    void requireActive() const;
    void checkBrowseMode(); // posts a pending edit before the cursor moves
    void moveTo(int position, bool fireScroll);
    void afterCursorChange(int oldPosition);
    void applyFilter();
    // The filter applied anew; the cursor on the first visible record.
    void refilter();
    // The filter index rebuilt after a change to the filtered field's values.
    void reindex();
    void parseFilter(const QString& text, FilterSpec& filterSpec) const;
    void load(RecordStore&& store, const QList<FieldDef>& layout);
    void setState(TDataSetState state);
    void notifyReset();
    void notifyRow(int position);
    void notifyCursor();

    std::vector<std::unique_ptr<TField>> m_fields;
    RecordStore m_store;
    TDataSetState m_state = TDataSetState::Inactive;
    int m_position = -1; // visible position of the cursor
    bool m_eof = true;
    bool m_bof = true;
    int m_drawRow = -1;
    int m_disableCount = 0;
    TDataSetState m_disableState = TDataSetState::Inactive; // as the controls were disabled
    quint64 m_load = 0;

    ChangeLog m_log;

    QString m_filterText;
    bool m_filtered = false;
    FilterSpec m_filter;
    FilterIndex m_filterIndex; // active while filtered, with a filter text, while open
};
