#pragma once

#include <QSettings>
#include <QString>

// The user's settings, in the default format: the system's own (the
// registry on Windows) unless the process chose another, as the tests do.
QSettings userSettings();
// Where they are kept: a file, or on Windows a key of the registry.
QString userSettingsLocation();

// The last folder a configuration was opened from or saved to, at first
// the user's documents.
QString configurationFolder();
// The folder of a configuration file just opened or saved.
void rememberConfigurationFolder(const QString &path);
