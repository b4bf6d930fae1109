#include "KeyList.h"

namespace KeyList {

namespace {

bool needsQuotes(const QString& key)
{
    return key.isEmpty() || key.contains(QLatin1Char(',')) || key.contains(QLatin1Char('"')) ||
           key.front().isSpace() || key.back().isSpace();
}

} // namespace

std::optional<QStringList> parse(const QString& text)
{
    QStringList keys;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && text.at(i).isSpace())
            ++i;
        if (i < n && text.at(i) == QLatin1Char('"')) {
            QString key;
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = text.at(i++);
                if (c != QLatin1Char('"')) {
                    key.append(c);
                } else if (i < n && text.at(i) == QLatin1Char('"')) {
                    key.append(c);
                    ++i;
                } else {
                    closed = true;
                    break;
                }
            }
            if (!closed)
                return std::nullopt;
            while (i < n && text.at(i).isSpace())
                ++i;
            if (i < n && text.at(i) != QLatin1Char(','))
                return std::nullopt;
            ++i;
            keys.append(key);
        } else {
            const qsizetype comma = text.indexOf(QLatin1Char(','), i);
            const qsizetype end = comma < 0 ? n : comma;
            const QString key = text.mid(i, end - i).trimmed();
            if (key.contains(QLatin1Char('"')))
                return std::nullopt;
            if (!key.isEmpty())
                keys.append(key);
            i = end + 1;
        }
    }
    return keys;
}

QString write(const QStringList& keys)
{
    QStringList parts;
    parts.reserve(keys.size());
    for (const QString& key : keys) {
        if (needsQuotes(key)) {
            QString quoted = key;
            quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
            parts.append(QLatin1Char('"') + quoted + QLatin1Char('"'));
        } else {
            parts.append(key);
        }
    }
    return parts.join(QLatin1Char(','));
}

} // namespace KeyList
