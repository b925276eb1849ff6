#pragma once

// A token object named by a PKCS#11 URI ("pkcs11:token=Lab%20Root;object=root-key"): which token,
// which object, and which module, percent-decoded. Nothing here touches a token.

#include <QByteArray>
#include <QString>

struct Pkcs11Uri
{
    QString token;      // the token's label; empty: not given
    QString serial;     // the token's serial number; empty: not given
    QString object;     // the object's label; empty: not given
    QByteArray id;      // the object's id, as bytes; empty: not given
    QString modulePath; // the module named in the query; empty: not given
};

enum class UriFinding
{
    Valid,
    NotPkcs11,        // another scheme, or none
    BadEncoding,      // a % not followed by two hexadecimal digits, or a name that is not UTF-8
    UnknownAttribute, // an attribute this program cannot match a token or an object by
    AttributeTwice,   // the same attribute given twice
    PinInUri,         // pin-value or pin-source: a PIN never travels in a name
    WrongObjectType,  // type= other than private (a key) or cert
};

// True when `text` is meant as a URI rather than a file name: it begins with the scheme.
bool IsPkcs11Uri(const QString& text);

// Reads `text` into `uri`; `uri` is filled only when the finding is Valid. `attribute` names the
// attribute the finding is about, for messages.
UriFinding ParsePkcs11Uri(const QString& text, Pkcs11Uri& uri, QString* attribute = nullptr);

// The URI of an object in a token, every value percent-encoded where needed.
QString Pkcs11UriText(const QString& token, const QString& object);
