#include "TClientDataSet.h"

#include "PacketLayout.h"

#include <algorithm>

namespace {

constexpr int defaultTextSize = 20;

} // namespace

TClientDataSet::TClientDataSet(QObject* parent) : QObject(parent) {}

TClientDataSet::~TClientDataSet() = default;

// ---------------------------------------------------------------------------------------
// Field definitions

TField& TClientDataSet::AddField(const FieldDef& def)
{
    if (Active())
        throw EDatabaseError(
            QStringLiteral("Não é possível definir o campo %1 com o conjunto de dados aberto.")
                .arg(def.name));
    if (def.name.isEmpty())
        throw EDatabaseError(QStringLiteral("Campo sem nome."));
    if (FindField(def.name))
        throw EDatabaseError(QStringLiteral("Campo %1 já definido.").arg(def.name));
    FieldDef field = def;
    if (field.type == FieldType::String && field.size <= 0)
        field.size = defaultTextSize;
    m_fields.push_back(std::make_unique<TField>(*this, field, int(m_fields.size())));
    return *m_fields.back();
}

void TClientDataSet::ClearFields()
{
    if (Active())
        throw EDatabaseError(
            QStringLiteral("Não é possível apagar os campos com o conjunto de dados aberto."));
    m_fields.clear();
    m_store.reset({});
}

TField& TClientDataSet::FieldByName(const QString& name) const
{
    if (TField* field = FindField(name))
        return *field;
    throw EDatabaseError(QStringLiteral("Campo '%1' não encontrado.").arg(name));
}

TField* TClientDataSet::FindField(const QString& name) const
{
    for (const auto& field : m_fields) {
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return field.get();
    }
    return nullptr;
}

QList<FieldDef> TClientDataSet::FieldDefs() const
{
    QList<FieldDef> defs;
    defs.reserve(qsizetype(m_fields.size()));
    for (const auto& field : m_fields)
        defs.append(field->Def());
    return defs;
}

// ---------------------------------------------------------------------------------------
// Loading

void TClientDataSet::SetData(const QByteArray& json)
{
    RecordStore store;
    PacketLayout layout;
    try {
        store.loadJson(json, [&](const QList<FieldDef>& packetFields) {
            layout = PacketLayout::bind(FieldDefs(), packetFields, defaultTextSize);
            return layout.columnOf;
        });
    } catch (const DataPacketError& error) {
        throw EDatabaseError(error.text());
    }
    load(std::move(store), layout.columns);
}

void TClientDataSet::SetData(const DataPacket& packet)
{
    QByteArray json;
    try {
        json = packet.toJson();
    } catch (const DataPacketError& error) {
        throw EDatabaseError(error.text());
    }
    SetData(json);
}

void TClientDataSet::load(RecordStore&& store, const QList<FieldDef>& layout)
{
    if (m_state == TDataSetState::Edit)
        Cancel();
    // Extra packet fields become hidden fields of their own.
    for (qsizetype i = qsizetype(m_fields.size()); i < layout.size(); ++i) {
        auto field = std::make_unique<TField>(*this, layout.at(i), int(i));
        field->SetVisible(false);
        m_fields.push_back(std::move(field));
    }
    if (!m_filterText.trimmed().isEmpty()) {
        FilterSpec filterSpec;
        parseFilter(m_filterText, filterSpec); // the filter may name a field the packet brought
        m_filter = filterSpec;
    }
    m_store = std::move(store);
    m_log.clear();
    m_log.beginEdit();
    ++m_load;
    m_filterIndex.invalidate();
    m_state = TDataSetState::Browse;
    applyFilter();
    m_position = IsEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = IsEmpty();
    notifyReset();
    emit stateChanged();
    if (AfterOpen)
        AfterOpen(*this);
    if (!IsEmpty() && AfterScroll)
        AfterScroll(*this);
}

QByteArray TClientDataSet::GetData() const
{
    RecordStoreRows rows(m_store, FieldDefs());
    return packetJson(rows);
}

// ---------------------------------------------------------------------------------------
// Change log

QByteArray TClientDataSet::GetDelta() const
{
    return m_log.deltaJson(FieldDefs(), m_store);
}

void TClientDataSet::MergeChangeLog()
{
    m_log.clear();
}

void TClientDataSet::CancelUpdates()
{
    if (m_state == TDataSetState::Edit)
        Cancel();
    if (m_log.count() == 0)
        return;
    if (m_log.restore(m_store, m_filterIndex.indexedColumn())) {
        const int row = currentRow();
        reindex();
        m_position = row < 0 ? -1 : std::max(0, std::min(RecordCount() - 1, m_position));
    }
    notifyReset();
}

// ---------------------------------------------------------------------------------------
// Open state

void TClientDataSet::SetActive(bool active)
{
    if (active)
        Open();
    else
        Close();
}

void TClientDataSet::Open()
{
    if (Active())
        return;
    // Without a packet the record set opens empty with its declared fields.
    RecordStore empty;
    empty.reset(FieldDefs());
    load(std::move(empty), FieldDefs());
}

void TClientDataSet::Close()
{
    if (!Active())
        return;
    if (m_state == TDataSetState::Edit)
        Cancel();
    m_state = TDataSetState::Inactive;
    m_store.reset(FieldDefs());
    m_log.clear();
    m_filterIndex.invalidate();
    m_position = -1;
    m_bof = m_eof = true;
    notifyReset();
    emit stateChanged();
}

void TClientDataSet::setState(TDataSetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    // While the controls are disabled the views hear of the state once, when they come back.
    if (!ControlsDisabled())
        emit stateChanged();
}

void TClientDataSet::requireActive() const
{
    if (!Active())
        throw EDatabaseError(
            QStringLiteral("Operação não permitida com o conjunto de dados fechado."));
}

// ---------------------------------------------------------------------------------------
// Editing

void TClientDataSet::Edit()
{
    requireActive();
    if (m_state == TDataSetState::Edit)
        return;
    if (IsEmpty())
        throw EDatabaseError(QStringLiteral("Não há registro para alterar."));
    m_log.beginEdit();
    setState(TDataSetState::Edit);
}

void TClientDataSet::writeField(int fieldIndex, const QVariant& value)
{
    if (m_state != TDataSetState::Edit)
        throw EDatabaseError(QStringLiteral("O conjunto de dados não está em modo de edição."));
    const int row = currentRow();
    m_log.noteWrite(fieldIndex, m_store.value(row, fieldIndex));
    m_store.setValue(row, fieldIndex, value);
    notifyRow(m_position);
}

void TClientDataSet::Post()
{
    if (m_state != TDataSetState::Edit)
        return;
    const int row = currentRow();
    if (m_log.post(row, m_store, m_filterIndex.indexedColumn())) {
        // The record may have left or joined the filtered rows.
        reindex();
        if (m_filterIndex.active()) {
            const int count = m_filterIndex.count();
            m_position = count == 0 ? -1 : std::min(m_filterIndex.lowerBound(row), count - 1);
        }
        notifyReset();
    }
    setState(TDataSetState::Browse);
    notifyRow(m_position);
    if (AfterPost)
        AfterPost(*this);
}

void TClientDataSet::Cancel()
{
    if (m_state != TDataSetState::Edit)
        return;
    m_log.cancelEdit(currentRow(), m_store);
    setState(TDataSetState::Browse);
    notifyRow(m_position);
}

void TClientDataSet::checkBrowseMode()
{
    requireActive();
    if (m_state == TDataSetState::Edit)
        Post();
}

// ---------------------------------------------------------------------------------------
// Navigation

int TClientDataSet::RecordCount() const
{
    if (!Active())
        return 0;
    return m_filterIndex.active() ? m_filterIndex.count() : m_store.rowCount();
}

int TClientDataSet::rowAt(int position) const
{
    return m_filterIndex.active() ? m_filterIndex.rowAt(position) : position;
}

int TClientDataSet::currentRow() const
{
    if (!Active() || m_position < 0 || m_position >= RecordCount())
        return -1;
    return rowAt(m_position);
}

int TClientDataSet::RecNo() const
{
    return currentRow() < 0 ? -1 : m_position + 1;
}

void TClientDataSet::moveTo(int position, bool fireScroll)
{
    const int old = m_position;
    m_position = position;
    if (old != m_position)
        notifyCursor();
    if (fireScroll && AfterScroll)
        AfterScroll(*this);
}

void TClientDataSet::First()
{
    checkBrowseMode();
    m_bof = true;
    m_eof = IsEmpty();
    if (!IsEmpty())
        moveTo(0, true);
}

void TClientDataSet::Last()
{
    checkBrowseMode();
    m_eof = true;
    m_bof = IsEmpty();
    if (!IsEmpty())
        moveTo(RecordCount() - 1, true);
}

void TClientDataSet::Next()
{
    checkBrowseMode();
    if (m_position + 1 < RecordCount()) {
        m_bof = false;
        m_eof = false;
        moveTo(m_position + 1, true);
    } else {
        m_eof = true;
    }
}

void TClientDataSet::Prior()
{
    checkBrowseMode();
    if (m_position > 0) {
        m_bof = false;
        m_eof = false;
        moveTo(m_position - 1, true);
    } else {
        m_bof = true;
    }
}

void TClientDataSet::SetRecNo(int recNo)
{
    checkBrowseMode();
    if (recNo < 1 || recNo > RecordCount() || recNo - 1 == m_position)
        return;
    m_bof = m_eof = false;
    moveTo(recNo - 1, true);
}

bool TClientDataSet::Locate(const QString& keyFields, const QVariant& keyValues,
                            TLocateOptions options)
{
    checkBrowseMode();
    QList<TField*> fields;
    for (const QString& name : keyFields.split(u';', Qt::SkipEmptyParts))
        fields.append(&FieldByName(name.trimmed()));
    if (fields.isEmpty())
        throw EDatabaseError(QStringLiteral("Locate sem campos."));
    QVariantList values;
    if (fields.size() == 1)
        values = {keyValues};
    else
        values = keyValues.toList();
    if (values.size() != fields.size())
        throw EDatabaseError(QStringLiteral("Locate: número de valores diferente do de campos."));

    const Qt::CaseSensitivity cs =
        options.testFlag(TLocateOption::CaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const bool partial = options.testFlag(TLocateOption::PartialKey);
    auto matches = [&](int row) {
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const TField* field = fields.at(i);
            const QVariant cell = m_store.value(row, field->Index());
            const QVariant& wanted = values.at(i);
            if (!wanted.isValid() || wanted.isNull()) {
                if (cell.isValid())
                    return false;
                continue;
            }
            if (!cell.isValid())
                return false;
            if (field->DataType() == FieldType::String) {
                const QString text = cell.toString();
                const QString key = wanted.toString();
                if (partial ? !text.startsWith(key, cs) : text.compare(key, cs) != 0)
                    return false;
            } else if (field->DataType() == FieldType::Float) {
                if (cell.toDouble() != wanted.toDouble())
                    return false;
            } else if (cell.toDateTime() != wanted.toDateTime()) {
                return false;
            }
        }
        return true;
    };
    const int count = RecordCount();
    for (int position = 0; position < count; ++position) {
        if (matches(rowAt(position))) {
            m_bof = m_eof = false;
            moveTo(position, true);
            return true;
        }
    }
    return false;
}

TBookmark TClientDataSet::GetBookmark() const
{
    return TBookmark{currentRow(), m_load};
}

bool TClientDataSet::BookmarkValid(const TBookmark& bookmark) const
{
    if (!Active() || bookmark.row < 0 || bookmark.load != m_load ||
        bookmark.row >= m_store.rowCount())
        return false;
    return !m_filterIndex.active() || m_filterIndex.contains(bookmark.row);
}

void TClientDataSet::GotoBookmark(const TBookmark& bookmark)
{
    checkBrowseMode();
    if (!BookmarkValid(bookmark))
        throw EDatabaseError(QStringLiteral("Registro não encontrado."));
    const int position =
        m_filterIndex.active() ? m_filterIndex.lowerBound(bookmark.row) : bookmark.row;
    m_bof = m_eof = false;
    moveTo(position, true);
}

// ---------------------------------------------------------------------------------------
// Filter

void TClientDataSet::parseFilter(const QString& text, FilterSpec& filterSpec) const
{
    const std::optional<FilterCondition> condition = FilterCondition::parse(text);
    if (!condition)
        throw EDatabaseError(
            QStringLiteral("Filtro não suportado: \"%1\" (esperado CAMPO ='valor').").arg(text));
    const TField* field = FindField(condition->field);
    if (!field)
        throw EDatabaseError(
            QStringLiteral("Filtro: campo '%1' não encontrado.").arg(condition->field));
    if (field->DataType() != FieldType::String)
        throw EDatabaseError(
            QStringLiteral("Filtro: o campo '%1' não é um campo de texto.").arg(condition->field));
    filterSpec.fieldIndex = field->Index();
    filterSpec.value = condition->value;
}

void TClientDataSet::SetFilter(const QString& filter)
{
    FilterSpec filterSpec;
    if (!filter.trimmed().isEmpty()) {
        if (m_fields.empty() && !Active()) {
            // Fields not declared yet: the text is checked when it is applied.
        } else {
            parseFilter(filter, filterSpec);
        }
    }
    if (Active() && m_state == TDataSetState::Edit)
        Post();
    m_filterText = filter;
    m_filter = filterSpec;
    if (m_filtered && Active())
        refilter();
}

void TClientDataSet::SetFiltered(bool filtered)
{
    if (m_filtered == filtered)
        return;
    if (Active() && m_state == TDataSetState::Edit)
        Post();
    m_filtered = filtered;
    if (Active())
        refilter();
}

void TClientDataSet::refilter()
{
    applyFilter();
    m_position = IsEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = IsEmpty();
    notifyReset();
    if (!IsEmpty() && AfterScroll)
        AfterScroll(*this);
}

void TClientDataSet::applyFilter()
{
    m_filterIndex.deactivate();
    if (!m_filtered || m_filterText.trimmed().isEmpty() || !Active())
        return;
    if (m_filter.fieldIndex < 0)
        parseFilter(m_filterText, m_filter);
    m_filterIndex.apply(m_store, m_filter.fieldIndex, m_filter.value);
}

void TClientDataSet::reindex()
{
    m_filterIndex.invalidate();
    applyFilter();
}

// ---------------------------------------------------------------------------------------
// Views

void TClientDataSet::EnableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0) {
        // One refresh for everything that happened while the views were not told.
        emit dataReset();
        if (m_state != m_disableState)
            emit stateChanged();
    }
}

// While the controls are disabled the views are told nothing: EnableControls resets them.
void TClientDataSet::notifyReset()
{
    if (!ControlsDisabled())
        emit dataReset();
}

void TClientDataSet::notifyRow(int position)
{
    if (!ControlsDisabled() && position >= 0)
        emit rowChanged(position);
}

void TClientDataSet::notifyCursor()
{
    if (!ControlsDisabled())
        emit cursorMoved(m_position);
}

QVariant TClientDataSet::valueAt(int position, int fieldIndex) const
{
    return m_store.value(rowAt(position), fieldIndex);
}

QString TClientDataSet::displayTextAt(int position, int fieldIndex)
{
    const TField& field = Fields(fieldIndex);
    if (!field.OnGetText) {
        const int row = rowAt(position);
        if (field.DataType() == FieldType::DateTime && !m_store.isNull(row, fieldIndex)) {
            // Straight from the stored day and time: no time-zone work per cell.
            const auto [day, ms] = LocalDateTime::split(m_store.dateKeyAt(row, fieldIndex));
            QString text = QDate::fromJulianDay(day).toString(QStringLiteral("dd/MM/yyyy"));
            if (ms != 0)
                text +=
                    u' ' + QTime::fromMSecsSinceStartOfDay(ms).toString(QStringLiteral("HH:mm:ss"));
            return text;
        }
        return field.formatValue(m_store.value(row, fieldIndex), true);
    }
    DrawScope scope(*this, position);
    return field.DisplayText();
}

TClientDataSet::DrawScope::DrawScope(TClientDataSet& dataSet, int position)
    : m_dataSet(dataSet), m_previous(dataSet.m_drawRow)
{
    m_dataSet.m_drawRow = m_dataSet.rowAt(position);
}

TClientDataSet::DrawScope::~DrawScope()
{
    m_dataSet.m_drawRow = m_previous;
}
