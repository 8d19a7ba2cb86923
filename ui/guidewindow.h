#pragma once

#include <QTextBlock>
#include <QWidget>

namespace Ui {
class GuideWindowUi;
}
class QTreeWidgetItem;

// The user guide, in French, in a window of its own: the guide shipped in
// the program's resources, its contents beside it, and a search that finds
// a word whatever its accents and capitals. Offline: nothing but the
// program's own resources is read.
class GuideWindow : public QWidget
{
    Q_OBJECT

public:
    // The parts of the guide that belong to a window of the program.
    enum class Section { Form, Series, Network };

    explicit GuideWindow(QWidget *parent);
    ~GuideWindow() override;

    // Shows the window, in front, at the section's heading.
    void showSection(Section section);
    // The heading of the section, as the guide words it; empty if the
    // guide has no such heading.
    QString sectionTitle(Section section) const;
    // The heading of the part of the guide at the top of the view.
    QString headingShown() const;

    // Where the guide is read from, in the program's resources.
    static const QString Source;

private:
    void load();
    // Screenshots wider than the view are shown narrower, whole.
    void fitPictures();
    void fillContents();
    // The heading whose anchor (as a link to it names it) is `anchor`.
    QTextBlock headingBlock(const QString &anchor) const;
    void scrollTo(const QTextBlock &block);
    void followLink(const QUrl &link);
    void showChosenHeading(QTreeWidgetItem *item);
    void find(bool backward);

    Ui::GuideWindowUi *ui;
};
