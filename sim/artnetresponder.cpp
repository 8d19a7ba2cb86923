#include "sim/artnetresponder.h"

ArtNetResponder::ArtNetResponder(QObject *parent) : QObject(parent)
{
}

void ArtNetResponder::setConfiguration(const NodeReport &report)
{
    configuration = report;
}

bool ArtNetResponder::start(const QHostAddress &, quint16)
{
    return false;
}

void ArtNetResponder::stop()
{
}

QHostAddress ArtNetResponder::address() const
{
    return socket.localAddress();
}

quint16 ArtNetResponder::port() const
{
    return socket.localPort();
}

std::vector<int> ArtNetResponder::universes() const
{
    return {};
}

std::vector<ArtNet::PollReply> ArtNetResponder::replies() const
{
    return {};
}

void ArtNetResponder::readPendingDatagrams()
{
}

void ArtNetResponder::answerPoll(const QHostAddress &, quint16)
{
}
