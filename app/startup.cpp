#include "app/startup.h"

#include "app/platform.h"
#include "app/qtbridge.h"
#include "app/screenfit.h"
#include "app/sharedstate.h"
#include "link/stoprequest.h"
#include "ui/formfont.h"
#include "ui/guidewindow.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

// In the user's cache folder: a cache, remade when it is lost. One file per
// scale of the screen, as a start whose window does not fit at the screen's
// scale fits its font at that scale first, then at the one it opens at.
const QString FittedFontFile = QStringLiteral("/fitted-font-%1");

// How soon the window program answers a request to end.
constexpr int StopCheckIntervalMs = 100;

// Keeps the window's fitted font between starts, where the user's cache
// is; nowhere if the platform gives no cache folder.
void rememberFittedFont()
{
    const QString cacheFolder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    const QScreen *const screen = QGuiApplication::primaryScreen();
    if (!cacheFolder.isEmpty() && screen)
        rememberFitIn(cacheFolder + FittedFontFile.arg(screen->devicePixelRatio()));
}

// The application object with the arguments as given: Qt takes its own
// options out of the list it is handed, so each one gets a copy, kept as
// long as it lives.
class Application
{
public:
    Application(int argc, char **argv)
        : count(argc), arguments(argv, argv + argc + 1), app(count, arguments.data())
    {
    }

private:
    int count;
    std::vector<char *> arguments;
    QApplication app;
};

std::unique_ptr<MainWindow> newMainWindow()
{
    rememberFittedFont();
    return std::make_unique<MainWindow>(nullptr);
}

std::unique_ptr<Application> newApplication(int argc, char **argv, StartedHook applicationMade)
{
    auto app = std::make_unique<Application>(argc, argv);
    if (applicationMade)
        applicationMade();
    return app;
}

// Scales are chosen as the application object is made: where the window
// does not fit whole at its screen's, both are made again at one where it
// does.
void fitToScreen(std::unique_ptr<Application> &app, std::unique_ptr<MainWindow> &window, int argc,
                 char **argv, StartedHook applicationMade)
{
    const std::optional<qreal> scale = scaleToFit(*window);
    if (!scale)
        return;
    askScaleForNextStart(*window, *scale);
    window.reset();
    app.reset();
    app = newApplication(argc, argv, applicationMade);
    window = newMainWindow();
}

} // namespace

void closeWindowsOnStopRequest(QWidget &mainWindow)
{
    auto *const watch = new QTimer(&mainWindow);
    // Again at each look while a window stays open (a series finishing its
    // unit first).
    QObject::connect(watch, &QTimer::timeout, &mainWindow, [] {
        if (stopRequested())
            QApplication::closeAllWindows();
    });
    watch->start(StopCheckIntervalMs);
}

void startSearch()
{
    statusText = message(Status::WaitingForNode);
    searchTimer->start(SearchIntervalMs);
}

int runMainWindow(int &argc, char **argv, StartedHook started, StartedHook applicationMade)
{
    attachParentConsole();
    enableHighDpiScaling();
    auto app = newApplication(argc, argv, applicationMade);
    auto window = newMainWindow();
    fitToScreen(app, window, argc, argv, applicationMade);
    keepOnScreen(*window);
    if (started)
        started();
    // It lives to the end of the process.
    mainWindow = window.release();
    mainWindow->show();
    mainWindow->openArgumentFile(QCoreApplication::arguments());
    startSearch();
    installStopHandlers();
    closeWindowsOnStopRequest(*mainWindow);
    const int status = QApplication::exec();
    stopHandled();
    return status;
}

int runGuideWindow(int &argc, char **argv)
{
    attachParentConsole();
    enableHighDpiScaling();
    const Application app(argc, argv);
    GuideWindow guide(nullptr);
    guide.show();
    return QApplication::exec();
}
