#include "ui/usersettings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString SettingsOrganization = QStringLiteral("nodeconfig");
const QString SettingsApplication = QStringLiteral("nodeconfig");
const QString LastFolderKey = QStringLiteral("files/lastFolder");

} // namespace

QSettings userSettings()
{
    return QSettings(QSettings::defaultFormat(), QSettings::UserScope, SettingsOrganization,
                     SettingsApplication);
}

QString userSettingsLocation()
{
    return userSettings().fileName();
}

QString configurationFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QSettings settings = userSettings();
    const QString last = settings.value(LastFolderKey).toString();
    return !last.isEmpty() && QDir(last).exists() ? last : documents;
}

void rememberConfigurationFolder(const QString &path)
{
    QSettings settings = userSettings();
    settings.setValue(LastFolderKey, QFileInfo(path).absolutePath());
}
