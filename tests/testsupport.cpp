#include "testsupport.h"

#include "app/sharedstate.h"
#include "sim/fakehid.h"
#include "usb/hidtransport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

void resetSharedState()
{
    hidOpen(0, 0, 0, 0, 0);
    fakehid::reset();
    statusText.clear();
    reportBuffer = NodeReport{};
    reportBuffer[Report::Command] = cmdRequestConfig;
    waitingForNode = true;
    nodeConnected = false;
    dataReady = false;
    lastReceiveLength = 0;
    outputTypeIndex = 0;
    DisplayFields = FieldTexts{};
}

NodeReport reportWith(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes)
{
    NodeReport report{};
    for (const auto &byte : bytes)
        report[byte.first] = byte.second;
    return report;
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

void processRefresh()
{
    constexpr int RefreshWaitMs = 40;
    QTest::qWait(RefreshWaitMs);
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
