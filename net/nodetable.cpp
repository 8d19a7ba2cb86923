#include "net/nodetable.h"

bool NodeTable::record(const QHostAddress &, const ArtNet::PollReply &, qint64)
{
    return false;
}

bool NodeTable::expire(qint64)
{
    return false;
}
