#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Certificates made by the `openssl` command line, the way a user of this field makes them
// without this tool: `openssl req -x509` for a root, `openssl x509 -req` for what it issues,
// each from a configuration file written into the given folder. The dnQualifier is computed
// with `openssl rsa -RSAPublicKey_out`, so nothing of the verifier decides what is right.
class OpensslChain
{
public:
    explicit OpensslChain(const QString& folder);

    // A fresh RSA-2048 key in <folder>/<name>.key; false when openssl fails.
    bool makeKey(const QString& name);

    struct Spec
    {
        QString name;                         // the certificate's file name without .pem
        QString key;                          // the name given to makeKey
        QString issuer;                       // the issuer's name (its .pem and its key); empty: self-signed
        QString issuerKey;                    // empty: the issuer's own key name, as `issuer`
        QString commonName;                   // ".Root", "CS.Signer" ...
        QString serial = QStringLiteral("1"); // decimal or 0x-hex, as openssl takes it
        int pathLength = -1;                  // -1: a leaf
        int days = 3650;
        QString digest = QStringLiteral("sha256");
    };
    // Writes <folder>/<spec.name>.pem; false (with the reason in lastError()) when openssl fails.
    bool make(const Spec& spec);

    QString pemPath(const QString& name) const;
    QString lastError() const { return mLastError; }

private:
    bool run(const QStringList& arguments, QByteArray* output = nullptr);
    QString dnQualifier(const QString& key);

    QString mFolder;
    QString mLastError;
};
