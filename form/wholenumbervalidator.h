#pragma once

#include <QIntValidator>

// A QIntValidator for fields whose text the program later reads with QString::toInt and
// toLong, so it keeps only text those can read: plain ASCII digits in the C locale, without
// group separators. It also refuses a number above its top while it is being typed, which
// QIntValidator lets through as intermediate input as long as it has no more digits than the
// top (2147483648 could stand in a field whose top is 2147483647).
class WholeNumberValidator : public QIntValidator
{
    Q_OBJECT

public:
    // `parent` owns the validator (usually the line edit it checks).
    explicit WholeNumberValidator(QObject* parent);

    State validate(QString& input, int& pos) const override;
};
