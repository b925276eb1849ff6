#include "serials.h"

#include "chainrules.h"
#include "console.h"
#include "notes.h"
#include "refusals.h"
#include "serialnumbertrace.h"
#include "values.h"

#include <QFileInfo>

#include <set>

namespace Rules = CertificateRules;

namespace
{

QString tracePath()
{
    return QFileInfo(serialNumberTracePath()).absoluteFilePath();
}

} // namespace

Refusal readSerial(const Invocation& invocation, int count, SerialChoice& choice)
{
    choice = {};
    if (!invocation.isSet(Option::Serial))
        return std::nullopt;
    const QString value = invocation.value(Option::Serial);
    if (value == QLatin1String("random"))
        return std::nullopt;
    if (value == QLatin1String("trace"))
    {
        choice.source = SerialChoice::Trace;
        return std::nullopt;
    }
    const auto serial = parseWholeNumber(value);
    if (!serial || !Rules::wideSerialAllowed(*serial))
        return Refuse::serialOutOfRange(Rules::kSmallestSerial, Rules::kLargestWideSerial);
    if (!Rules::wideSerialRunAllowed(*serial, count))
        return Refuse::serialRunOutOfRange(*serial, count, Rules::kSmallestSerial, Rules::kLargestWideSerial);
    choice = {SerialChoice::Given, *serial};
    return std::nullopt;
}

namespace
{

Refusal reserveSerials(Console& console, SerialChoice& choice, int count)
{
    const QString trace = tracePath();
    if (choice.source == SerialChoice::Random)
    {
        console.errLine(Note::serialsDrawn());
        return std::nullopt;
    }
    if (choice.source == SerialChoice::Given)
    {
        // Numbers past the window's range stay out of the trace: recorded there, they would leave
        // the window no number to take.
        if (!Rules::serialRunAllowed(choice.first, count))
            return std::nullopt;
        // The numbers were chosen: a trace that cannot take them fails nothing, but is said.
        if (!RecordGivenSerialNumbers(choice.first, count).reserved())
            console.errLine(Note::serialNotRecorded(choice.first + count - 1, trace));
        return std::nullopt;
    }
    const SerialReservation reservation = ReserveSerialNumbers(count);
    using Finding = SerialReservation::Finding;
    switch (reservation.finding)
    {
    case Finding::Reserved:
        choice.first = reservation.first;
        console.errLine(Note::serialsFromTrace(trace, choice.first, count));
        return std::nullopt;
    case Finding::Unreadable:
        return Refuse::traceUnreadable(trace);
    case Finding::NotANumber:
        return Refuse::traceNotANumber(trace);
    case Finding::Unwritable:
        return Refuse::traceUnwritable(trace);
    case Finding::OutOfRange:
        break;
    }
    return Refuse::traceRunOutOfRange(trace, reservation.last + 1, count, Rules::kSmallestSerial,
                                      Rules::kLargestSerial);
}

Refusal serialsFor(const SerialChoice& choice, int count, std::vector<qint64>& serials)
{
    serials.clear();
    std::set<qint64> used;
    for (int i = 0; i < count; ++i)
    {
        qint64 serial = choice.first + i;
        while (choice.source == SerialChoice::Random)
        {
            const auto drawn = Rules::drawRandomWideSerial();
            if (!drawn)
                return Refuse::noRandomSerial();
            serial = *drawn;
            if (used.count(serial) == 0)
                break;
        }
        used.insert(serial);
        serials.push_back(serial);
    }
    return std::nullopt;
}

} // namespace

Refusal takeSerials(Console& console, SerialChoice& choice, int count, std::vector<qint64>& serials)
{
    if (auto error = reserveSerials(console, choice, count))
        return error;
    return serialsFor(choice, count, serials);
}
