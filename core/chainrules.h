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

// Serials of the command line: RFC 5280 leaves 20 octets, the d-cinema profile 64 bits, and a
// positive signed 64-bit number is what every reader of the profile takes back without loss.
// The window's field keeps its own 32-bit range above.
constexpr qint64 kLargestWideSerial = 0x7fffffffffffffffLL;

constexpr bool wideSerialAllowed(qint64 serial)
{
    return serial >= kSmallestSerial && serial <= kLargestWideSerial;
}

// Consecutive serials first .. first + count - 1 all within 1 .. kLargestWideSerial (count at
// least 1), without the sum overflowing.
bool wideSerialRunAllowed(qint64 first, int count);

// A serial from 64 random bits: the top bit is dropped (63 random bits), and 0 is refused (draw
// again), so every allowed serial comes from exactly two of the 2^64 inputs.
std::optional<qint64> wideSerialFromRandomBits(quint64 bits);

// A wide serial drawn from OpenSSL's generator, which the caller seeds from the board before; none
// when the generator gives no bytes.
std::optional<qint64> drawRandomWideSerial();

// --- renewing ------------------------------------------------------------------------------------

// What renewing needs of a certificate, from any tool: a certificate of the d-cinema profile, so
// that the renewed one, with its subject and extensions kept, is one too.
struct RenewalSubject
{
    bool rsa2048 = false;          // an RSA key of 2048 bits
    bool basicConstraints = false; // present
    bool keyUsage = false;         // present
    bool dnQualifierOfKey = false; // the subject's dnQualifier is the one of its own key
    bool names = false;            // an O, an OU and a CN
};

enum class RenewalFinding
{
    Renewable,
    NotRsa2048,
    NoBasicConstraints,
    NoKeyUsage,
    DnQualifierNotOfKey,
    NamesMissing
};
RenewalFinding checkRenewable(const RenewalSubject& subject);

// --- warnings of the field's checkers -------------------------------------------------------------

// Ten years, as the checkers count them (3,650 days); a longer validity is warned about.
constexpr qint64 kLongestQuietDays = 3650;

struct ValidityWarnings
{
    bool past2038 = false; // ends after latestChainEnd()
    bool overTenYears = false;
    qint64 days = 0; // whole days from start to end
};
ValidityWarnings validityWarnings(const QDateTime& start, const QDateTime& end);

} // namespace CertificateRules
