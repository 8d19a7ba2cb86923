#pragma once

#include "cli/programreference.h"

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

// Parses the arguments after the program name, taking the options
// nodeconfig-cli's reference lists.
ParsedArguments parseArguments(const QStringList &arguments);
