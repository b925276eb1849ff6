#pragma once

#include "certificaterules.h"
#include "roles.h"

#include <QChar>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <optional>

// The rules a chain made in one go adds to the certificate rules: the name texts the
// digital-cinema checkers accept, the path lengths and the one validity period of a whole
// chain, and serial numbers drawn at random. Each answers with a finding; the command line
// turns findings into its sentences.
namespace CertificateRules
{

// --- name characters ----------------------------------------------------------------------------

// The characters a PrintableString may hold: ASCII letters and digits, space and ' ( ) + , - . / : = ?
// A name text with any other character is encoded as T61String, which the checkers reject.
bool isPrintableStringCharacter(QChar character);

// The first character of `text` a PrintableString cannot hold; none when every one fits.
struct PrintableFinding
{
    int position = -1;    // in UTF-16 code units; -1: every character fits
    char32_t character{}; // the whole code point, also beyond the first plane
    bool fits() const { return position < 0; }
};
PrintableFinding checkPrintable(const QString& text);

// --- a chain's path lengths -----------------------------------------------------------------------

constexpr int kMostChainIntermediates = 8;

constexpr bool chainIntermediatesAllowed(qint64 intermediates)
{
    return intermediates >= 0 && intermediates <= kMostChainIntermediates;
}

// The path length of the authority at `level` (0 the root, 1 the intermediate it issues, and so
// on down to `intermediates`) in a chain with that many intermediates: the last intermediate
// signs only the leaf and gets the least an authority may have, each authority above it one
// more, so every path length lies below its issuer's.
constexpr qint64 chainPathLength(int level, int intermediates)
{
    return kLeastAuthorityPathLength + (intermediates - level);
}

// --- a chain's validity ---------------------------------------------------------------------------

// Without an end given a certificate of the command line is valid for 3,649 days: the checkers
// warn from ten years on.
constexpr qint64 kChainDefaultDays = 3649;

// The most days a validity may be asked for: far beyond the last end the rules accept, and far
// below what a date can hold.
constexpr qint64 kMostValidityDays = 100000;

// The last second a signed 32-bit count of seconds since 1970 holds, 2038-01-19 03:14:07 UTC:
// the checkers warn about any certificate ending later, so no chain does.
QDateTime latestChainEnd();

// One period for every certificate of a chain: each then lies inside its issuer's (equal bounds
// fit), as the window's rules ask.
struct ChainPeriod
{
    QDateTime start;
    QDateTime end;
};

// An invalid `start` means now (to the whole second); an invalid `end` means the default: 3,649
// days after the start, but not after latestChainEnd().
ChainPeriod chainPeriod(const QDateTime& start, const QDateTime& end, const QDateTime& now);

enum class ChainPeriodFinding
{
    Valid,
    EndNotAfterStart,
    EndPassed,     // the end is not in the future
    EndAfterLatest // the end lies after latestChainEnd()
};
ChainPeriodFinding checkChainPeriod(const ChainPeriod& period, const QDateTime& now);

// --- serial numbers -------------------------------------------------------------------------------

// Consecutive serials first .. first + count - 1 all allowed (count at least 1).
bool serialRunAllowed(qint64 first, int count);

// A serial from 32 random bits, uniform over kSmallestSerial .. kLargestSerial: the top bit is
// dropped and the one value below the range is refused (draw again), so every allowed serial
// comes from exactly two of the 2^32 inputs.
std::optional<qint64> serialFromRandomBits(quint32 bits);

// A serial drawn from OpenSSL's generator, which the caller seeds from the board before; none
// when the generator gives no bytes.
std::optional<qint64> drawRandomSerial();

} // namespace CertificateRules
