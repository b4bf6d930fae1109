#include "SortKey.h"

namespace SortKey {

namespace {

// Lower-case letters that carry no decomposition into a base letter and a mark.
struct PlainSpelling
{
    char16_t letter;
    QStringView spelling;
};
constexpr PlainSpelling plainSpellings[] = {{u'ß', u"ss"}, {u'æ', u"ae"}, {u'œ', u"oe"},
                                            {u'ø', u"o"},  {u'ł', u"l"},  {u'đ', u"d"},
                                            {u'ð', u"d"},  {u'þ', u"th"}, {u'ı', u"i"}};

QStringView plainSpelling(char16_t c)
{
    for (const PlainSpelling& plain : plainSpellings) {
        if (plain.letter == c)
            return plain.spelling;
    }
    return {};
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
