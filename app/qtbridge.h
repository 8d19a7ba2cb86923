#pragma once

// The one place where Qt versions differ for this tool: its start-up, and
// the Markdown its guide is written in.

#include <QString>

class QTextBlock;
class QTextDocument;

// Makes the window scale as a whole on a scaled screen, so that its fixed
// geometry stays in logical pixels, and at the very scale the system asks
// for: 1.25, 1.5 or 1.75 as they are, not rounded to a whole number. Qt 6
// always does both; Qt 5 must be asked before the application object is
// made, and from 5.14 on can keep the scale unrounded.
void enableHighDpiScaling();

// Whether this Qt scales a screen by the very factor asked for it in
// QT_SCREEN_SCALE_FACTORS, unrounded, so that the window can be fitted to
// its screen by asking it (Qt 5.14 and later). Older Qt 5 rounds the
// screen's scale to a whole number and multiplies it by the factor asked:
// there the window keeps Qt's own scale.
bool screenScaleCanBeAsked();

// Whether Qt's offscreen platform, which the tests run on, takes its screens
// (size, DPI) from a file: "offscreen:configfile=FILE". Qt 5's has one
// screen of 800 x 800 pixels at 96 DPI.
bool offscreenScreensConfigurable();

// Whether this Qt reads Markdown into a document (5.14 and later, built
// with its Markdown reader); older Qt shows the guide as plain text.
bool readsMarkdown();
// Reads Markdown into the document, or the text as it is where this Qt
// does not read Markdown.
void setMarkdown(QTextDocument &document, const QString &markdown);
// A heading's level (1 for "#", 2 for "##"...) and its words, from the
// document setMarkdown filled; 0 and nothing for any other block.
int headingLevel(const QTextBlock &block);
QString headingTitle(const QTextBlock &block);
