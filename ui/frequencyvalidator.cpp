#include "ui/frequencyvalidator.h"

#include <limits>

FrequencyValidator::FrequencyValidator(double bottom, double top, int decimals, QObject *parent)
    : QDoubleValidator(bottom, top, decimals, parent)
{
}

QValidator::State FrequencyValidator::validate(QString &input, int &pos) const
{
    // Judged by a validator without a top, the text is refused only for what
    // it is (a stray character, a third decimal, a sign), never for its size;
    // the real top then only tells a finished value from an unfinished one.
    QDoubleValidator unbounded(bottom(), std::numeric_limits<double>::max(), decimals());
    unbounded.setNotation(notation());
    unbounded.setLocale(locale());
    const State state = unbounded.validate(input, pos);
    if (state != Acceptable)
        return state;
    bool ok = false;
    const double value = locale().toDouble(input, &ok);
    return ok && value <= top() ? Acceptable : Intermediate;
}

void FrequencyValidator::fixup(QString & /*input*/) const
{
}
