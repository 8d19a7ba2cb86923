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

// The series window's last log and kind ("rideau 4X2", "costume"), kept
// for the next start of the program; an empty log: none chosen.
QString rememberedSeriesLog();
void rememberSeriesLog(const QString &path);
QString rememberedSeriesKind();
void rememberSeriesKind(const QString &kind);
