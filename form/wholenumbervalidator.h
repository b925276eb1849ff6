#pragma once

#include <QIntValidator>

// A QIntValidator that refuses a number above its top while it is being typed. QIntValidator
// itself lets such a number through as intermediate input as long as it has no more digits
// than the top (so 2147483648 could stand in a field whose top is 2147483647); here only text
// that can still become a number inside the range is kept.
class WholeNumberValidator : public QIntValidator
{
    Q_OBJECT

public:
    using QIntValidator::QIntValidator;

    State validate(QString& input, int& pos) const override;
};
