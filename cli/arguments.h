#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The command line split into a command, its operands and its options.
// Options may come anywhere after the program name, as "--name value" or
// "--name=value".
struct CliArguments {
    QString command;
    QStringList operands;
    QMap<QString, QString> options; // by name with its dashes: "--wait" -> "5"

    bool has(const QString &option) const { return options.contains(option); }
    QString value(const QString &option) const { return options.value(option); }
};

struct ParsedArguments {
    CliArguments arguments;
    QString failure; // in French; empty when the line parsed
};

// The options every command may be given, and whether each takes a value.
namespace Option {
extern const QString Device;
extern const QString Wait;
extern const QString Json;
extern const QString Size;
extern const QString From;
extern const QString Count;
extern const QString Log;
extern const QString Poll;
extern const QString Check;
extern const QString Seconds;
extern const QString ReuseNumber;
extern const QString SharePort;
extern const QString Universe;
extern const QString OnConflict;
extern const QString Help;
} // namespace Option

// Parses the arguments after the program name.
ParsedArguments parseArguments(const QStringList &arguments);
