#include "chaintestfiles.h"

#include <QFile>

#include <openssl/x509v3.h>

#include <ctime>

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QString iso(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODate);
}

QString subjectEntry(X509* certificate, int nid)
{
    char text[256] = {};
    return X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), nid, text, sizeof text) < 0
               ? QStringLiteral("<absent>")
               : QString::fromLatin1(text);
}

long pathLengthOf(X509* certificate)
{
    auto* constraints = static_cast<BASIC_CONSTRAINTS*>(
        X509_get_ext_d2i(certificate, NID_basic_constraints, nullptr, nullptr));
    const long length = constraints && constraints->pathlen ? ASN1_INTEGER_get(constraints->pathlen) : -1;
    BASIC_CONSTRAINTS_free(constraints);
    return length;
}

QDateTime timeOf(const ASN1_TIME* time)
{
    struct tm parts = {};
    if (!ASN1_TIME_to_tm(time, &parts))
        return QDateTime();
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
}
