#pragma once

#include <QString>

#include <functional>

class QWidget;

// What the window asks of the user when it opens or saves a file.
struct FileQuestion {
    enum class Purpose { Open, Save };
    Purpose purpose = Purpose::Open;
    QString caption;
    QString proposedPath; // the folder to start in, with a proposed name to save
    QString filter;
    bool appends = false; // to save: an existing file is added to, not replaced
};

// Answers with the chosen path, or an empty string when the user cancels.
using FileChooser = std::function<QString(QWidget *parent, const FileQuestion &question)>;

// The platform's file dialog, unless a test answers in its place (an empty
// chooser puts the dialog back).
QString chooseFile(QWidget *parent, const FileQuestion &question);
void setFileChooser(FileChooser chooser);
