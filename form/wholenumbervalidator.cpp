#include "wholenumbervalidator.h"

WholeNumberValidator::WholeNumberValidator(QObject* parent) : QIntValidator(parent)
{
    QLocale plain = QLocale::c();
    plain.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    setLocale(plain);
}

QValidator::State WholeNumberValidator::validate(QString& input, int& pos) const
{
    const State state = QIntValidator::validate(input, pos);
    if (state != Intermediate)
        return state;
    // Appending digits only makes a number that is already above the top larger still.
    bool ok = false;
    const qlonglong value = locale().toLongLong(input, &ok);
    if (ok && value > top())
        return Invalid;
    return state;
}
