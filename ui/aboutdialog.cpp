#include "ui/aboutdialog.h"

#include "app/version.h"
#include "ui/usersettings.h"
#include "ui_aboutdialog.h"

#include <QDir>
#include <QStandardPaths>

namespace {

// The program's name and version, read first.
constexpr qreal TitleFontScale = 1.5;

// Its whole text is installed beside the programs (licence.txt, or the
// package's copyright file).
const QString Licence = QStringLiteral("MIT : libre d'utiliser, de copier, de modifier et de "
                                       "distribuer, sans garantie");

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The Qt it runs on, and the one it was built with when they differ.
QString qtVersions()
{
    const QString running = QString::fromLatin1(qVersion());
    const QString built = QStringLiteral(QT_VERSION_STR);
    return running == built ? running
                            : QStringLiteral("%1 (compilé avec Qt %2)").arg(running, built);
}

} // namespace

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent), ui(new Ui::AboutDialogUi)
{
    ui->setupUi(this);
    QFont large = ui->title->font();
    large.setBold(true);
    large.setPointSizeF(large.pointSizeF() * TitleFontScale);
    ui->title->setFont(large);
    ui->title->setText(QStringLiteral("nodeconfig %1").arg(programVersion()));
    ui->qtVersion->setText(qtVersions());
    ui->licence->setText(Licence);
    ui->settingsLocation->setText(nativePath(userSettingsLocation()));
    ui->configurationFolder->setText(
        QStringLiteral("là où vous les enregistrez ; le dernier dossier : %1")
            .arg(nativePath(configurationFolder())));
    ui->seriesLogFolder->setText(
        QStringLiteral("là où vous les choisissez ; proposés dans %1")
            .arg(nativePath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))));
    ui->cacheFolder->setText(
        QStringLiteral("%1 (la police ajustée de la fenêtre ; peut être effacé)")
            .arg(nativePath(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))));
}

AboutDialog::~AboutDialog()
{
    delete ui;
}
