#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Issuing certificates for the form's checks, written as the files a user names in the form.
namespace FormTestSupport
{

// A self-signed authority issued by the certificate engine, written as a PKCS#12 file protected
// by `password`. False when any step fails.
bool writeEngineIssuer(const QString& path, const QByteArray& password, int pathLength, const QDateTime& start,
                       const QDateTime& end);

// An authority (path length 3) built with OpenSSL alone whose notBefore and notAfter hold the
// given texts as they are: 13 characters are stored as a UTCTime, others as a GeneralizedTime,
// so malformed times can be written. Packed like the tool's containers (RC2-40 certificates,
// 3DES key, SHA-1 MAC).
bool writeRawTimeIssuer(const QString& path, const QByteArray& password, const QByteArray& notBefore,
                        const QByteArray& notAfter);

} // namespace FormTestSupport
