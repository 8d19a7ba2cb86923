// The window's "Aide" menu: the user guide in a window of its own, at the
// part for the window the user is in, and "À propos de nodeconfig".

#include "ui/aboutdialog.h"
#include "ui/guidewindow.h"
#include "ui/mainwindow.h"
#include "ui/networkwindow.h"
#include "ui/serieswindow.h"

#include <QApplication>

void MainWindow::showGuide()
{
    const QWidget *const active = QApplication::activeWindow();
    if (!guideWindow)
        guideWindow = new GuideWindow(this);
    else if (active == guideWindow)
        return;
    GuideWindow::Section section = GuideWindow::Section::Form;
    if (active && active == seriesWindow)
        section = GuideWindow::Section::Series;
    else if (active && active == networkWindow)
        section = GuideWindow::Section::Network;
    guideWindow->showSection(section);
}

void MainWindow::showAbout()
{
    auto *const about = new AboutDialog(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
}
