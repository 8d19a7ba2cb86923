#include "testcommon.h"

#include "app/sharedstate.h"
#include "usb/hidtransport.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

QTemporaryDir &settingsFolder()
{
    static QTemporaryDir folder;
    return folder;
}

// QStandardPaths' test mode does not move QSettings out of the registry on
// Windows: every setting goes to an INI file in the test's folder instead.
void keepSettingsInTestFolder()
{
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder().path());
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope,
                       settingsFolder().filePath(QStringLiteral("system")));
}

QStringList testSettingsFiles()
{
    QStringList files;
    QDirIterator found(settingsFolder().path(), {QStringLiteral("*.ini")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (found.hasNext())
        files << found.next();
    return files;
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(keepSettingsInTestFolder)

bool testSettingsHold(const QVariant &value)
{
    for (const QString &file : testSettingsFiles()) {
        const QSettings settings(file, QSettings::IniFormat);
        for (const QString &key : settings.allKeys()) {
            if (settings.value(key) == value)
                return true;
        }
    }
    return false;
}

void clearTestSettings()
{
    for (const QString &file : testSettingsFiles())
        QSettings(file, QSettings::IniFormat).clear();
}

void resetToolState()
{
    hidOpen(0, 0, 0, 0, 0);
    statusText.clear();
    reportBuffer = NodeReport{};
    reportBuffer[Report::Command] = cmdRequestConfig;
    waitingForNode = true;
    nodeConnected = false;
    dataReady = false;
    lastReceiveLength = 0;
    outputTypeIndex = 0;
    DisplayFields = FieldTexts{};
    refusedNodePaths.clear();
    hidFailureNamed = false;
}

NodeReport reportWith(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes)
{
    NodeReport report{};
    for (const auto &byte : bytes)
        report[byte.first] = byte.second;
    return report;
}

const QStringList configEditNames = {
    "ipa1",   "ipa2",   "ipa3",   "ipa4",   "ipm1",     "ipm2",     "ipm3",   "ipm4",
    "ipb1",   "ipb2",   "ipb3",   "ipb4",   "spi1freq", "spi2freq", "spi1p1", "spi1p2",
    "spi1p3", "spi1p4", "spi1p5", "spi1p6", "spi1p7",   "spi1p8",   "spi2p1", "spi2p2",
    "spi2p3", "spi2p4", "spi2p5", "spi2p6", "spi2p7",   "spi2p8",   "offset"};

QString reportDiff(const NodeReport &actual, const NodeReport &expected)
{
    QString diff;
    for (std::size_t i = 0; i < Report::Size; ++i) {
        if (actual[i] != expected[i])
            diff += QString(" [%1] %2 != %3").arg(i).arg(actual[i]).arg(expected[i]);
    }
    return diff;
}

NodeReport sampleConfiguration()
{
    NodeReport report = {cmdRequestConfig, 192, 168, 1, 50, 255, 255, 255, 0, 192, 168, 1, 255,
                         2, 16, 16, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                         3, 16};
    for (std::size_t i = Report::Reserved; i < Report::Size; ++i)
        report[i] = static_cast<std::uint8_t>(0xA0 + i);
    return report;
}

void processRefresh(const QWidget &window)
{
    // The refresh timer is the window's only timer of its own.
    const QList<QTimer *> timers =
        window.findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(timers.size(), 1);
    QSignalSpy refreshes(timers.front(), SIGNAL(timeout()));
    QTRY_VERIFY(!refreshes.isEmpty());
}

CapturedOutput::CapturedOutput()
{
    QTemporaryFile file;
    file.setAutoRemove(false);
    file.open();
    path = file.fileName();
    file.close();
    std::fflush(stdout);
    savedStdout = dup(STDOUT_FILENO);
    const int capture = open(path.toLocal8Bit().constData(), O_WRONLY | O_TRUNC);
    dup2(capture, STDOUT_FILENO);
    close(capture);
}

CapturedOutput::~CapturedOutput()
{
    std::fflush(stdout);
    dup2(savedStdout, STDOUT_FILENO);
    close(savedStdout);
    QFile::remove(path);
}

QByteArray CapturedOutput::text()
{
    std::fflush(stdout);
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

bool runsUnderWine()
{
    return qEnvironmentVariableIsSet("NODECONFIG_UNDER_WINE");
}
