#include "cli/helptext.h"

#include <QStringList>

namespace {

const QChar NewLine = QLatin1Char('\n');
const QChar Space = QLatin1Char(' ');
// Where a term starts, where its continued lines start, and where the
// descriptions start.
constexpr int TermIndent = 2;
constexpr int TermContinuationIndent = 9;
constexpr int DescriptionColumn = 27;
// The gap a term keeps before its description on the same line.
constexpr int TermGap = 2;
constexpr int ExitDescriptionColumn = 5;

QString indent(int columns)
{
    return QString(columns, Space);
}

// The words of a line of text; French punctuation set off by a space
// (" :", " ;") stays with the word before it, as a line never starts with it.
QStringList wordsOf(const QString &paragraph)
{
    static const QString TrailingMarks = QStringLiteral(":;!?»");
    QStringList words;
    for (const QString &word : paragraph.split(Space)) {
        if (word.isEmpty())
            continue;
        if (!words.isEmpty() && word.size() == 1 && TrailingMarks.contains(word))
            words.last() += Space + word;
        else
            words << word;
    }
    return words;
}

// The text's words in lines of at most `firstWidth` characters for the
// first line, `width` for the others; each "\n" starts a new line.
QStringList wrapped(const QString &text, int firstWidth, int width)
{
    QStringList lines;
    for (const QString &paragraph : text.split(NewLine)) {
        QString line;
        for (const QString &word : wordsOf(paragraph)) {
            const int limit = lines.isEmpty() ? firstWidth : width;
            if (!line.isEmpty() && line.size() + 1 + word.size() > limit) {
                lines << line;
                line.clear();
            }
            line += line.isEmpty() ? word : Space + word;
        }
        lines << line;
    }
    return lines;
}

// Lines indented by `columns`, each of them.
QString indented(const QStringList &lines, int columns)
{
    return indent(columns) + lines.join(NewLine + indent(columns));
}

// A term and its description in the column beside it, or below it when the
// term's last line is too wide for the column.
QString termLines(const QString &term, const QString &description)
{
    QStringList lines = wrapped(term, HelpColumns - TermIndent, HelpColumns - TermContinuationIndent);
    lines.first().prepend(indent(TermIndent));
    for (int line = 1; line < lines.size(); ++line)
        lines[line].prepend(indent(TermContinuationIndent));
    QStringList descriptionLines = wrapped(description, HelpColumns - DescriptionColumn,
                                           HelpColumns - DescriptionColumn);
    if (lines.last().size() + TermGap <= DescriptionColumn)
        lines.last() = lines.last().leftJustified(DescriptionColumn) + descriptionLines.takeFirst();
    if (!descriptionLines.isEmpty())
        lines << indented(descriptionLines, DescriptionColumn);
    return lines.join(NewLine) + NewLine;
}

QString commandSection(const ProgramReference &reference)
{
    QString text = QStringLiteral("Commandes :\n");
    for (const CommandEntry &command : reference.commands)
        text += termLines(command.synopsis, command.description);
    return text;
}

QString optionSection(const ProgramReference &reference)
{
    QString text = QStringLiteral("Options :\n");
    for (const OptionEntry &option : reference.options)
        text += termLines(option.term(), option.description);
    return text;
}

QString exitSection(const ProgramReference &reference)
{
    QString text = QStringLiteral("Codes de sortie :\n");
    const int width = HelpColumns - ExitDescriptionColumn;
    for (const ExitEntry &exit : reference.exitStatuses) {
        const QString status = indent(TermIndent) + QString::number(exit.status);
        const QStringList lines = wrapped(exit.description, width, width);
        text += status.leftJustified(ExitDescriptionColumn) +
                lines.join(NewLine + indent(ExitDescriptionColumn)) + NewLine;
    }
    return text;
}

QString paragraph(const QString &text)
{
    return wrapped(text, HelpColumns, HelpColumns).join(NewLine) + NewLine;
}

} // namespace

QString helpText(const ProgramReference &reference)
{
    QStringList sections;
    sections << QStringLiteral("Usage : %1 %2\n").arg(reference.name, reference.usage)
             << paragraph(reference.description);
    if (!reference.commands.empty())
        sections << commandSection(reference);
    if (!reference.options.empty())
        sections << optionSection(reference);
    if (!reference.note.isEmpty())
        sections << paragraph(reference.note);
    if (!reference.exitStatuses.empty())
        sections << exitSection(reference);
    return sections.join(NewLine);
}
