#pragma once

#include <QHash>
#include <QStringList>

class QWidget;

// Texts that a widget of the form shows later on, besides the one it holds
// now: status lines, values read from the node.
using LaterTexts = QHash<const QWidget *, QStringList>;

// The form's widgets have fixed sizes, drawn for a narrow platform font.
// This keeps the font the form inherits when every text of its children
// (captions, button texts, combo box items and the later texts) fits whole
// where the child shows it, and otherwise sets on the form the largest
// condensed or smaller variant of that font in which they all do. For a
// form made but not laid out or shown yet, whose children have fixed sizes.
void fitFormFont(QWidget *form, const LaterTexts &laterTexts);

// Where fitFormFont keeps the font it found, with what it found it for, so
// that the next start checks that font instead of searching again. Empty,
// as it starts: it searches at every call and keeps nothing.
void rememberFitIn(const QString &file);
