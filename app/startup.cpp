#include "app/startup.h"

#include "app/platform.h"
#include "app/sharedstate.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QTimer>

void startSearch()
{
    statusText = message(Status::WaitingForNode);
    searchTimer->start(SearchIntervalMs);
}

int runMainWindow(QApplication &app)
{
    attachParentConsole();
    mainWindow = new MainWindow(nullptr);
    mainWindow->show();
    startSearch();
    return app.exec();
}
