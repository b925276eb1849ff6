#pragma once

#include "settingsissue.h"

#include <QDateTime>
#include <QString>

class Secret;

// What the rules need of an issuing certificate, read from its PKCS#12 file in one go. Nothing
// is kept between readings: a file or password changed since is seen at the next reading.
struct IssuingCertificate
{
    int pathLength = 0;
    // The validity as the engine prints it ("Jan 15 08:30:00 2009 GMT"), for messages.
    QString printedStart;
    QString printedEnd;
    // The same in UTC; invalid when the printed text has another form.
    QDateTime start;
    QDateTime end;
    QString organization; // the subject's O, which derived certificates inherit
    QString organizationalUnit;
    QString commonName;
    bool ca = false; // an authority; a leaf issues nothing
    // The certificate, its key and the chain above it, for issuing without reading the file again.
    IssuerObjects objects;
};

struct IssuerReading
{
    enum Outcome
    {
        Missing,    // no file at the path
        Unreadable, // not a PKCS#12 file of this kind, or the password is wrong
        Read
    };
    // What an unreadable file is, for a sentence that names the cause.
    enum class Cause
    {
        Unknown,           // a container that still cannot be read (damaged, or without its key)
        WrongPassword,     // a PKCS#12 container whose MAC the password does not open
        PemCertificate,    // a PEM certificate, which holds no key
        TooManyIterations, // a container that asks for more key derivation than any tool writes
        NotPkcs12          // anything else
    };
    Outcome outcome = Missing;
    Cause cause = Cause::Unknown;   // for Unreadable
    IssuingCertificate certificate; // filled when read
};

// Reads the issuing PKCS#12 file at `path` with `password` (borrowed).
IssuerReading ReadIssuingCertificate(const QString& path, const Secret& password);

// What the rules need of an issuer held in memory (a key in a token, its certificate from the
// token or a file): the fields read from `objects.certificate`, which must be set; `objects` is
// taken over whole.
IssuingCertificate DescribeIssuer(IssuerObjects objects);

// An issuer's printed validity time ("Jan 15 08:30:00 2009 GMT", or "May  5 ..." with the
// day padded by a blank) as a UTC date-time; invalid when the text has another form. The zone
// suffix (the last four characters) is not inspected.
QDateTime parseIssuerTime(const QString& printed);
