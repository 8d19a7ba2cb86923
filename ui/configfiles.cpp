// The window's configuration files: "Enregistrer" writes the form as the
// file of nodeconfig-cli save, "Ouvrir" and a dropped file read one into the
// form. Nothing here talks to the node: an opened configuration is written
// only by "Envoyer", as any edit.

#include "app/messages.h"
#include "app/sharedstate.h"
#include "config/configfile.h"
#include "protocol/encoding.h"
#include "ui/filechooser.h"
#include "ui/mainwindow.h"
#include "ui/usersettings.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace {

const QString FileSuffix = QStringLiteral("json");
const QString FileFilter = QStringLiteral("Configurations du node (*.json);;Tous les fichiers (*)");
const QString UnnamedFile = QStringLiteral("node");

// A saved configuration always ends in .json, which Ouvrir's filter shows:
// a name typed without it gets it, even when dots make another suffix of
// its end ("node-10.0.0.2").
QString withFileSuffix(const QString &path)
{
    const bool hasSuffix = QFileInfo(path).suffix().compare(FileSuffix, Qt::CaseInsensitive) == 0;
    return hasSuffix ? path : path + QLatin1Char('.') + FileSuffix;
}

// The one local .json file a drag carries, or an empty string.
QString draggedConfiguration(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return {};
    const QUrl url = data->urls().front();
    const bool configuration = url.isLocalFile()
        && QFileInfo(url.toLocalFile()).suffix().compare(FileSuffix, Qt::CaseInsensitive) == 0;
    return configuration ? url.toLocalFile() : QString();
}

} // namespace

void MainWindow::reportFileOutcome(const char *status, const QString &details)
{
    statusText = message(status);
    ui->statusBar->showMessage(details);
}

QString MainWindow::proposedFileName() const
{
    const QStringList octets = {ui->ipa1->text(), ui->ipa2->text(), ui->ipa3->text(),
                                ui->ipa4->text()};
    const bool complete = std::none_of(octets.begin(), octets.end(),
                                       [](const QString &octet) { return octet.isEmpty(); });
    const QString name = complete ? UnnamedFile + QLatin1Char('-') + octets.join(QLatin1Char('.'))
                                  : UnnamedFile;
    return name + QLatin1Char('.') + FileSuffix;
}

NodeReport MainWindow::encodingBase() const
{
    NodeReport base = reportBuffer;
    if (!openedFile.isEmpty())
        std::copy(openedReport.begin() + Report::Reserved, openedReport.end(),
                  base.begin() + Report::Reserved);
    return base;
}

NodeReport MainWindow::formReport() const
{
    NodeReport report = encodingBase();
    encodeFields(formTexts(), shownChipCode(), report);
    report[Report::Command] = cmdWriteConfig;
    return report;
}

void MainWindow::saveConfiguration()
{
    // The form is checked and encoded before the dialog: the refresh and
    // the search go on while it is open, and may fill the form with
    // another node's values meanwhile.
    if (!validateInputs())
        return;
    const NodeReport checked = formReport();
    FileQuestion question;
    question.purpose = FileQuestion::Purpose::Save;
    question.caption = QStringLiteral("Enregistrer la configuration");
    question.proposedPath = QDir(configurationFolder()).filePath(proposedFileName());
    question.filter = FileFilter;
    const QString chosen = chooseFile(this, question);
    if (chosen.isEmpty())
        return;
    // Named in messages as the user's system writes paths.
    const QString path = QDir::toNativeSeparators(withFileSuffix(chosen));
    rememberConfigurationFolder(path);
    const QString failure = ConfigFile::write(path, checked);
    if (!failure.isEmpty())
        return reportFileOutcome(Status::SaveFailed, failure);
    reportFileOutcome(Status::ConfigurationSaved,
                      QStringLiteral("Configuration enregistrée dans %1").arg(quoted(path)));
}

void MainWindow::openConfiguration()
{
    FileQuestion question;
    question.caption = QStringLiteral("Ouvrir une configuration");
    question.proposedPath = configurationFolder();
    question.filter = FileFilter;
    const QString path = chooseFile(this, question);
    if (path.isEmpty())
        return;
    rememberConfigurationFolder(path);
    openConfigurationFile(path);
}

void MainWindow::openConfigurationFile(const QString &chosen)
{
    const QString path = QDir::toNativeSeparators(chosen);
    const ConfigFile::Parsed parsed = ConfigFile::read(path);
    if (!parsed.form)
        return reportFileOutcome(Status::FileRefused, parsed.failure);

    openedReport = parsed.form->report();
    openedFile = QFileInfo(path).fileName();
    awaitingReadBack = false;
    FieldTexts texts;
    int chipCode = 0;
    decodeFields(openedReport, texts, chipCode);
    fillForm(texts, chipCode);

    QString details = QStringLiteral("Configuration ouverte : %1").arg(quoted(path));
    const QString shownCapacity = ui->maxUnivers->text();
    if (nodeConnected && shownCapacity != QString::number(parsed.capacity))
        details += QStringLiteral(" (enregistrée d'un node de %1 univers, celui-ci en a %2)")
                       .arg(QString::number(parsed.capacity), shownCapacity);
    reportFileOutcome(Status::ConfigurationOpened, details);
}

void MainWindow::openArgumentFile(const QStringList &arguments)
{
    if (arguments.size() > 1)
        openConfigurationFile(arguments.back());
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!draggedConfiguration(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QString path = draggedConfiguration(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    openConfigurationFile(path);
}
