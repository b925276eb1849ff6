#pragma once

#include "osslptr.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

// Files of certificates made in a test: the encodings talvane-chain reads.
namespace ChainFixtures
{
QByteArray pemOf(X509* certificate);
QByteArray derOf(X509* certificate);
bool writeFile(const QString& path, const QByteArray& content);
// The whole file; empty when it cannot be read.
QByteArray readFile(const QString& path);

// ISO 8601 in UTC, as the options take it.
QString iso(const QDateTime& time);
// The first subject entry of that kind, "<absent>" when there is none.
QString subjectEntry(X509* certificate, int nid);
// The basicConstraints path length, -1 when there is none.
long pathLengthOf(X509* certificate);
// A certificate time in UTC; invalid when it cannot be read.
QDateTime timeOf(const ASN1_TIME* time);

// A container the way the window writes one: RC2-40 for the certificates, 3DES for the key,
// a SHA-1 MAC, every bag named "friendlyname"; `chain` (borrowed, root first) after the
// certificate. Needs the legacy provider (ChainCheck::initOpenSsl()).
QByteArray classicPkcs12(EVP_PKEY* key, X509* certificate, const std::vector<X509*>& chain,
                         const char* password);
// verify's report without its line naming the root taken as trusted, for tests about the rest.
QByteArray withoutTrustedRoot(const QByteArray& report);
} // namespace ChainFixtures
