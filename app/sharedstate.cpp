#include "app/sharedstate.h"

#include <QTimer>

namespace {

NodeReport initialReport()
{
    NodeReport report{};
    report[Report::Command] = cmdRequestConfig;
    return report;
}

} // namespace

QString statusText;
NodeReport reportBuffer = initialReport();
bool waitingForNode = true;
bool nodeConnected = false;
bool dataReady = false;
std::int32_t lastReceiveLength = 0;
std::int32_t outputTypeIndex = 0;
FieldTexts DisplayFields;
QStringList refusedNodePaths;
bool hidFailureNamed = false;
// Never stopped or destroyed: it lives as long as the process.
QTimer *const searchTimer = new QTimer;
MainWindow *mainWindow = nullptr;
