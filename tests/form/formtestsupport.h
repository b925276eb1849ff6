#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class QDateTimeEdit;
class QLineEdit;
class TalvaneWidget;

// Issuing certificates for the form's checks, and the user's hands: typing, choosing and
// pressing through the real widgets.
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

// Replaces the text of `edit` by typing: select all, erase, type.
void typeInto(QLineEdit* edit, const QString& text);
// Types `local` (local time) into a date-time edit field by field.
void typeDateTime(QDateTimeEdit* edit, const QDateTime& local);
// Picks a certificate type with the keyboard on the type list (0 root, 1 intermediate, 2 leaf).
void chooseType(TalvaneWidget* form, int type);
// Clicks "Create".
void pressCreate(TalvaneWidget* form);

// The text the user sees selected in a line edit is all of it.
bool wholeTextSelected(const QLineEdit* edit);

} // namespace FormTestSupport
