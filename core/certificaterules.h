#pragma once

#include "certificatetype.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QtGlobal>

// What a certificate may ask for, for the window and the command line alike. Each rule answers
// with a finding; the front ends turn findings into their own messages and corrections.
namespace CertificateRules
{

// --- path length ------------------------------------------------------------------------------

// An authority must leave room for at least one certificate below it; one that signs nothing
// is a leaf.
constexpr qint64 kLeastAuthorityPathLength = 1;

constexpr bool authorityPathLengthAllowed(qint64 pathLength)
{
    return pathLength >= kLeastAuthorityPathLength;
}

// An issuer whose path length is 0 (or below) signs nothing, not even a leaf.
constexpr bool issuerSignsNothing(qint64 issuerPathLength)
{
    return !authorityPathLengthAllowed(issuerPathLength);
}

// The largest path length a certificate below the issuer may have.
constexpr qint64 largestPathLengthUnder(qint64 issuerPathLength)
{
    return issuerPathLength - 1;
}

enum class PathLengthFit
{
    Fits,              // strictly below the issuer's
    TooLong,           // the issuer allows less; largestPathLengthUnder() would fit
    IssuerSignsNothing // the issuer's own path length is 0 or below
};

// A derived certificate's path length (a leaf's counts as 0) against its issuer's.
PathLengthFit pathLengthUnderIssuer(qint64 requested, qint64 issuerPathLength);

// --- validity -----------------------------------------------------------------------------------

// Which end of a requested period lies outside the issuer's; both may.
struct ValidityFit
{
    bool startTooEarly = false;
    bool endTooLate = false;
    bool fits() const { return !startTooEarly && !endTooLate; }
};

// Compared in UTC at whole seconds: a certificate holds no milliseconds, the date-time fields
// of the window do. A start or end equal to the issuer's fits.
ValidityFit validityInsideIssuer(const QDateTime& start, const QDateTime& end, const QDateTime& issuerStart,
                                 const QDateTime& issuerEnd);

enum class PeriodFinding
{
    Valid,
    EndNotAfterStart,
    EndPassed // the end is not in the future
};

// The period of any certificate: start strictly before end, end strictly after `now`; at full
// precision.
PeriodFinding checkPeriod(const QDateTime& start, const QDateTime& end, const QDateTime& now);

// --- serial number ------------------------------------------------------------------------------

// RFC 5280 wants a positive serial, and the engine keeps only the low 32 bits as a signed
// number: the largest serial written faithfully is the largest qint32.
constexpr qint64 kSmallestSerial = 1;
constexpr qint64 kLargestSerial = 2147483647;

constexpr bool serialNumberAllowed(qint64 serial)
{
    return serial >= kSmallestSerial && serial <= kLargestSerial;
}

// --- names --------------------------------------------------------------------------------------

// The texts the user types, limited as the window's fields limit them: in QString length, the
// unit QLineEdit::maxLength counts.
enum class NameField
{
    RootName,     // the O of a root
    Organization, // the OU
    Entity        // the CN before its roles are put in front
};

int maxLength(NameField field);
bool fitsField(NameField field, const QString& text);

// A name as the engine stores it: 8-bit Latin-1 text, which every reader shows as typed;
// characters outside Latin-1 become "?".
QByteArray engineText(const QString& name);

// The engine takes a subject entry (O, OU, and the CN with its roles) of at most 64
// characters of its 8-bit text.
constexpr int kLongestNameEntry = 64;
bool fitsNameEntry(const QString& entry);

// The entity text as a certificate's CN: a leading "." when it has none, and for a leaf the
// role "CS" in front of that.
QString EntityNameWithRoles(const QString& entity, bool leaf);

// Every certificate carries an O, an OU and a CN. A root takes its O from the root name, a
// derived certificate from its issuer; the OU and the entity are always the user's.
struct SubjectTexts
{
    QString rootName;
    QString organization;
    QString entity;
};

// The names `type` needs that are left empty, in the order the window shows them. A value
// that names no type needs none.
QList<NameField> missingNames(CertificateType type, const SubjectTexts& texts);

// Whether the entity text still fits the CN once its roles are put in front, and how long
// it may be: the room the CN leaves after the roles added to this text (".", "CS." or, for
// a text that brings its own dot, "" or "CS").
struct EntityFit
{
    bool fits = true;
    int room = kLongestNameEntry;
};

EntityFit entityFitsCommonName(const QString& entity, bool leaf);

} // namespace CertificateRules
