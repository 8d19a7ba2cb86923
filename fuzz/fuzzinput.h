#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

// A fuzzer's input taken apart from the front: single bytes for choices,
// then the rest as UTF-8 text. An exhausted input gives zeros and empty texts.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t *data, std::size_t size);

    std::uint8_t takeByte();
    // The rest of the input, as UTF-8.
    QString takeText();
    // The rest of the input, cut at each NUL byte: one text per piece.
    QStringList takeTexts();

private:
    const std::uint8_t *data;
    std::size_t size;
};
