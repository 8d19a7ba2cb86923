#include "app/qtbridge.h"

#include <QGuiApplication>

void enableHighDpiScaling()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
#if QT_VERSION >= QT_VERSION_CHECK(5, 14, 0) && QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
}

bool screenScaleCanBeAsked()
{
    return QT_VERSION >= QT_VERSION_CHECK(5, 14, 0);
}

bool offscreenScreensConfigurable()
{
    // Every Qt 6 the tool builds with (6.4 and later).
    return QT_VERSION >= QT_VERSION_CHECK(6, 0, 0);
}
