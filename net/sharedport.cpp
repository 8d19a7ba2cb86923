#include "net/sharedport.h"

#include "app/platform.h"

#include <QCoreApplication>
#include <QUdpSocket>

bool udpPortHeldElsewhere(const QHostAddress &address, quint16 port)
{
    if (port == 0)
        return false;
    QUdpSocket probe;
    if (probe.bind(address, port, QUdpSocket::DontShareAddress))
        return false;
    // Windows answers an exclusive bind with "access denied" where another
    // socket holds the port exclusively itself.
    return probe.error() == QAbstractSocket::AddressInUseError
           || probe.error() == QAbstractSocket::SocketAccessError;
}

QString heldPortWarning(quint16 port)
{
    return QCoreApplication::translate(
               "SharedPort",
               "Le port UDP %1 est déjà ouvert par un autre programme de cet ordinateur (une "
               "console ou un logiciel d'éclairage ?). Si nodeconfig l'écoutait aussi, cet autre "
               "programme n'entendrait plus ses nodes pendant ce temps : %2.")
        .arg(port)
        .arg(sharedUdpPortDelivery());
}

QString sharedPortNote(quint16 port)
{
    return QCoreApplication::translate("SharedPort",
                                       "Le port UDP %1 est partagé avec un autre programme : "
                                       "tant que nodeconfig écoute, %2.")
        .arg(port)
        .arg(sharedUdpPortDelivery());
}
