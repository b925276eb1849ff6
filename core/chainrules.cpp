#include "chainrules.h"

#include <openssl/rand.h>

#include <QLatin1String>

#include <algorithm>

namespace CertificateRules
{

bool isPrintableStringCharacter(QChar character)
{
    const ushort code = character.unicode();
    if ((code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z') || (code >= '0' && code <= '9'))
        return true;
    return QLatin1String(" '()+,-./:=?").contains(character);
}

PrintableFinding checkPrintable(const QString& text)
{
    for (int i = 0; i < text.size(); ++i)
    {
        const QChar c = text.at(i);
        if (isPrintableStringCharacter(c))
            continue;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            return {i, QChar::surrogateToUcs4(c, text.at(i + 1))};
        return {i, c.unicode()};
    }
    return {};
}

QDateTime latestChainEnd()
{
    return QDateTime::fromSecsSinceEpoch(0x7fffffff, Qt::UTC);
}

ChainPeriod chainPeriod(const QDateTime& start, const QDateTime& end, const QDateTime& now)
{
    ChainPeriod period;
    period.start = start.isValid() ? start : QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch(), Qt::UTC);
    period.end = end.isValid() ? end : std::min(period.start.addDays(kChainDefaultDays), latestChainEnd());
    return period;
}

ChainPeriodFinding checkChainPeriod(const ChainPeriod& period, const QDateTime& now)
{
    if (period.end > latestChainEnd())
        return ChainPeriodFinding::EndAfterLatest;
    switch (checkPeriod(period.start, period.end, now))
    {
    case PeriodFinding::EndNotAfterStart:
        return ChainPeriodFinding::EndNotAfterStart;
    case PeriodFinding::EndPassed:
        return ChainPeriodFinding::EndPassed;
    case PeriodFinding::Valid:
        break;
    }
    return ChainPeriodFinding::Valid;
}

bool serialRunAllowed(qint64 first, int count)
{
    return count >= 1 && serialNumberAllowed(first) && serialNumberAllowed(first + count - 1);
}

std::optional<qint64> serialFromRandomBits(quint32 bits)
{
    const qint64 serial = bits & 0x7fffffffu;
    if (!serialNumberAllowed(serial))
        return std::nullopt;
    return serial;
}

std::optional<qint64> drawRandomSerial()
{
    // Two refusals in a row come once in 2^62 draws; a generator that keeps giving them is broken.
    for (int attempt = 0; attempt < 64; ++attempt)
    {
        unsigned char bytes[4] = {};
        if (RAND_bytes(bytes, sizeof bytes) != 1)
            return std::nullopt;
        const quint32 bits =
            quint32(bytes[0]) << 24 | quint32(bytes[1]) << 16 | quint32(bytes[2]) << 8 | bytes[3];
        if (const auto serial = serialFromRandomBits(bits))
            return serial;
    }
    return std::nullopt;
}

bool wideSerialRunAllowed(qint64 first, int count)
{
    return count >= 1 && wideSerialAllowed(first) && first - 1 <= kLargestWideSerial - count;
}

std::optional<qint64> wideSerialFromRandomBits(quint64 bits)
{
    const qint64 serial = qint64(bits & quint64(kLargestWideSerial));
    if (!wideSerialAllowed(serial))
        return std::nullopt;
    return serial;
}

std::optional<qint64> drawRandomWideSerial()
{
    for (int attempt = 0; attempt < 64; ++attempt)
    {
        unsigned char bytes[8] = {};
        if (RAND_bytes(bytes, sizeof bytes) != 1)
            return std::nullopt;
        quint64 bits = 0;
        for (unsigned char byte : bytes)
            bits = bits << 8 | byte;
        if (const auto serial = wideSerialFromRandomBits(bits))
            return serial;
    }
    return std::nullopt;
}

RenewalFinding checkRenewable(const RenewalSubject& subject)
{
    if (!subject.rsa2048)
        return RenewalFinding::NotRsa2048;
    if (!subject.basicConstraints)
        return RenewalFinding::NoBasicConstraints;
    if (!subject.keyUsage)
        return RenewalFinding::NoKeyUsage;
    if (!subject.dnQualifierOfKey)
        return RenewalFinding::DnQualifierNotOfKey;
    if (!subject.names)
        return RenewalFinding::NamesMissing;
    return RenewalFinding::Renewable;
}

ValidityWarnings validityWarnings(const QDateTime& start, const QDateTime& end)
{
    ValidityWarnings warnings;
    warnings.past2038 = end > latestChainEnd();
    const qint64 seconds = start.secsTo(end);
    warnings.days = seconds / 86400;
    warnings.overTenYears = seconds > kLongestQuietDays * 86400;
    return warnings;
}

} // namespace CertificateRules
