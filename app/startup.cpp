#include "app/startup.h"

#include "app/platform.h"
#include "app/sharedstate.h"
#include "ui/formfont.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

namespace {

// In the user's cache folder: a cache, remade when it is lost.
const QString FittedFontFile = QStringLiteral("/fitted-font");

// Keeps the window's fitted font between starts, where the user's cache
// is; nowhere if the platform gives no cache folder.
void rememberFittedFont()
{
    const QString cacheFolder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (!cacheFolder.isEmpty())
        rememberFitIn(cacheFolder + FittedFontFile);
}

} // namespace

void startSearch()
{
    statusText = message(Status::WaitingForNode);
    searchTimer->start(SearchIntervalMs);
}

int runMainWindow(QApplication &app)
{
    attachParentConsole();
    rememberFittedFont();
    mainWindow = new MainWindow(nullptr);
    mainWindow->show();
    mainWindow->openArgumentFile(app.arguments());
    startSearch();
    return app.exec();
}
