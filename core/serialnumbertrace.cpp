#include "serialnumbertrace.h"

#include "chainrules.h"
#include "diagnosticsink.h"
#include "lockedfile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace
{

// Far more than the digits of any number and a line end; a longer file is no trace.
constexpr std::size_t kLongestTrace = 64;
// Each round means another process made the trace at the same moment: a few are plenty.
constexpr int kMostRounds = 16;

// The engine's file calls take UTF-8 on Windows and the file system's own bytes elsewhere.
std::string tracePathForCalls()
{
#ifdef Q_OS_WIN
    return serialNumberTracePath().toUtf8().toStdString();
#else
    return QFile::encodeName(serialNumberTracePath()).toStdString();
#endif
}

QByteArray digitsOf(qint64 serial)
{
    return QByteArray::number(static_cast<qulonglong>(serial));
}

// Digits only, with at most one line end after them (an editor's), fitting a signed 64-bit number.
std::optional<qint64> strictNumber(QByteArray content)
{
    if (content.endsWith('\n'))
        content.chop(content.endsWith("\r\n") ? 2 : 1);
    if (content.isEmpty() || content.size() > 19)
        return std::nullopt;
    for (const char c : content)
        if (c < '0' || c > '9')
            return std::nullopt;
    bool ok = false;
    const qint64 value = content.toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

using Finding = SerialReservation::Finding;

// The number the trace holds and the number it is to hold; no new number leaves it as it is.
using Plan = std::function<std::optional<qint64>(qint64 last, SerialReservation& reservation)>;

// Opens the trace under its lock and carries out `plan` on it.
SerialReservation reserve(const Plan& plan)
{
    SerialReservation reservation;
    for (int round = 0; round < kMostRounds; ++round)
    {
        LockedFile trace;
        const LockedFile::Outcome outcome = trace.open(tracePathForCalls(), kLongestTrace);
        std::optional<qint64> last = 0;
        switch (outcome)
        {
        case LockedFile::Outcome::Missing:
            break;
        case LockedFile::Outcome::Locked:
        case LockedFile::Outcome::ReadOnly:
            last = trace.tooLong() ? std::nullopt : strictNumber(QByteArray::fromStdString(trace.content()));
            if (!last)
            {
                reservation.finding = Finding::NotANumber;
                return reservation;
            }
            break;
        default:
            reservation.finding = Finding::Unreadable;
            return reservation;
        }
        reservation.last = *last;
        reservation.traceExisted = outcome != LockedFile::Outcome::Missing;
        reservation.previous = QByteArray::fromStdString(trace.content());
        const std::optional<qint64> next = plan(*last, reservation);
        if (reservation.finding == Finding::OutOfRange)
            return reservation;
        if (!next)
        {
            reservation.finding = Finding::Reserved;
            return reservation;
        }
        if (outcome == LockedFile::Outcome::ReadOnly)
        {
            reservation.finding = Finding::Unwritable;
            return reservation;
        }
        const QByteArray digits = digitsOf(*next);
        if (outcome == LockedFile::Outcome::Locked)
        {
            reservation.finding =
                trace.replace(digits.toStdString()) ? Finding::Reserved : Finding::Unwritable;
        }
        else
        {
            const LockedFile::Creation creation = trace.create(digits.toStdString());
            if (creation == LockedFile::Creation::Taken)
                continue;
            reservation.finding =
                creation == LockedFile::Creation::Created ? Finding::Reserved : Finding::Unwritable;
        }
        if (reservation.reserved())
            reservation.recorded = digits;
        return reservation;
    }
    return reservation;
}

} // namespace

QString serialNumberTracePath()
{
#ifdef Q_OS_WIN
    return QStringLiteral(".\\serialNumberTrace");
#else
    // A backslash inside a POSIX file name would be part of the name, not a separator.
    return QStringLiteral("serialNumberTrace");
#endif
}

bool ReadSerialNumberTrace(qint64& serial)
{
    const QString path = serialNumberTracePath();
    PrintDiagnostic((QFileInfo(path).absoluteFilePath().toLocal8Bit() + '\n').constData());

    LockedFile trace;
    const LockedFile::Outcome outcome = trace.open(tracePathForCalls(), 4096);
    if (outcome != LockedFile::Outcome::Locked && outcome != LockedFile::Outcome::ReadOnly)
        return false;
    const QByteArray content = QByteArray::fromStdString(trace.content());
    const qsizetype end = content.indexOf('\n');
    serial = static_cast<qint64>(content.left(end < 0 ? content.size() : end + 1).toULongLong(nullptr, 10));
    return true;
}

bool WriteSerialNumberTrace(qint64 serial)
{
    const std::string digits = digitsOf(serial).toStdString();
    for (int round = 0; round < kMostRounds; ++round)
    {
        LockedFile trace;
        switch (trace.open(tracePathForCalls(), kLongestTrace))
        {
        case LockedFile::Outcome::Locked:
            return trace.replace(digits);
        case LockedFile::Outcome::Missing:
            switch (trace.create(digits))
            {
            case LockedFile::Creation::Created:
                return true;
            case LockedFile::Creation::Taken:
                continue;
            default:
                return false;
            }
        default:
            return false;
        }
    }
    return false;
}

SerialReservation ReserveSerialNumbers(qint64 count, qint64 atLeast)
{
    return reserve(
        [count, atLeast](qint64 last, SerialReservation& reservation) -> std::optional<qint64>
        {
            reservation.count = count;
            reservation.first = std::max(last + 1, atLeast);
            if (last >= CertificateRules::kLargestSerial ||
                !CertificateRules::serialRunAllowed(reservation.first, int(count)))
            {
                reservation.finding = Finding::OutOfRange;
                return std::nullopt;
            }
            return reservation.first + count - 1;
        });
}

SerialReservation RecordGivenSerialNumbers(qint64 first, qint64 count)
{
    return reserve(
        [first, count](qint64 last, SerialReservation& reservation) -> std::optional<qint64>
        {
            reservation.count = count;
            reservation.first = first;
            const qint64 end = first + count - 1;
            if (end <= last && reservation.traceExisted)
                return std::nullopt;
            return std::max(end, last);
        });
}

bool ReleaseSerialNumbers(const SerialReservation& reservation)
{
    if (!reservation.reserved() || reservation.recorded.isEmpty())
        return true;
    LockedFile trace;
    if (trace.open(tracePathForCalls(), kLongestTrace) != LockedFile::Outcome::Locked)
        return false;
    if (QByteArray::fromStdString(trace.content()) != reservation.recorded)
        return true; // another run went on from these numbers: they stay used
    return reservation.traceExisted ? trace.replace(reservation.previous.toStdString()) : trace.remove();
}
