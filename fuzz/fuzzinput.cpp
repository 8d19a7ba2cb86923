#include "fuzzinput.h"

#include <QByteArray>

FuzzInput::FuzzInput(const std::uint8_t *data, std::size_t size) : data(data), size(size) {}

std::uint8_t FuzzInput::takeByte()
{
    if (size == 0)
        return 0;
    --size;
    return *data++;
}

QString FuzzInput::takeText()
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<int>(size));
    data += size;
    size = 0;
    return text;
}

QStringList FuzzInput::takeTexts()
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));
    data += size;
    size = 0;
    QStringList texts;
    for (const QByteArray &piece : bytes.split('\0'))
        texts << QString::fromUtf8(piece);
    return texts;
}
