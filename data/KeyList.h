#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The customer list as the lookup writes it and the application server reads it: the chosen
// keys separated by commas, a key in double quotes when it holds a comma, a quote or blanks at
// either end (a quote inside is doubled), like one line of a CSV file. Blanks around an
// unquoted key are not part of it; empty entries are dropped.
namespace KeyList {

// The keys of the text in order; std::nullopt when a quoted key is not closed or text follows
// a closing quote.
std::optional<QStringList> parse(const QString& text);

// The text for the keys, quoting only where a key needs it.
QString write(const QStringList& keys);

} // namespace KeyList
