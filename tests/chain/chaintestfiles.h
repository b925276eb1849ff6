#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <openssl/x509.h>

// Small readers and writers the talvane-chain tests share.

// The whole file; empty when it cannot be read.
QByteArray readAll(const QString& path);
bool writeFile(const QString& path, const QByteArray& content);

// ISO 8601 in UTC, as the options take it.
QString iso(const QDateTime& time);

// The first subject entry of that kind, "<absent>" when there is none.
QString subjectEntry(X509* certificate, int nid);
// The basicConstraints path length, -1 when there is none.
long pathLengthOf(X509* certificate);
// A certificate time in UTC; invalid when it cannot be read.
QDateTime timeOf(const ASN1_TIME* time);
