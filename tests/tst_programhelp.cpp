// What each program says about itself: --help and the manual page list the
// same commands, options and exit statuses as its reference, each read back
// from the text a user sees; the programs themselves answer --help and
// --version from it, without a window or a node.

#include "app/version.h"
#include "cli/cliapp.h"
#include "cli/helptext.h"
#include "cli/manpage.h"
#include "cli/programreference.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QString HelpIndent = QStringLiteral("  ");
constexpr int ProcessTimeoutMs = 60000;

enum class Section { Commands, Options, ExitStatuses };

const ProgramReference *referenceNamed(const QString &name)
{
    for (const ProgramReference *reference : programReferences()) {
        if (reference->name == name)
            return reference;
    }
    return nullptr;
}

// What a reference lists in a section, as the first word a user reads.
QStringList listed(const ProgramReference &reference, Section section)
{
    QStringList terms;
    switch (section) {
    case Section::Commands:
        for (const CommandEntry &command : reference.commands)
            terms << command.synopsis.section(QLatin1Char(' '), 0, 0);
        break;
    case Section::Options:
        for (const OptionEntry &option : reference.options)
            terms << option.term().section(QLatin1Char(' '), 0, 0);
        break;
    case Section::ExitStatuses:
        for (const ExitEntry &exit : reference.exitStatuses)
            terms << QString::number(exit.status);
        break;
    }
    return terms;
}

// The first word of each entry --help prints under a heading: the lines
// indented by two spaces exactly, up to the next blank line.
QStringList helpTerms(const QString &help, const QString &heading)
{
    QStringList terms;
    const QStringList lines = help.split(QLatin1Char('\n'));
    int line = lines.indexOf(heading);
    if (line < 0)
        return terms;
    while (++line < lines.size() && !lines[line].isEmpty()) {
        const QString &text = lines[line];
        if (text.startsWith(HelpIndent) && !text.at(HelpIndent.size()).isSpace())
            terms << text.mid(HelpIndent.size()).section(QLatin1Char(' '), 0, 0);
    }
    return terms;
}

// The first word of each tagged paragraph of a manual page's section, as
// man shows it (roff's minus signs as dashes).
QStringList manTerms(const QString &page, const QString &sectionName)
{
    QStringList terms;
    const int start = page.indexOf(QStringLiteral(".SH ") + sectionName + QLatin1Char('\n'));
    if (start < 0)
        return terms;
    const int end = page.indexOf(QStringLiteral("\n.SH "), start + 1);
    const QString section = page.mid(start, end < 0 ? -1 : end - start);
    static const QRegularExpression tagged(QStringLiteral("\\.TP\\n\\.B ([^ \\n]+)"));
    QRegularExpressionMatchIterator match = tagged.globalMatch(section);
    while (match.hasNext())
        terms << match.next().captured(1).replace(QStringLiteral("\\-"), QStringLiteral("-"));
    return terms;
}

struct Run {
    int status = -1;
    QString output;
    QString errors;
};

// A program of the build, by its path from the test's own folder.
Run runProgram(const QString &pathFromTests, const QStringList &arguments)
{
    QProcess process;
    process.start(QDir(QCoreApplication::applicationDirPath()).filePath(pathFromTests), arguments);
    Run run;
    if (!process.waitForFinished(ProcessTimeoutMs))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

Q_DECLARE_METATYPE(Section)

class TestProgramHelp : public QObject
{
    Q_OBJECT

private slots:
    void helpAndManualListTheReference_data();
    void helpAndManualListTheReference();
    void helpFitsItsColumns_data();
    void helpFitsItsColumns();
    void cliRunsTheCommandsItLists();
    void programsAnswer_data();
    void programsAnswer();
};

void TestProgramHelp::helpAndManualListTheReference_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<Section>("section");
    QTest::addColumn<QString>("helpHeading");
    QTest::addColumn<QString>("manSection");

    const struct {
        Section section;
        const char *helpHeading;
        const char *manSection;
    } sections[] = {
        {Section::Commands, "Commandes :", "COMMANDES"},
        {Section::Options, "Options :", "OPTIONS"},
        {Section::ExitStatuses, "Codes de sortie :", "\"CODES DE SORTIE\""},
    };
    for (const ProgramReference *reference : programReferences()) {
        for (const auto &section : sections)
            QTest::addRow("%s %s", qPrintable(reference->name), section.manSection)
                << reference->name << section.section << QString::fromUtf8(section.helpHeading)
                << QString::fromLatin1(section.manSection);
    }
}

void TestProgramHelp::helpAndManualListTheReference()
{
    QFETCH(QString, program);
    QFETCH(Section, section);
    QFETCH(QString, helpHeading);
    QFETCH(QString, manSection);

    const ProgramReference &reference = *referenceNamed(program);
    const QStringList expected = listed(reference, section);
    QCOMPARE(helpTerms(helpText(reference), helpHeading), expected);
    QCOMPARE(manTerms(manPage(reference, programVersion()), manSection), expected);
}

void TestProgramHelp::helpFitsItsColumns_data()
{
    QTest::addColumn<QString>("program");
    for (const ProgramReference *reference : programReferences())
        QTest::newRow(qPrintable(reference->name)) << reference->name;
}

void TestProgramHelp::helpFitsItsColumns()
{
    QFETCH(QString, program);

    const QString help = helpText(*referenceNamed(program));
    for (const QString &line : help.split(QLatin1Char('\n'))) {
        QVERIFY2(line.size() <= HelpColumns, qPrintable(line));
        QVERIFY2(!line.endsWith(QLatin1Char(' ')), qPrintable(line));
        QVERIFY2(!line.trimmed().startsWith(QLatin1Char(';')) &&
                     !line.trimmed().startsWith(QLatin1Char(':')),
                 qPrintable(line));
    }
}

void TestProgramHelp::cliRunsTheCommandsItLists()
{
    QStringList listedNames = listed(cliReference(), Section::Commands);
    listedNames.removeDuplicates();
    QCOMPARE(listedNames, CliApp::commandNames());
}

// The programs themselves, as a user starts them: --help and --version
// answer at once, exit 0, and say the version CMake's project() gives.
void TestProgramHelp::programsAnswer_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("option");

    const struct {
        const char *executable;
        const char *program;
    } programs[] = {
        {NODECONFIG_CLI_PATH, "nodeconfig-cli"},
        {NODECONFIG_WINDOW_PATH, "nodeconfig"},
        {NODECONFIG_DEMO_PATH, "nodeconfig-demo"},
    };
    for (const auto &program : programs) {
        for (const char *option : {"--version", "--help", "-h"})
            QTest::addRow("%s %s", program.program, option)
                << QString::fromUtf8(program.executable) << QString::fromLatin1(program.program)
                << QString::fromLatin1(option);
    }
}

void TestProgramHelp::programsAnswer()
{
    QFETCH(QString, executable);
    QFETCH(QString, program);
    QFETCH(QString, option);

    const Run run = runProgram(executable, {option});
    QVERIFY2(run.status == EXIT_SUCCESS, qPrintable(run.errors));
    QString output = run.output;
    output.remove(QLatin1Char('\r'));
    if (option == Option::Version) {
        QCOMPARE(output, QStringLiteral("nodeconfig %1\nQt %2\n")
                             .arg(QStringLiteral(EXPECTED_VERSION), QString::fromLatin1(qVersion())));
    } else {
        // The text ends where the help's does: the console tool's output
        // adds its line end.
        QCOMPARE(output.trimmed(), helpText(*referenceNamed(program)).trimmed());
    }
}

QTEST_GUILESS_MAIN(TestProgramHelp)
#include "tst_programhelp.moc"
