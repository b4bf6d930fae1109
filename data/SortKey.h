#pragma once

#include <QString>
#include <QStringView>

// Names compared as a Brazilian reader compares them: accents and letter case do not count,
// so "Açaí Trading" sorts before "Auckland Brew" and "graos" finds "Grãos". The key is plain
// text, so ordering by it is ordering by its code points: the same on every database (a
// binary collation) and in QString's operator<. A search compares the keys of the text and of
// what was typed.
namespace SortKey {

// The text without accents (compatibility decomposition without its marks), case folded,
// with the letters that have no decomposition spelled plainly ("ł" -> "l", "ß" -> "ss").
QString of(QStringView text);

} // namespace SortKey
