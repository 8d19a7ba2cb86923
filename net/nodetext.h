#pragma once

#include "net/seennode.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Text taken from a packet, as the tools show it on a terminal, in a window,
// a log or a file: UTF-8 when the bytes are UTF-8 (a sequence cut by the end
// of its field is dropped), otherwise one character per byte (Latin-1); tabs
// and line ends become spaces, and every other control character, the
// invisible format characters (text direction marks) and line separators are
// dropped, so that a node's name can neither move the cursor, clear the
// screen, forge a line nor turn text around. Every text of a packet shown
// anywhere goes through here; the JSON output keeps the exact bytes, escaped.
QString shownText(const QByteArray &fromPacket);

// A node's short name and long name, as shownText() gives them.
QString shownShortName(const SeenNode &node);
QString shownLongName(const SeenNode &node);

// How the tools show a node's universes: each port-address as a number and,
// beside it, as Art-Net's net.sub-net.universe, since lighting software
// counts from 0 or from 1: "1 [0.0.1], 2 [0.0.2]".
QString universesText(const std::vector<int> &portAddresses);

// One line for a node in the console's list: address, name, MAC, universes,
// firmware.
QString nodeLine(const SeenNode &node);
