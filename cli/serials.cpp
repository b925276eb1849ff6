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
    {
        choice.source = SerialChoice::Random;
        return std::nullopt;
    }
    const auto serial = parseWholeNumber(value);
    if (!serial || !Rules::serialNumberAllowed(*serial))
        return Refuse::serialOutOfRange(Rules::kSmallestSerial, Rules::kLargestSerial);
    if (!Rules::serialRunAllowed(*serial, count))
        return Refuse::serialRunOutOfRange(*serial, count, Rules::kSmallestSerial, Rules::kLargestSerial);
    choice = {SerialChoice::Given, *serial};
    return std::nullopt;
}

Refusal takeFromTrace(Console& console, int count, SerialChoice& choice)
{
    if (choice.source != SerialChoice::Trace)
        return std::nullopt;
    qint64 last = 0;
    ReadSerialNumberTrace(last);
    choice.first = last + 1;
    if (!Rules::serialRunAllowed(choice.first, count))
        return Refuse::traceRunOutOfRange(tracePath(), choice.first, count, Rules::kSmallestSerial,
                                          Rules::kLargestSerial);
    console.errLine(Note::serialsFromTrace(tracePath(), choice.first, count));
    return std::nullopt;
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
            const auto drawn = Rules::drawRandomSerial();
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

void recordSerial(Console& console, const SerialChoice& choice, qint64 last)
{
    if (choice.source == SerialChoice::Random || WriteSerialNumberTrace(last))
        return;
    console.errLine(Note::serialNotRecorded(last, tracePath()));
}
