#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The first key that an object of a JSON text holds twice, if any. Qt's
// parser keeps one of the two without a word (and Qt 5's leaks the other
// when it is an array or an object), so a file that names a field twice is
// refused before it is parsed. Reads any bytes, well-formed JSON or not.
std::optional<QString> firstRepeatedKey(const QByteArray &json);
