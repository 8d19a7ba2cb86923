#include "app/qtbridge.h"
#include "app/startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    enableHighDpiScaling();
    QApplication app(argc, argv);
    return runMainWindow(app);
}
