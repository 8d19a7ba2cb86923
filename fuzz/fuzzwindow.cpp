#include "fuzzwindow.h"

#include "ui/mainwindow.h"

#include <QApplication>

namespace {

const char PlatformVariable[] = "QT_QPA_PLATFORM";
const char OffscreenPlatform[] = "offscreen";

} // namespace

MainWindow &fuzzWindow(int *argc, char ***argv)
{
    if (qEnvironmentVariableIsEmpty(PlatformVariable))
        qputenv(PlatformVariable, OffscreenPlatform);
    // Both live as long as the process, never destroyed: Qt 5 drops its
    // platform's screens unfreed when the application object goes, which
    // the leak check at exit would report.
    static QApplication *const application = new QApplication(*argc, *argv);
    static MainWindow *const window = new MainWindow;
    static_cast<void>(application);
    return *window;
}
