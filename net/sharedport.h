#pragma once

#include <QHostAddress>
#include <QString>

// Whether another program on this computer already holds a UDP port, asked
// before listening on it: a lighting console on Art-Net's port stops hearing
// its nodes while another program listens there too.
//
// Found by binding the port once without sharing it (no SO_REUSEADDR on
// Linux; SO_EXCLUSIVEADDRUSE on Windows): the system refuses whenever any
// socket holds the port on that address or on all addresses, whether it
// shares the port or not. Port 0 (a port of the system's choice, as the
// tests use) is never held.
bool udpPortHeldElsewhere(const QHostAddress &address, quint16 port);

// In French: the port is held by another program, which would stop hearing
// its nodes while nodeconfig listened there too, and what the system does
// then. The CLI and the window add what to do.
QString heldPortWarning(quint16 port);

// In French: the note while nodeconfig listens on a port that another
// program holds too.
QString sharedPortNote(quint16 port);
