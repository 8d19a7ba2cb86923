#include "app/qtbridge.h"

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>

namespace {

#if QT_VERSION >= QT_VERSION_CHECK(5, 14, 0)
#if QT_CONFIG(textmarkdownreader)
#define NODECONFIG_MARKDOWN 1
#endif
#endif

#ifndef NODECONFIG_MARKDOWN
const QChar HeadingMark = QLatin1Char('#');
constexpr int DeepestHeading = 6;

// In the plain text: the marks of a Markdown heading ("## ").
int headingMarks(const QString &line)
{
    int marks = 0;
    while (marks < line.size() && marks < DeepestHeading && line.at(marks) == HeadingMark)
        ++marks;
    return marks > 0 && marks < line.size() && line.at(marks) == QLatin1Char(' ') ? marks : 0;
}
#endif

} // namespace

void enableHighDpiScaling()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
#if QT_VERSION >= QT_VERSION_CHECK(5, 14, 0) && QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
}

bool screenScaleCanBeAsked()
{
    return QT_VERSION >= QT_VERSION_CHECK(5, 14, 0);
}

bool offscreenScreensConfigurable()
{
    // Every Qt 6 the tool builds with (6.4 and later).
    return QT_VERSION >= QT_VERSION_CHECK(6, 0, 0);
}

bool readsMarkdown()
{
#ifdef NODECONFIG_MARKDOWN
    return true;
#else
    return false;
#endif
}

void setMarkdown(QTextDocument &document, const QString &markdown)
{
#ifdef NODECONFIG_MARKDOWN
    document.setMarkdown(markdown);
#else
    document.setPlainText(markdown);
#endif
}

int headingLevel(const QTextBlock &block)
{
#ifdef NODECONFIG_MARKDOWN
    return block.blockFormat().headingLevel();
#else
    return headingMarks(block.text());
#endif
}

QString headingTitle(const QTextBlock &block)
{
    const int level = headingLevel(block);
    if (level == 0)
        return {};
#ifdef NODECONFIG_MARKDOWN
    return block.text().trimmed();
#else
    return block.text().mid(level).trimmed();
#endif
}
