#include "ui/usersettings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString SettingsOrganization = QStringLiteral("nodeconfig");
const QString SettingsApplication = QStringLiteral("nodeconfig");
const QString LastFolderKey = QStringLiteral("files/lastFolder");
const QString SeriesLogKey = QStringLiteral("series/log");
const QString SeriesKindKey = QStringLiteral("series/kind");

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

QString rememberedSeriesLog()
{
    return userSettings().value(SeriesLogKey).toString();
}

void rememberSeriesLog(const QString &path)
{
    QSettings settings = userSettings();
    settings.setValue(SeriesLogKey, path);
}

QString rememberedSeriesKind()
{
    return userSettings().value(SeriesKindKey).toString();
}

void rememberSeriesKind(const QString &kind)
{
    QSettings settings = userSettings();
    settings.setValue(SeriesKindKey, kind);
}
