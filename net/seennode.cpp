#include "net/seennode.h"

#include <QHash>

bool SeenNode::addressFieldDiffers() const
{
    return QHostAddress(static_cast<quint32>(reply.ipField)) != address;
}

namespace {

constexpr int OctetBits = 8;

template <std::size_t N>
QByteArray bytesOf(const std::array<std::uint8_t, N> &values)
{
    return QByteArray(reinterpret_cast<const char *>(values.data()), static_cast<int>(N));
}

} // namespace

quint64 macNumber(const ArtNet::PollReply &reply)
{
    quint64 number = 0;
    for (const std::uint8_t octet : reply.mac)
        number = number << OctetBits | octet;
    return number;
}

std::size_t replyIdentity(const ArtNet::PollReply &reply)
{
    const QByteArray numbers = QByteArray::number(reply.firmware) + ' '
                               + QByteArray::number(reply.oem) + ' '
                               + QByteArray::number(reply.estaMan) + ' '
                               + QByteArray::number(reply.netSwitch) + ' '
                               + QByteArray::number(reply.subSwitch) + ' '
                               + QByteArray::number(reply.numPorts);
    // Each text with its length, so that no two different sets of fields
    // make the same bytes.
    QByteArray all;
    for (const QByteArray &part :
         {reply.shortName, reply.longName, numbers, bytesOf(reply.portTypes), bytesOf(reply.swOut),
          bytesOf(reply.swIn)})
        all += QByteArray::number(part.size()) + ':' + part;
    return static_cast<std::size_t>(qHash(all));
}
