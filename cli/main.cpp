// nodeconfig-cli: the node's configuration from the command line. Qt Core
// and hidapi only: no window, no display.

#include "cli/cliapp.h"
#include "cli/stdiooutput.h"
#include "link/stoprequest.h"
#include "link/systemclock.h"

#include <QCoreApplication>
#include <QStringList>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    installStopHandlers();
    SystemClock clock;
    StdioOutput output;
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const int status = CliApp(clock, output).run(arguments);
    stopHandled();
    return status;
}
