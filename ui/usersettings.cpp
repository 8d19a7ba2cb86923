#include "ui/usersettings.h"

namespace {

const QString SettingsOrganization = QStringLiteral("nodeconfig");
const QString SettingsApplication = QStringLiteral("nodeconfig");
const QString SeriesLogKey = QStringLiteral("series/log");
const QString SeriesKindKey = QStringLiteral("series/kind");

} // namespace

QSettings userSettings()
{
    return QSettings(QSettings::defaultFormat(), QSettings::UserScope, SettingsOrganization,
                     SettingsApplication);
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
