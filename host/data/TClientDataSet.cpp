#include "TClientDataSet.h"

#include "JsonWriter.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {

constexpr int defaultTextSize = 20;

bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isValid() != b.isValid())
        return false;
    return !a.isValid() || a == b;
}

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

QList<FieldDef> TClientDataSet::bindLayout(const QList<FieldDef>& packetFields) const
{
    // The declared fields first, in their order, then what the packet carries besides.
    QList<FieldDef> layout = FieldDefs();
    for (const FieldDef& declared : std::as_const(layout)) {
        const auto it =
            std::find_if(packetFields.cbegin(), packetFields.cend(), [&](const FieldDef& f) {
                return f.name.compare(declared.name, Qt::CaseInsensitive) == 0;
            });
        if (it == packetFields.cend())
            throw EDatabaseError(
                QStringLiteral("Campo '%1' não encontrado no pacote de dados.").arg(declared.name));
        if (it->type != declared.type)
            throw EDatabaseError(
                QStringLiteral("Tipo incompatível para o campo '%1': esperado %2, recebido %3.")
                    .arg(declared.name, fieldTypeName(declared.type), fieldTypeName(it->type)));
    }
    for (const FieldDef& field : packetFields) {
        const bool declared = std::any_of(layout.cbegin(), layout.cend(), [&](const FieldDef& f) {
            return f.name.compare(field.name, Qt::CaseInsensitive) == 0;
        });
        if (!declared) {
            FieldDef extra = field;
            if (extra.type == FieldType::String && extra.size <= 0)
                extra.size = defaultTextSize;
            layout.append(extra);
        }
    }
    return layout;
}

namespace {

QList<int> columnMap(const QList<FieldDef>& layout, const QList<FieldDef>& packetFields)
{
    QList<int> columnOf(packetFields.size());
    for (qsizetype i = 0; i < packetFields.size(); ++i) {
        for (qsizetype c = 0; c < layout.size(); ++c) {
            if (layout.at(c).name.compare(packetFields.at(i).name, Qt::CaseInsensitive) == 0)
                columnOf[i] = int(c);
        }
    }
    return columnOf;
}

} // namespace

void TClientDataSet::SetData(const QByteArray& json)
{
    RecordStore store;
    QList<FieldDef> packetFields;
    QList<FieldDef> layout;
    auto bind = [&](const QList<FieldDef>& fields) {
        layout = bindLayout(fields);
        return columnMap(layout, fields);
    };
    bool loaded = false;
    try {
        loaded = store.loadJson(json, packetFields, bind);
    } catch (const DataPacketError& error) {
        throw EDatabaseError(error.text());
    }
    if (!loaded) {
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
        if (parseError.error != QJsonParseError::NoError)
            throw EDatabaseError(QStringLiteral("JSON malformado na posição %1: %2.")
                                     .arg(parseError.offset)
                                     .arg(parseError.errorString()));
        if (!document.isObject())
            throw EDatabaseError(QStringLiteral("O pacote de dados não é um objeto JSON."));
        SetData(document.object());
        return;
    }
    load(std::move(store), layout);
}

void TClientDataSet::SetData(const QJsonObject& packet)
{
    RecordStore store;
    QList<FieldDef> layout;
    try {
        // Field definitions are validated by the packet codec; rows go straight to columns.
        QJsonObject header = packet;
        header.insert(QLatin1String("rows"), QJsonArray());
        const QList<FieldDef> packetFields = DataPacket::fromJsonObject(header).fields;
        const QJsonValue rows = packet.value(QLatin1String("rows"));
        if (!rows.isArray())
            throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"rows\"."));
        layout = bindLayout(packetFields);
        const QJsonArray rowArray = rows.toArray();
        QList<FieldDef> ordered = layout;
        store.reset(ordered, rowArray.size());
        store.loadRows(rowArray, packetFields, columnMap(layout, packetFields));
    } catch (const DataPacketError& error) {
        throw EDatabaseError(error.text());
    }
    load(std::move(store), layout);
}

void TClientDataSet::SetData(const DataPacket& packet)
{
    const QList<FieldDef> layout = bindLayout(packet.fields);
    const QList<int> columnOf = columnMap(layout, packet.fields);
    RecordStore store;
    store.reset(layout, packet.rows.size());
    for (qsizetype r = 0; r < packet.rows.size(); ++r) {
        const Row& row = packet.rows.at(r);
        if (row.size() != packet.fields.size())
            throw EDatabaseError(QStringLiteral("Linha %1 tem %2 valores; esperados %3.")
                                     .arg(r + 1)
                                     .arg(row.size())
                                     .arg(packet.fields.size()));
        for (int column = 0; column < int(layout.size()); ++column) {
            const int i = int(columnOf.indexOf(column));
            const QVariant& value = row.at(i);
            if (!value.isValid() || value.isNull()) {
                store.appendNull(column);
                continue;
            }
            switch (layout.at(column).type) {
            case FieldType::String:
                store.appendText(column, value.toString());
                break;
            case FieldType::Float:
                store.appendNumber(column, value.toDouble());
                break;
            case FieldType::DateTime: {
                const QDateTime dateTime = value.toDateTime();
                if (dateTime.isValid())
                    store.appendDateKey(column, RecordStore::dateKey(dateTime));
                else
                    store.appendNull(column);
                break;
            }
            }
        }
        store.endRow();
    }
    load(std::move(store), layout);
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
    m_editBackup.clear();
    ++m_load;
    m_index.clear();
    m_indexField = -1;
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

DataPacket TClientDataSet::GetData() const
{
    DataPacket packet;
    packet.fields = FieldDefs();
    packet.rows.reserve(m_store.rowCount());
    const int width = m_store.columnCount();
    DateCache dates;
    for (int r = 0; r < m_store.rowCount(); ++r) {
        Row row;
        row.reserve(width);
        for (int c = 0; c < width; ++c)
            row.append(m_store.value(r, c, dates));
        packet.rows.append(std::move(row));
    }
    return packet;
}

void TClientDataSet::writeStoredRow(JsonWriter& out, int row, qsizetype rowIndex,
                                    const QHash<int, QVariant>* base) const
{
    out.put('[');
    const int width = m_store.columnCount();
    for (int c = 0; c < width; ++c) {
        if (c > 0)
            out.put(',');
        if (base) {
            const auto it = base->constFind(c);
            if (it != base->constEnd()) {
                writeJsonValue(out, m_fields[size_t(c)]->Def(), it.value(), rowIndex);
                continue;
            }
        }
        if (!m_store.writeJson(out, row, c))
            throw DataPacketError(invalidNumberText(m_fields[size_t(c)]->FieldName(), rowIndex));
    }
    out.put(']');
}

QByteArray TClientDataSet::GetDataJson() const
{
    const int rows = m_store.rowCount();
    JsonWriter out;
    out.literal("{\"fields\":");
    writeJsonFields(out, FieldDefs());
    out.literal(",\"rows\":[");
    const qsizetype header = out.size();
    for (int r = 0; r < rows; ++r) {
        if (r > 0)
            out.put(',');
        writeStoredRow(out, r, r, nullptr);
        if (r == 63) // room for the rest, judged by the first rows
            out.reserveTotal(header + (out.size() - header) / 64 * rows * 9 / 8);
    }
    out.literal("]}");
    return out.take();
}

// ---------------------------------------------------------------------------------------
// Change log

Delta TClientDataSet::GetDelta() const
{
    Delta delta;
    delta.fields = FieldDefs();
    delta.changes.reserve(qsizetype(m_log.size()));
    const int width = m_store.columnCount();
    DateCache dates;
    for (const auto& [row, base] : m_log) {
        DeltaChange change;
        change.old.reserve(width);
        for (int c = 0; c < width; ++c) {
            const auto it = base.constFind(c);
            change.old.append(it != base.constEnd() ? it.value() : m_store.value(row, c, dates));
        }
        for (int c = 0; c < width; ++c) {
            if (base.contains(c))
                change.set.append({m_fields[size_t(c)]->FieldName(), m_store.value(row, c, dates)});
        }
        delta.changes.append(std::move(change));
    }
    return delta;
}

QByteArray TClientDataSet::GetDeltaJson() const
{
    JsonWriter out;
    out.literal("{\"fields\":");
    writeJsonFields(out, FieldDefs());
    out.literal(",\"changes\":[");
    const qsizetype header = out.size();
    const int width = m_store.columnCount();
    qsizetype index = 0;
    for (const auto& [row, base] : m_log) {
        if (index > 0)
            out.put(',');
        out.literal("{\"op\":\"modify\",\"old\":");
        writeStoredRow(out, row, index, &base);
        out.literal(",\"set\":{");
        bool first = true;
        for (int c = 0; c < width; ++c) {
            if (!base.contains(c))
                continue;
            if (!first)
                out.put(',');
            first = false;
            out.string(m_fields[size_t(c)]->FieldName());
            out.put(':');
            if (!m_store.writeJson(out, row, c))
                throw DataPacketError(invalidNumberText(m_fields[size_t(c)]->FieldName(), -1));
        }
        out.literal("}}");
        if (++index == 64)
            out.reserveTotal(header + (out.size() - header) / 64 * qsizetype(m_log.size()) * 9 / 8);
    }
    out.literal("]}");
    return out.take();
}

void TClientDataSet::MergeChangeLog()
{
    m_log.clear();
}

void TClientDataSet::CancelUpdates()
{
    if (m_state == TDataSetState::Edit)
        Cancel();
    if (m_log.empty())
        return;
    bool indexTouched = false;
    for (const auto& [row, base] : m_log) {
        for (auto it = base.constBegin(); it != base.constEnd(); ++it) {
            m_store.setValue(row, it.key(), it.value());
            indexTouched = indexTouched || it.key() == m_indexField;
        }
    }
    m_log.clear();
    if (indexTouched) {
        const int row = currentRow();
        m_index.clear();
        m_indexField = -1;
        applyFilter();
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
    m_index.clear();
    m_indexField = -1;
    m_visible = nullptr;
    m_filterActive = false;
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
    m_editBackup.clear();
    setState(TDataSetState::Edit);
}

void TClientDataSet::writeField(int fieldIndex, const QVariant& value)
{
    if (m_state != TDataSetState::Edit)
        throw EDatabaseError(QStringLiteral("O conjunto de dados não está em modo de edição."));
    const int row = currentRow();
    if (!m_editBackup.contains(fieldIndex))
        m_editBackup.insert(fieldIndex, m_store.value(row, fieldIndex));
    m_store.setValue(row, fieldIndex, value);
    notifyRow(m_position);
}

void TClientDataSet::Post()
{
    if (m_state != TDataSetState::Edit)
        return;
    const int row = currentRow();
    bool indexTouched = false;
    if (!m_editBackup.isEmpty()) {
        QHash<int, QVariant>& base = m_log[row];
        for (auto it = m_editBackup.constBegin(); it != m_editBackup.constEnd(); ++it) {
            if (!base.contains(it.key()))
                base.insert(it.key(), it.value());
            indexTouched = indexTouched || it.key() == m_indexField;
        }
        // A value changed and changed back is no change.
        for (auto it = base.begin(); it != base.end();) {
            if (sameValue(it.value(), m_store.value(row, it.key())))
                it = base.erase(it);
            else
                ++it;
        }
        if (base.isEmpty())
            m_log.erase(row);
    }
    m_editBackup.clear();
    if (indexTouched) {
        // The record may have left or joined the filtered rows.
        m_index.clear();
        m_indexField = -1;
        applyFilter();
        const auto visible = m_visible;
        if (visible) {
            const auto it = std::lower_bound(visible->begin(), visible->end(), row);
            m_position = visible->empty()
                             ? -1
                             : int(std::min<qsizetype>(it - visible->begin(),
                                                       qsizetype(visible->size()) - 1));
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
    const int row = currentRow();
    for (auto it = m_editBackup.constBegin(); it != m_editBackup.constEnd(); ++it)
        m_store.setValue(row, it.key(), it.value());
    m_editBackup.clear();
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
    return m_filterActive ? (m_visible ? int(m_visible->size()) : 0) : m_store.rowCount();
}

int TClientDataSet::rowAt(int position) const
{
    return m_filterActive ? (*m_visible)[size_t(position)] : position;
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
    if (!m_filterActive)
        return true;
    return m_visible && std::binary_search(m_visible->begin(), m_visible->end(), bookmark.row);
}

void TClientDataSet::GotoBookmark(const TBookmark& bookmark)
{
    checkBrowseMode();
    if (!BookmarkValid(bookmark))
        throw EDatabaseError(QStringLiteral("Registro não encontrado."));
    int position = bookmark.row;
    if (m_filterActive) {
        const auto it = std::lower_bound(m_visible->begin(), m_visible->end(), bookmark.row);
        position = int(it - m_visible->begin());
    }
    m_bof = m_eof = false;
    moveTo(position, true);
}

// ---------------------------------------------------------------------------------------
// Filter

void TClientDataSet::parseFilter(const QString& text, FilterSpec& filterSpec) const
{
    // FIELD ='value', blanks allowed around the name and the sign.
    const QChar* p = text.constData();
    const QChar* end = p + text.size();
    auto skipBlanks = [&] {
        while (p < end && p->isSpace())
            ++p;
    };
    auto fail = [&] {
        return EDatabaseError(
            QStringLiteral("Filtro não suportado: \"%1\" (esperado CAMPO ='valor').").arg(text));
    };
    skipBlanks();
    const QChar* nameStart = p;
    while (p < end && (p->isLetterOrNumber() || *p == u'_'))
        ++p;
    if (p == nameStart)
        throw fail();
    const QString name(nameStart, p - nameStart);
    skipBlanks();
    if (p == end || *p != u'=')
        throw fail();
    ++p;
    skipBlanks();
    if (p == end || *p != u'\'')
        throw fail();
    ++p;
    QString value;
    for (;;) {
        if (p == end)
            throw fail();
        if (*p == u'\'') {
            if (p + 1 < end && p[1] == u'\'') {
                value.append(u'\'');
                p += 2;
                continue;
            }
            ++p;
            break;
        }
        value.append(*p++);
    }
    skipBlanks();
    if (p != end)
        throw fail();
    const TField* field = FindField(name);
    if (!field)
        throw EDatabaseError(QStringLiteral("Filtro: campo '%1' não encontrado.").arg(name));
    if (field->DataType() != FieldType::String)
        throw EDatabaseError(
            QStringLiteral("Filtro: o campo '%1' não é um campo de texto.").arg(name));
    filterSpec.fieldIndex = field->Index();
    filterSpec.value = value;
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
    if (m_filtered && Active()) {
        applyFilter();
        m_position = IsEmpty() ? -1 : 0;
        m_bof = true;
        m_eof = IsEmpty();
        notifyReset();
        if (!IsEmpty() && AfterScroll)
            AfterScroll(*this);
    }
}

void TClientDataSet::SetFiltered(bool filtered)
{
    if (m_filtered == filtered)
        return;
    if (Active() && m_state == TDataSetState::Edit)
        Post();
    m_filtered = filtered;
    if (Active()) {
        applyFilter();
        m_position = IsEmpty() ? -1 : 0;
        m_bof = true;
        m_eof = IsEmpty();
        notifyReset();
        if (!IsEmpty() && AfterScroll)
            AfterScroll(*this);
    }
}

void TClientDataSet::rebuildIndex()
{
    m_index.clear();
    m_indexField = m_filter.fieldIndex;
    const int rows = m_store.rowCount();
    for (int r = 0; r < rows; ++r) {
        if (!m_store.isNull(r, m_indexField))
            m_index[m_store.text(r, m_indexField)].push_back(r);
    }
}

void TClientDataSet::applyFilter()
{
    m_filterActive = false;
    m_visible = nullptr;
    if (!m_filtered || m_filterText.trimmed().isEmpty() || !Active())
        return;
    if (m_filter.fieldIndex < 0)
        parseFilter(m_filterText, m_filter);
    if (m_indexField != m_filter.fieldIndex)
        rebuildIndex();
    m_filterActive = true;
    static const std::vector<int> none;
    const auto it = m_index.constFind(m_filter.value);
    m_visible = it == m_index.constEnd() ? &none : &it.value();
}

// ---------------------------------------------------------------------------------------
// Views

void TClientDataSet::EnableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0) {
        // One refresh for everything that happened while the views were not told.
        m_pendingReset = false;
        emit dataReset();
        if (m_state != m_disableState)
            emit stateChanged();
    }
}

void TClientDataSet::notifyReset()
{
    if (ControlsDisabled())
        m_pendingReset = true;
    else
        emit dataReset();
}

void TClientDataSet::notifyRow(int position)
{
    if (ControlsDisabled())
        m_pendingReset = true;
    else if (position >= 0)
        emit rowChanged(position);
}

void TClientDataSet::notifyCursor()
{
    if (ControlsDisabled())
        m_pendingReset = true;
    else
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
            const qint64 key = m_store.dateKeyAt(row, fieldIndex);
            const QDate date = QDate::fromJulianDay(key / 86400000);
            const int ms = int(key % 86400000);
            QString text = date.toString(QStringLiteral("dd/MM/yyyy"));
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
