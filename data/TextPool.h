#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <vector>

// Gives equal texts of one column of a packet the same entry in the column's table of texts,
// so that a text repeated over many rows (company, branch, product, the invoice number of its
// items) is decoded and held once. Keyed by the text's bytes in the packet, which must outlive
// the pool. A column of (nearly) unique texts stops growing the pool at `maxDistinct`: its
// further texts get entries of their own.
class TextPool
{
public:
    quint32 indexOf(QByteArrayView utf8, std::vector<QString>& texts)
    {
        if (m_haveLast && utf8 == m_lastKey)
            return m_last; // runs of one value (the items of one invoice)
        const auto it = m_indexes.constFind(utf8);
        quint32 index = 0;
        if (it != m_indexes.cend()) {
            index = it.value();
        } else {
            index = quint32(texts.size());
            texts.push_back(QString::fromUtf8(utf8));
            if (m_indexes.size() < maxDistinct)
                m_indexes.insert(utf8, index);
        }
        m_haveLast = true;
        m_lastKey = utf8;
        m_last = index;
        return index;
    }

private:
    static constexpr qsizetype maxDistinct = 4096;
    QHash<QByteArrayView, quint32> m_indexes;
    QByteArrayView m_lastKey;
    quint32 m_last = 0;
    bool m_haveLast = false;
};
