#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// A CSV reader that takes only well-formed text: records end at "\n" (or
// "\r\n", as a spreadsheet may save them), fields are separated by one
// character, a quoted field starts with a quote, holds doubled quotes and
// ends with a quote followed by a separator or the end of its record.
// Anything else (a quote inside a bare field, text after a closing quote, an
// unterminated quote, a bare carriage return, no final line end) makes the
// whole text unreadable: a file without its final line end would join the
// next appended record to its last one.
std::optional<std::vector<QStringList>> readStrictCsv(const QString &text, QChar separator);
