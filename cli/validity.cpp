#include "validity.h"

#include "console.h"
#include "issuingcertificate.h"
#include "notes.h"
#include "refusals.h"
#include "values.h"

#include <algorithm>

namespace Rules = CertificateRules;

namespace
{

Refusal readTimeOption(const Invocation& invocation, Option option, std::optional<QDateTime>& time)
{
    if (!invocation.isSet(option))
        return std::nullopt;
    time = parseTime(invocation.value(option));
    if (!time)
        return Refuse::notATime(invocation.value(option), OptionText(option));
    return std::nullopt;
}

// The end that --days gives, or the one given, or none.
std::optional<QDateTime> requestedEnd(const PeriodRequest& request, const QDateTime& start)
{
    if (request.days)
        return start.addDays(*request.days);
    return request.end;
}

Refusal judge(const Rules::ChainPeriod& period, const QDateTime& now, int status)
{
    switch (Rules::checkChainPeriod(period, now))
    {
    case Rules::ChainPeriodFinding::Valid:
        return std::nullopt;
    case Rules::ChainPeriodFinding::EndAfterLatest:
        return Refuse::endAfterLatest(printed(period.end), printed(Rules::latestChainEnd()), status);
    case Rules::ChainPeriodFinding::EndNotAfterStart:
        return Refuse::endNotAfterStart(printed(period.start), printed(period.end), status);
    case Rules::ChainPeriodFinding::EndPassed:
        break;
    }
    return Refuse::endPassed(printed(period.start), printed(period.end), status);
}

} // namespace

Refusal readPeriod(const Invocation& invocation, PeriodRequest& request)
{
    request = {};
    if (auto error = readTimeOption(invocation, Option::Start, request.start))
        return error;
    if (auto error = readTimeOption(invocation, Option::End, request.end))
        return error;
    if (!invocation.isSet(Option::Days))
        return std::nullopt;
    if (request.end)
        return Refuse::optionsExclude(OptionText(Option::Days), OptionText(Option::End));
    request.days = parseDays(invocation.value(Option::Days), 1);
    if (!request.days || *request.days > Rules::kMostValidityDays)
        return Refuse::notDays(invocation.value(Option::Days), OptionText(Option::Days), 1);
    return std::nullopt;
}

Refusal periodWithoutIssuer(const PeriodRequest& request, const QDateTime& now, Rules::ChainPeriod& period)
{
    const QDateTime start = request.start.value_or(QDateTime());
    period = Rules::chainPeriod(start, QDateTime(), now);
    period = Rules::chainPeriod(period.start, requestedEnd(request, period.start).value_or(QDateTime()), now);
    return judge(period, now, ExitUsage);
}

void warnAboutValidity(Console& console, const QString& commonName, const Rules::ChainPeriod& period)
{
    const Rules::ValidityWarnings warnings = Rules::validityWarnings(period.start, period.end);
    if (warnings.past2038)
        console.errLine(Note::endsPast2038(commonName, printed(period.end)));
    if (warnings.overTenYears)
        console.errLine(Note::longerThanTenYears(commonName, warnings.days));
}

Refusal periodUnderIssuer(const PeriodRequest& request, const IssuingCertificate& issuer,
                          const QString& issuerPath, const QDateTime& now, Rules::ChainPeriod& period)
{
    if (!issuer.start.isValid() || !issuer.end.isValid())
        return Refuse::issuerValidityUnreadable(issuer.printedStart, issuer.printedEnd);
    if (issuer.end <= now)
        return Refuse::issuerExpired(issuerPath, printed(issuer.end));
    period.start = request.start.value_or(
        std::max(Rules::chainPeriod(QDateTime(), QDateTime(), now).start, issuer.start));
    const std::optional<QDateTime> end = requestedEnd(request, period.start);
    period.end = end ? *end : std::min(Rules::chainPeriod(period.start, QDateTime(), now).end, issuer.end);

    const Rules::ValidityFit fit =
        Rules::validityInsideIssuer(period.start, period.end, issuer.start, issuer.end);
    if (fit.startTooEarly)
        return Refuse::startBeforeIssuer(printed(period.start), printed(issuer.start));
    if (fit.endTooLate)
        return Refuse::endAfterIssuer(printed(period.end), printed(issuer.end));
    return judge(period, now, ExitFailure);
}
