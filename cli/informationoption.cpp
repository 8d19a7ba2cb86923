#include "cli/informationoption.h"

#include "app/platform.h"
#include "app/version.h"
#include "cli/helptext.h"

#include <cstdio>
#include <cstdlib>

namespace {

// False when standard output took less than all of it (a closed pipe).
bool printed(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return writeConsoleText(stdout, bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

std::optional<int> answerInformationOption(int argc, char **argv, const ProgramReference &reference)
{
    for (int index = 1; index < argc; ++index) {
        const QString argument = QString::fromLocal8Bit(argv[index]);
        QString text;
        if (argument == Option::Help || argument == Option::ShortHelp)
            text = helpText(reference);
        else if (argument == Option::Version)
            text = versionText() + QLatin1Char('\n');
        else
            continue;
        attachParentConsole();
        return printed(text) ? EXIT_SUCCESS : EXIT_FAILURE;
    }
    return std::nullopt;
}

bool hasOption(int argc, char **argv, const QString &option)
{
    for (int index = 1; index < argc; ++index) {
        if (QString::fromLocal8Bit(argv[index]) == option)
            return true;
    }
    return false;
}
