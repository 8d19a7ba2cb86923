#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Where the search for the form's font ended: so many point-size steps below
// the form's font, at this stretch, and which text (the child, then its
// text) did not fit in the candidate before. Kept between starts with a
// fingerprint of everything the search depended on.
struct RememberedFit
{
    QByteArray fingerprint;
    int sizeSteps;
    int stretch;
    int misfitItem;
    int misfitText;
};

// The fit kept in a file; nullopt if there is none or it cannot be read.
std::optional<RememberedFit> readRememberedFit(const QString &file);

// Replaces the fit kept in a file, making its folder. A file that cannot be
// written is left as it is: the next start searches again.
void writeRememberedFit(const QString &file, const RememberedFit &fit);
