#pragma once

#include "app/messages.h"
#include "protocol/decode.h"
#include "protocol/nodereport.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class MainWindow;
class QTimer;

// Process-wide state shared by the slots, all on the GUI thread.
extern QString statusText;           // current status message
extern NodeReport reportBuffer;      // every request, reply and write
extern bool waitingForNode;          // a configuration read is due
extern bool nodeConnected;           // the node was present at the last check
extern bool dataReady;               // DisplayFields not yet shown
extern std::int32_t lastReceiveLength;
extern std::int32_t outputTypeIndex; // decoded or selected chip code
extern FieldTexts DisplayFields;     // decoded field texts, slots 0..31
extern QStringList refusedNodePaths; // nodes found but not opened, already named
extern bool hidFailureNamed;         // the HID library's failure to start was printed
extern QTimer *const searchTimer;    // 100 ms node search, created before main
extern MainWindow *mainWindow;

constexpr int SearchIntervalMs = 100;
