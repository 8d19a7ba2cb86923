#include "cli/manpage.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

const QChar NewLine = QLatin1Char('\n');
const QString ManualName = QStringLiteral("Commandes de l'utilisateur");
const QString SeeAlsoSeparator = QStringLiteral(",\n");

// Text as roff takes it: a backslash printed as such, and no line that
// roff would take for a request.
QString escaped(const QString &text)
{
    QString roff = text;
    roff.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    QStringList lines = roff.split(NewLine);
    for (QString &line : lines) {
        if (line.startsWith(QLatin1Char('.')) || line.startsWith(QLatin1Char('\'')))
            line.prepend(QStringLiteral("\\&"));
    }
    return lines.join(NewLine);
}

// What is typed: its dashes are minus signs, so that it can be copied.
QString typed(const QString &text)
{
    return escaped(text).replace(QLatin1Char('-'), QStringLiteral("\\-"));
}

// A description for man to fill; each "\n" starts a new line there too.
// French punctuation set off by a space keeps it unbreakable.
QString filled(const QString &description)
{
    static const QRegularExpression spacedMark(QStringLiteral(" ([:;!?»])"));
    return escaped(description)
        .replace(spacedMark, QStringLiteral("\\~\\1"))
        .replace(NewLine, QStringLiteral("\n.br\n"));
}

QString entry(const QString &term, const QString &description)
{
    return QStringLiteral(".TP\n.B %1\n%2\n").arg(term, filled(description));
}

QString commandSection(const ProgramReference &reference)
{
    QString text = QStringLiteral(".SH COMMANDES\n");
    for (const CommandEntry &command : reference.commands)
        text += entry(typed(command.synopsis), command.description);
    return text;
}

QString optionSection(const ProgramReference &reference)
{
    QString text = QStringLiteral(".SH OPTIONS\n");
    for (const OptionEntry &option : reference.options)
        text += entry(typed(option.term()), option.description);
    return text;
}

QString exitSection(const ProgramReference &reference)
{
    QString text = QStringLiteral(".SH \"CODES DE SORTIE\"\n");
    for (const ExitEntry &exit : reference.exitStatuses)
        text += entry(QString::number(exit.status), exit.description);
    return text;
}

QString seeAlsoSection(const ProgramReference &reference)
{
    QStringList others;
    for (const ProgramReference *other : programReferences()) {
        if (other->name != reference.name)
            others << QStringLiteral(".BR %1 (1)").arg(typed(other->name));
    }
    return QStringLiteral(".SH \"VOIR AUSSI\"\n") + others.join(SeeAlsoSeparator) + NewLine;
}

} // namespace

QString manPage(const ProgramReference &reference, const QString &version, const QString &date)
{
    QString page = QStringLiteral(".TH %1 1 \"%2\" \"nodeconfig %3\" \"%4\"\n")
                       .arg(typed(reference.name.toUpper()), escaped(date), version, ManualName);
    page += QStringLiteral(".SH NOM\n%1 \\- %2\n").arg(typed(reference.name), escaped(reference.summary));
    page += QStringLiteral(".SH SYNOPSIS\n.B %1\n%2\n").arg(typed(reference.name), typed(reference.usage));
    page += QStringLiteral(".SH DESCRIPTION\n%1\n").arg(filled(reference.description));
    if (!reference.commands.empty())
        page += commandSection(reference);
    if (!reference.options.empty())
        page += optionSection(reference);
    if (!reference.note.isEmpty())
        page += QStringLiteral(".PP\n%1\n").arg(filled(reference.note));
    if (!reference.exitStatuses.empty())
        page += exitSection(reference);
    return page + seeAlsoSection(reference);
}
