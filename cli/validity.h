#pragma once

// The validity period of every creating command: one rule for roots, authorities below them and
// leaves, for one certificate and for a whole chain.

#include "chainrules.h"
#include "command.h"

#include <QDateTime>

#include <optional>

class Console;
struct IssuingCertificate;

// --start, --end and --days as given; none of them is a default yet.
struct PeriodRequest
{
    std::optional<QDateTime> start;
    std::optional<QDateTime> end;
    std::optional<qint64> days; // instead of --end
};

Refusal readPeriod(const Invocation& invocation, PeriodRequest& request);

// Without an issuer: the start defaults to now, the end to the default number of days after the
// start (never after the last second 32-bit clocks hold); an end given after that second is
// refused. Refusals are the command line's fault (exit status 2).
Refusal periodWithoutIssuer(const PeriodRequest& request, const QDateTime& now,
                            CertificateRules::ChainPeriod& period);

// Below an issuer: as above, but the start defaults to no earlier than the issuer's, the end to no
// later than the issuer's; times given must lie inside the issuer's; an issuer that has ended issues
// nothing.
// The two warnings of the field's checkers, on standard error, for a certificate just made: an
// end past the last second 32-bit clocks hold, a validity longer than ten years.
void warnAboutValidity(Console& console, const QString& commonName,
                       const CertificateRules::ChainPeriod& period);

Refusal periodUnderIssuer(const PeriodRequest& request, const IssuingCertificate& issuer,
                          const QString& issuerPath, const QDateTime& now,
                          CertificateRules::ChainPeriod& period);
