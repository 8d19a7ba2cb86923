#pragma once

#include <QString>

#include <vector>

// What each program takes and answers, with its French descriptions: the
// commands, options and exit statuses of nodeconfig-cli, and the options of
// the window programs. The one source of their --help, of nodeconfig-cli's
// parser and of the manual pages, so that none can leave out what another
// holds. Qt Core only.
//
// Descriptions are plain sentences: --help wraps them at HelpColumns in
// their column, and a manual page lets man fill them. A "\n" starts a new
// line in both (a list of fields, an example).

// nodeconfig-cli's options, by name with their dashes.
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
extern const QString ShortHelp;
extern const QString Version;
extern const QString Guide;
} // namespace Option

// The widest line --help prints.
constexpr int HelpColumns = 80;

struct CommandEntry {
    // What is typed, e.g. "curtain N [--size T]".
    QString synopsis;
    QString description;
    // The command's name, the synopsis' first word.
    QString name() const;
};

struct OptionEntry {
    QString name;
    QString shortName; // "-h", or empty
    QString valueName; // "SECONDES"; empty for an option that takes none
    QString description;
    bool takesValue() const { return !valueName.isEmpty(); }
    // As the help and the manual page show it: "-h, --help", "--wait SECONDES".
    QString term() const;
};

struct ExitEntry {
    int status;
    QString description;
};

struct ProgramReference {
    QString name;        // "nodeconfig-cli"
    QString usage;       // after the name: "COMMANDE [OPTIONS]"
    QString summary;     // one line, the manual page's NAME
    QString description; // the paragraphs after the usage
    std::vector<CommandEntry> commands;
    std::vector<OptionEntry> options;
    QString note; // after the options
    std::vector<ExitEntry> exitStatuses;
    // The option named so, by its long or short name; nullptr if none is.
    const OptionEntry *findOption(const QString &option) const;
};

const ProgramReference &cliReference();
// nodeconfig, the window.
const ProgramReference &windowReference();
// nodeconfig-demo, the window over a simulated node.
const ProgramReference &demoReference();
// nodeconfig-virtual-node, whose --help (in English) lists its options.
const ProgramReference &virtualNodeReference();
// Every program, each with a manual page.
std::vector<const ProgramReference *> programReferences();
