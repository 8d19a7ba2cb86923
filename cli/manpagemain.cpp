// Writes the manual page of every program into a folder, at build time:
// nodeconfig-manpages FOLDER [DATE] gives FOLDER/nodeconfig.1,
// nodeconfig-cli.1... dated DATE (the release's, YYYY-MM-DD).

#include "app/version.h"
#include "cli/manpage.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2 || arguments.size() > 3) {
        std::fprintf(stderr, "usage: nodeconfig-manpages FOLDER [DATE]\n");
        return EXIT_FAILURE;
    }
    const QString date = arguments.value(2);
    const QDir folder(arguments[1]);
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "nodeconfig-manpages: cannot make %s\n", qPrintable(arguments[1]));
        return EXIT_FAILURE;
    }
    for (const ProgramReference *reference : programReferences()) {
        QSaveFile page(folder.filePath(reference->name + QStringLiteral(".1")));
        if (!page.open(QIODevice::WriteOnly) ||
            page.write(manPage(*reference, programVersion(), date).toUtf8()) < 0 || !page.commit()) {
            std::fprintf(stderr, "nodeconfig-manpages: cannot write %s\n", qPrintable(page.fileName()));
            return EXIT_FAILURE;
        }
    }
    return EXIT_SUCCESS;
}
