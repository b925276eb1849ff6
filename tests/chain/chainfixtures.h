#pragma once

#include "osslptr.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Files of certificates made in a test: the encodings talvane-chain reads.
namespace ChainFixtures
{
QByteArray pemOf(X509* certificate);
QByteArray derOf(X509* certificate);
bool writeFile(const QString& path, const QByteArray& content);
QByteArray readFile(const QString& path);

// A container the way the window writes one: RC2-40 for the certificates, 3DES for the key,
// a SHA-1 MAC, every bag named "friendlyname"; `chain` (borrowed, root first) after the
// certificate. Needs the legacy provider (ChainCheck::initOpenSsl()).
QByteArray classicPkcs12(EVP_PKEY* key, X509* certificate, const std::vector<X509*>& chain,
                         const char* password);
} // namespace ChainFixtures
