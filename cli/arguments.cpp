#include "cli/arguments.h"

namespace {

const QString OptionPrefix = QStringLiteral("-");
const QChar Equals = QLatin1Char('=');

// Takes the option at arguments[index], and its value; returns a failure
// or an empty string, and moves index past what it took.
QString takeOption(const QStringList &arguments, int &index, CliArguments &parsed)
{
    const QString &argument = arguments[index];
    const int equals = argument.indexOf(Equals);
    const QString given = equals < 0 ? argument : argument.left(equals);
    const OptionEntry *const option = cliReference().findOption(given);
    if (option == nullptr)
        return QStringLiteral("option inconnue « %1 » (voir nodeconfig-cli --help)").arg(given);
    const QString &name = option->name;
    if (!option->takesValue()) {
        if (equals >= 0)
            return QStringLiteral("l'option %1 ne prend pas de valeur").arg(name);
        parsed.options.insert(name, QString());
        return {};
    }
    if (equals >= 0) {
        parsed.options.insert(name, argument.mid(equals + 1));
        return {};
    }
    if (index + 1 >= arguments.size())
        return QStringLiteral("l'option %1 attend une valeur").arg(name);
    parsed.options.insert(name, arguments[++index]);
    return {};
}

} // namespace

ParsedArguments parseArguments(const QStringList &arguments)
{
    ParsedArguments parsed;
    for (int index = 0; index < arguments.size(); ++index) {
        const QString &argument = arguments[index];
        if (argument.startsWith(OptionPrefix) && argument.size() > 1) {
            parsed.failure = takeOption(arguments, index, parsed.arguments);
            if (!parsed.failure.isEmpty())
                return parsed;
        } else if (parsed.arguments.command.isEmpty()) {
            parsed.arguments.command = argument;
        } else {
            parsed.arguments.operands << argument;
        }
    }
    return parsed;
}
