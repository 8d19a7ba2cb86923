#include "ui/bytevalidator.h"

QValidator::State ByteValidator::validate(QString &input, int &pos) const
{
    const State state = QIntValidator::validate(input, pos);
    if (state != Intermediate)
        return state;
    bool ok = false;
    const qlonglong value = locale().toLongLong(input, &ok);
    return ok && value > top() ? Invalid : state;
}
