#pragma once

#include <QIntValidator>

// The byte fields' validator. QIntValidator lets a number above its top
// through as intermediate while it has no more digits than the top (256 for
// a top of 255); a byte field refuses the keystroke that makes it so.
class ByteValidator : public QIntValidator
{
    Q_OBJECT

public:
    using QIntValidator::QIntValidator;

    State validate(QString &input, int &pos) const override;
};
