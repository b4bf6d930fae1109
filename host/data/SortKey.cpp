#include "SortKey.h"

namespace SortKey {

namespace {

// Lower-case letters that carry no decomposition into a base letter and a mark.
QStringView plainSpelling(char16_t c)
{
    switch (c) {
    case u'ß':
        return u"ss";
    case u'æ':
        return u"ae";
    case u'œ':
        return u"oe";
    case u'ø':
        return u"o";
    case u'ł':
        return u"l";
    case u'đ':
    case u'ð':
        return u"d";
    case u'þ':
        return u"th";
    case u'ı':
        return u"i";
    default:
        return {};
    }
}

} // namespace

QString of(QStringView text)
{
    const QString folded = text.toString().normalized(QString::NormalizationForm_KD).toCaseFolded();
    QString key;
    key.reserve(folded.size());
    for (const QChar c : folded) {
        switch (c.category()) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
            continue;
        default:
            break;
        }
        const QStringView plain = plainSpelling(c.unicode());
        if (plain.isEmpty())
            key.append(c);
        else
            key.append(plain);
    }
    return key;
}

} // namespace SortKey
