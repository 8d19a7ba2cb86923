#pragma once

#include <QDoubleValidator>

// The clock fields' validator: a QDoubleValidator that accepts, refuses and
// keeps texts as Qt 5.15 does, under every Qt version.
//
// Qt 6 refuses, while typing, a number with more whole digits than the top
// (128 for a top of 12.75), where Qt 5 lets it through as unfinished input
// for the send's check to report. And from Qt 6.3 on, fixup() rewrites an
// unfinished text when the field is left, dropping what the locale takes for
// a group separator: a decoded "0,8" would become "8" under the C locale.
class FrequencyValidator : public QDoubleValidator
{
    Q_OBJECT

public:
    FrequencyValidator(double bottom, double top, int decimals, QObject *parent);

    State validate(QString &input, int &pos) const override;
    // Leaves the text as it is, as Qt 5's QDoubleValidator does.
    void fixup(QString &input) const override;
};
