#include "ui/filechooser.h"

#include <QFileDialog>

namespace {

FileChooser &installedChooser()
{
    static FileChooser chooser;
    return chooser;
}

QString fileDialog(QWidget *parent, const FileQuestion &question)
{
    // A file appended to is not replaced: the dialog does not ask to.
    const QFileDialog::Options options =
        question.appends ? QFileDialog::DontConfirmOverwrite : QFileDialog::Options();
    return question.purpose == FileQuestion::Purpose::Save
        ? QFileDialog::getSaveFileName(parent, question.caption, question.proposedPath,
                                       question.filter, nullptr, options)
        : QFileDialog::getOpenFileName(parent, question.caption, question.proposedPath,
                                       question.filter);
}

} // namespace

QString chooseFile(QWidget *parent, const FileQuestion &question)
{
    const FileChooser &chooser = installedChooser();
    return chooser ? chooser(parent, question) : fileDialog(parent, question);
}

void setFileChooser(FileChooser chooser)
{
    installedChooser() = std::move(chooser);
}
