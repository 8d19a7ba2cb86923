// The window as the tool opens it at each scale of the screen: at the
// screen's own scale where it fits whole, else at the largest that fits,
// never below 1, always in its own 666 x 632 and whole on the screen. Each
// row starts the tool in a child process (this program with ChildOption),
// as the scale is chosen when the application object is made; the child
// reports its window once shown.

#include "app/qtbridge.h"
#include "app/sharedstate.h"
#include "app/startup.h"
#include "ui/mainwindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <cstdio>
#include <optional>

namespace {

const QByteArray ChildOption = QByteArrayLiteral("--child");
constexpr int ChildTimeoutMs = 60000;
const QSize WindowSize(666, 632);
const QSize LargeScreen(3840, 2160);
const QSize LaptopScreen(1920, 1080);
const QSize SmallScreen(1366, 768);
// The DPI of a screen at scale 1, on Windows as on X11.
constexpr int BaseDpi = 96;
const QString ScreenConfigFile = QStringLiteral("screens.json");
// What the user or an earlier start may have set, left out of each child.
const char *const ScaleVariables[] = {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                                      "QT_ENABLE_HIGHDPI_SCALING", "QT_FONT_DPI"};

// How the screen asks for its scale: by its DPI, as Windows and X11
// desktops do, or through the user's own QT_SCALE_FACTOR.
enum class ScaleSource { ScreenDpi, UserFactor };

// The child's one line: the window's scale, size, frame and its screen's
// available area, the rectangles as x y width height. A window that never
// appears ends the child with 1 and no line.
void reportWindow()
{
    QWidget *const window = mainWindow;
    if (!QTest::qWaitForWindowExposed(window)) {
        std::fprintf(stderr, "the window was never shown\n");
        QCoreApplication::exit(1);
        return;
    }
    const QRect frame = window->frameGeometry();
    const QRect area = window->windowHandle()->screen()->availableGeometry();
    std::printf("%g %d %d %d %d %d %d %d %d %d %d\n", window->devicePixelRatioF(), window->width(),
                window->height(), frame.x(), frame.y(), frame.width(), frame.height(), area.x(),
                area.y(), area.width(), area.height());
    std::fflush(stdout);
    QCoreApplication::quit();
}

void reportOnceShown()
{
    QTimer::singleShot(0, reportWindow);
}

// What the child reported.
struct ShownWindow
{
    qreal scale;
    QSize size;
    QRect frame;
    QRect area;
};

std::optional<ShownWindow> parseReport(const QByteArray &line)
{
    const QList<QByteArray> fields = line.trimmed().split(' ');
    constexpr int FieldCount = 11;
    if (fields.size() != FieldCount)
        return std::nullopt;
    QList<int> numbers;
    for (int index = 1; index < FieldCount; ++index)
        numbers << fields[index].toInt();
    return ShownWindow{fields[0].toDouble(), {numbers[0], numbers[1]},
                       {numbers[2], numbers[3], numbers[4], numbers[5]},
                       {numbers[6], numbers[7], numbers[8], numbers[9]}};
}

// The offscreen platform's screen for a child, as its configuration file
// describes it (Qt 6).
void writeScreenConfig(const QString &file, const QSize &screen, int dpi)
{
    const QJsonObject onlyScreen{{"name", "screen"},       {"x", 0},
                                 {"y", 0},                 {"width", screen.width()},
                                 {"height", screen.height()}, {"logicalDpi", dpi},
                                 {"logicalBaseDpi", BaseDpi}, {"dpr", 1}};
    QFile output(file);
    if (output.open(QIODevice::WriteOnly))
        output.write(QJsonDocument(QJsonObject{{"screens", QJsonArray{onlyScreen}}}).toJson());
}

} // namespace

Q_DECLARE_METATYPE(ScaleSource)

class TestScreenScale : public QObject
{
    Q_OBJECT

private slots:
    void windowOpensWhole_data();
    void windowOpensWhole();
};

void TestScreenScale::windowOpensWhole_data()
{
    QTest::addColumn<QSize>("screen"); // empty: the platform's own
    QTest::addColumn<ScaleSource>("source");
    QTest::addColumn<qreal>("screenScale");
    QTest::addColumn<qreal>("windowScale");

    const QList<qreal> scales = {1, 1.25, 1.5, 1.75, 2};
    for (const qreal scale : scales) {
        QTest::addRow("3840x2160 at %g", scale) << LargeScreen << ScaleSource::ScreenDpi << scale << scale;
        // At 1.75 the window and its frame would be 1110 pixels high.
        QTest::addRow("1920x1080 at %g", scale)
            << LaptopScreen << ScaleSource::ScreenDpi << scale << qMin(scale, 1.5);
        // The platform's own screen, 800 pixels wide, holds the window at 1 only.
        QTest::addRow("own screen at QT_SCALE_FACTOR=%g", scale)
            << QSize() << ScaleSource::UserFactor << scale << 1.0;
    }
    // A small laptop's screen at its usual 125 %: 790 pixels are too high.
    QTest::addRow("1366x768 at 1.25") << SmallScreen << ScaleSource::ScreenDpi << 1.25 << 1.0;
    // The user's factor times the screen's own.
    QTest::addRow("1920x1080 at 2 by QT_SCALE_FACTOR=2")
        << LaptopScreen << ScaleSource::UserFactor << 2.0 << 1.5;
}

void TestScreenScale::windowOpensWhole()
{
    QFETCH(QSize, screen);
    QFETCH(ScaleSource, source);
    QFETCH(qreal, screenScale);
    QFETCH(qreal, windowScale);
    if (!qFuzzyCompare(windowScale, screenScale) && !screenScaleCanBeAsked())
        QSKIP("this Qt keeps its own scale, the window is not fitted");

    const QTemporaryDir folder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *const variable : ScaleVariables)
        environment.remove(QString::fromLatin1(variable));
    QString platform = QStringLiteral("offscreen");
    if (source == ScaleSource::UserFactor)
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(screenScale));
    if (screen.isValid()) {
        if (!offscreenScreensConfigurable())
            QSKIP("this Qt's offscreen platform has one screen of its own");
        writeScreenConfig(folder.filePath(ScreenConfigFile), screen,
                          qRound(BaseDpi * (source == ScaleSource::ScreenDpi ? screenScale : 1)));
        platform += QStringLiteral(":configfile=") + ScreenConfigFile;
    }
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);

    QProcess child;
    child.setProcessEnvironment(environment);
    // Where the screens' file is, when there is one: Qt 6 reads the path
    // after "configfile=" up to any ':', which a Windows path holds.
    if (screen.isValid())
        child.setWorkingDirectory(folder.path());
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(ChildOption)});
    QVERIFY2(child.waitForFinished(ChildTimeoutMs), "the child did not end");
    QVERIFY2(child.exitCode() == 0, child.readAllStandardError().constData());
    const QByteArray report = child.readAllStandardOutput();
    const std::optional<ShownWindow> shown = parseReport(report);
    QVERIFY2(shown, report.constData());

    QCOMPARE(shown->scale, windowScale);
    QCOMPARE(shown->size, WindowSize);
    const QString where = QStringLiteral("frame %1,%2 %3x%4 in %5,%6 %7x%8")
                              .arg(shown->frame.x())
                              .arg(shown->frame.y())
                              .arg(shown->frame.width())
                              .arg(shown->frame.height())
                              .arg(shown->area.x())
                              .arg(shown->area.y())
                              .arg(shown->area.width())
                              .arg(shown->area.height());
    // Whole wherever the screen can hold it; its title bar always in sight.
    QVERIFY2(shown->area.contains(shown->frame.topLeft()), qPrintable(where));
    if (shown->frame.width() <= shown->area.width() && shown->frame.height() <= shown->area.height())
        QVERIFY2(shown->area.contains(shown->frame), qPrintable(where));
}

int main(int argc, char *argv[])
{
    if (argc == 2 && ChildOption == argv[1]) {
        // The tool's start-up as it is, its fitted font kept aside.
        QStandardPaths::setTestModeEnabled(true);
        return runMainWindow(argc, argv, reportOnceShown);
    }
    QCoreApplication app(argc, argv);
    TestScreenScale test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenscale.moc"
