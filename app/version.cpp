#include "app/version.h"

#include <QtGlobal>

// NODECONFIG_VERSION is defined for this file alone, from CMake's project().
QString programVersion()
{
    return QStringLiteral(NODECONFIG_VERSION);
}

QString versionText()
{
    return QStringLiteral("nodeconfig %1\nQt %2").arg(programVersion(), QString::fromLatin1(qVersion()));
}
