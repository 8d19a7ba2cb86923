#include "cli/arguments.h"

namespace Option {
const QString Device = QStringLiteral("--device");
const QString Wait = QStringLiteral("--wait");
const QString Json = QStringLiteral("--json");
const QString Size = QStringLiteral("--size");
const QString From = QStringLiteral("--from");
const QString Count = QStringLiteral("--count");
const QString Log = QStringLiteral("--log");
const QString Poll = QStringLiteral("--poll");
const QString Check = QStringLiteral("--check");
const QString Seconds = QStringLiteral("--seconds");
const QString ReuseNumber = QStringLiteral("--reuse-number");
const QString SharePort = QStringLiteral("--share-port");
const QString Universe = QStringLiteral("--universe");
const QString OnConflict = QStringLiteral("--on-conflict");
const QString Help = QStringLiteral("--help");
} // namespace Option

namespace {

const QString ShortHelp = QStringLiteral("-h");
const QString OptionPrefix = QStringLiteral("-");
const QChar Equals = QLatin1Char('=');

struct OptionSpec {
    const QString &name;
    bool takesValue;
};

const OptionSpec optionSpecs[] = {
    {Option::Device, true}, {Option::Wait, true},  {Option::Json, false},
    {Option::Size, true},   {Option::From, true},  {Option::Count, true},
    {Option::Log, true},    {Option::ReuseNumber, false}, {Option::Poll, true},
    {Option::Check, true},  {Option::Seconds, true},  {Option::Help, false},
    {Option::SharePort, false}, {Option::Universe, true}, {Option::OnConflict, true},
};

const OptionSpec *findOption(const QString &name)
{
    for (const OptionSpec &spec : optionSpecs) {
        if (spec.name == name)
            return &spec;
    }
    return nullptr;
}

// Takes the option at arguments[index], and its value; returns a failure
// or an empty string, and moves index past what it took.
QString takeOption(const QStringList &arguments, int &index, CliArguments &parsed)
{
    const QString argument = arguments[index] == ShortHelp ? Option::Help : arguments[index];
    const int equals = argument.indexOf(Equals);
    const QString name = equals < 0 ? argument : argument.left(equals);
    const OptionSpec *const spec = findOption(name);
    if (spec == nullptr)
        return QStringLiteral("option inconnue « %1 » (voir nodeconfig-cli --help)").arg(name);
    if (!spec->takesValue) {
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
