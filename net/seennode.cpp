#include "net/seennode.h"

bool SeenNode::addressFieldDiffers() const
{
    return QHostAddress(static_cast<quint32>(reply.ipField)) != address;
}
