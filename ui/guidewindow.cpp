#include "ui/guidewindow.h"

#include "app/qtbridge.h"
#include "ui_guidewindow.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextDocument>
#include <QTreeWidgetItem>

#include <algorithm>
#include <vector>

const QString GuideWindow::Source = QStringLiteral(":/guide/guide.md");

namespace {

// The guide's images are beside it in the resources, named as in the
// repository, where the same Markdown shows them.
const QUrl GuideBase(QStringLiteral("qrc:/guide/"));
// The contents list the guide's parts and their sections.
constexpr int PartLevel = 2;
constexpr int SectionLevel = 3;
constexpr int BlockNumberRole = Qt::UserRole;
// The contents' share of the window's width at first.
constexpr int ContentsWidth = 240;
// The widest a screenshot is shown, so that it lies whole in the view at
// the window's first size; a narrower one keeps its own size.
constexpr int WidestPicture = 780;
// A heading counts as shown when its top is this close to the view's.
constexpr int ShownTolerance = 2;

struct SectionAnchor {
    GuideWindow::Section section;
    const char *anchor; // as a link to the heading names it
};
const SectionAnchor SectionAnchors[] = {
    {GuideWindow::Section::Form, "le-formulaire-du-node"},
    {GuideWindow::Section::Series, "la-série-automatique"},
    {GuideWindow::Section::Network, "les-nodes-sur-le-réseau"},
};

// A heading's anchor as links name it: its words in lower case joined by
// hyphens, without punctuation, as the repository's pages make them.
QString anchorOf(const QString &title)
{
    QString anchor;
    for (const QChar c : title.toLower()) {
        if (c == QLatin1Char(' '))
            anchor += QLatin1Char('-');
        else if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))
            anchor += c;
    }
    return anchor;
}

// A pattern that finds the word whatever its capitals and its accents:
// "serie" finds "Série", "reseau" finds "réseau".
QRegularExpression searchPattern(const QString &word)
{
    static const QStringList AccentGroups = {
        QStringLiteral("aàâä"), QStringLiteral("cç"),  QStringLiteral("eéèêë"),
        QStringLiteral("iîï"),  QStringLiteral("oôö"), QStringLiteral("uùûü"),
        QStringLiteral("yÿ"),
    };
    QString pattern;
    for (const QChar c : word.toLower()) {
        const auto group = std::find_if(AccentGroups.begin(), AccentGroups.end(),
                                        [c](const QString &letters) { return letters.contains(c); });
        pattern += group != AccentGroups.end() ? QLatin1Char('[') + *group + QLatin1Char(']')
                                               : QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption |
                                           QRegularExpression::UseUnicodePropertiesOption);
}

} // namespace

GuideWindow::GuideWindow(QWidget *parent) : QWidget(parent, Qt::Window), ui(new Ui::GuideWindowUi)
{
    ui->setupUi(this);
    ui->splitter->setSizes({ContentsWidth, width() - ContentsWidth});
    load();
    fillContents();
    connect(ui->text, &QTextBrowser::anchorClicked, this, &GuideWindow::followLink);
    connect(ui->contents, &QTreeWidget::itemActivated, this, &GuideWindow::showChosenHeading);
    connect(ui->contents, &QTreeWidget::itemClicked, this, &GuideWindow::showChosenHeading);
    connect(ui->search, &QLineEdit::returnPressed, this, [this] { find(false); });
    connect(ui->search, &QLineEdit::textEdited, this, [this] {
        ui->text->moveCursor(QTextCursor::Start);
        find(false);
    });
    connect(ui->bNext, &QPushButton::clicked, this, [this] { find(false); });
    connect(ui->bPrevious, &QPushButton::clicked, this, [this] { find(true); });
}

GuideWindow::~GuideWindow()
{
    delete ui;
}

void GuideWindow::load()
{
    QFile guide(Source);
    if (!guide.open(QIODevice::ReadOnly)) {
        ui->text->setPlainText(QStringLiteral("Le guide d'utilisation manque à ce programme (%1).")
                                   .arg(Source));
        return;
    }
    QTextDocument *const document = ui->text->document();
    document->setBaseUrl(GuideBase);
    setMarkdown(*document, QString::fromUtf8(guide.readAll()));
    fitPictures();
    ui->text->moveCursor(QTextCursor::Start);
}

void GuideWindow::fitPictures()
{
    QTextDocument *const document = ui->text->document();
    struct Picture {
        int position;
        int length;
        QTextImageFormat format;
    };
    std::vector<Picture> pictures;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator part = block.begin(); !part.atEnd(); ++part) {
            const QTextFragment fragment = part.fragment();
            const QTextImageFormat format = fragment.charFormat().toImageFormat();
            if (format.isValid())
                pictures.push_back({fragment.position(), fragment.length(), format});
        }
    }
    for (Picture &picture : pictures) {
        // The pictures are in the resources, beside the guide.
        const QImage image(QLatin1Char(':') + GuideBase.resolved(QUrl(picture.format.name())).path());
        if (image.isNull() || image.width() <= WidestPicture)
            continue;
        picture.format.setWidth(WidestPicture);
        picture.format.setHeight(qreal(image.height()) * WidestPicture / image.width());
        QTextCursor cursor(document);
        cursor.setPosition(picture.position);
        cursor.setPosition(picture.position + picture.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(picture.format);
    }
}

void GuideWindow::fillContents()
{
    QTreeWidgetItem *part = nullptr;
    for (QTextBlock block = ui->text->document()->begin(); block.isValid(); block = block.next()) {
        const int level = headingLevel(block);
        if (level != PartLevel && (level != SectionLevel || !part))
            continue;
        auto *const item = level == PartLevel ? new QTreeWidgetItem(ui->contents)
                                              : new QTreeWidgetItem(part);
        item->setText(0, headingTitle(block));
        item->setData(0, BlockNumberRole, block.blockNumber());
        if (level == PartLevel)
            part = item;
    }
    ui->contents->expandAll();
}

QString GuideWindow::sectionTitle(Section section) const
{
    for (const SectionAnchor &entry : SectionAnchors) {
        if (entry.section == section)
            return headingTitle(headingBlock(QString::fromUtf8(entry.anchor)));
    }
    return {};
}

QTextBlock GuideWindow::headingBlock(const QString &anchor) const
{
    for (QTextBlock block = ui->text->document()->begin(); block.isValid(); block = block.next()) {
        if (headingLevel(block) > 0 && anchorOf(headingTitle(block)) == anchor)
            return block;
    }
    return {};
}

void GuideWindow::showSection(Section section)
{
    show();
    raise();
    activateWindow();
    for (const SectionAnchor &entry : SectionAnchors) {
        if (entry.section == section)
            scrollTo(headingBlock(QString::fromUtf8(entry.anchor)));
    }
}

void GuideWindow::scrollTo(const QTextBlock &block)
{
    if (!block.isValid())
        return;
    QAbstractTextDocumentLayout *const layout = ui->text->document()->documentLayout();
    // The whole guide laid out at the view's width, so that the scroll
    // bar reaches the heading.
    layout->documentSize();
    ui->text->setTextCursor(QTextCursor(block));
    ui->text->verticalScrollBar()->setValue(qRound(layout->blockBoundingRect(block).top()));
}

QString GuideWindow::headingShown() const
{
    const QAbstractTextDocumentLayout *const layout = ui->text->document()->documentLayout();
    const int top = ui->text->verticalScrollBar()->value() + ShownTolerance;
    QString shown;
    for (QTextBlock block = ui->text->document()->begin(); block.isValid(); block = block.next()) {
        if (layout->blockBoundingRect(block).top() > top)
            break;
        if (headingLevel(block) > 0)
            shown = headingTitle(block);
    }
    return shown;
}

void GuideWindow::followLink(const QUrl &link)
{
    if (link.isRelative() && link.path().isEmpty() && link.hasFragment())
        scrollTo(headingBlock(link.fragment(QUrl::FullyDecoded)));
}

void GuideWindow::showChosenHeading(QTreeWidgetItem *item)
{
    scrollTo(ui->text->document()->findBlockByNumber(item->data(0, BlockNumberRole).toInt()));
}

void GuideWindow::find(bool backward)
{
    const QString word = ui->search->text().trimmed();
    ui->searchResult->clear();
    if (word.isEmpty())
        return;
    const QRegularExpression pattern = searchPattern(word);
    const QTextDocument::FindFlags direction =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    const QTextDocument *const document = ui->text->document();
    QTextCursor found = document->find(pattern, ui->text->textCursor(), direction);
    if (found.isNull()) {
        // Round again from the other end.
        QTextCursor end(ui->text->document());
        end.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        found = document->find(pattern, end, direction);
    }
    if (found.isNull()) {
        ui->searchResult->setText(QStringLiteral("« %1 » introuvable").arg(word));
        return;
    }
    ui->text->setTextCursor(found);
    ui->text->ensureCursorVisible();
}
