// talvane-chain show: what each certificate of PEM, DER and PKCS#12 files says about itself,
// in chain order, as text for a person or as one JSON document for a script.

#include "certificatefacts.h"
#include "certificatesources.h"
#include "chaincommand.h"
#include "chainverifier.h"
#include "commandline.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <utility>
#include <vector>

namespace
{

// An exponent is a JSON number while a double holds it exactly, else its decimal text.
constexpr qint64 kLargestExactInteger = qint64(1) << 53;

QString iso(const QDateTime& time)
{
    return time.isValid() ? time.toString(Qt::ISODate) : QStringLiteral("(unreadable)");
}

QString orNone(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("(none)") : text;
}

QString constraintsText(const CertificateFacts& facts)
{
    if (!facts.hasBasicConstraints)
        return QStringLiteral("(no basicConstraints)");
    if (!facts.ca)
        return QStringLiteral("no");
    return facts.pathLength < 0 ? QStringLiteral("yes, no path length")
                                : QStringLiteral("yes, path length %1").arg(facts.pathLength);
}

QString keyText(const CertificateFacts& facts)
{
    QString text = QStringLiteral("%1, %2 bits").arg(orNone(facts.keyAlgorithm)).arg(facts.keyBits);
    if (!facts.keyExponent.isEmpty())
        text += QStringLiteral(", exponent ") + facts.keyExponent;
    return text;
}

QString matchText(const CertificateFacts& facts)
{
    return facts.dnQualifierMatchesKey()
               ? QStringLiteral("yes")
               : QStringLiteral("no: the key's is %1").arg(orNone(facts.keyDnQualifier));
}

void printText(const std::vector<CertificateFacts>& all)
{
    QString out;
    for (size_t i = 0; i < all.size(); ++i)
    {
        const CertificateFacts& facts = all[i];
        const std::pair<const char*, QString> rows[] = {
            {"O", facts.organization},
            {"OU", facts.organizationalUnit},
            {"CN", facts.commonName},
            {"dnQualifier", orNone(facts.dnQualifier)},
            {"role", facts.roles.isEmpty() ? QStringLiteral("(none)") : facts.roles},
            {"issuer CN", facts.issuerCommonName},
            {"serial", QStringLiteral("%1 (0x%2)").arg(facts.serialDecimal, facts.serialHex)},
            {"valid from", iso(facts.notBefore)},
            {"valid until", iso(facts.notAfter)},
            {"signature", facts.signatureAlgorithm},
            {"public key", keyText(facts)},
            {"CA", constraintsText(facts)},
            {"key usage", facts.hasKeyUsage ? orNone(facts.keyUsage.join(QStringLiteral(", ")))
                                            : QStringLiteral("(no keyUsage)")},
            {"dnQualifier matches", matchText(facts)},
            {"thumbprint", facts.thumbprint},
            {"SHA-256 fingerprint", facts.sha256Fingerprint},
        };
        out += QStringLiteral("%1Certificate %2 of %3\n")
                   .arg(i == 0 ? QString() : QStringLiteral("\n"))
                   .arg(i + 1)
                   .arg(all.size());
        for (const auto& [label, value] : rows)
            out += QStringLiteral("  %1 %2\n").arg(QLatin1String(label) + QLatin1Char(':'), -21).arg(value);
    }
    std::fputs(out.toUtf8().constData(), stdout);
}

QJsonValue exponentValue(const QString& decimal)
{
    bool fits = false;
    const qint64 value = decimal.toLongLong(&fits);
    if (decimal.isEmpty())
        return QJsonValue(QJsonValue::Null);
    return fits && value <= kLargestExactInteger ? QJsonValue(value) : QJsonValue(decimal);
}

QJsonObject toJson(const CertificateFacts& facts)
{
    const QJsonObject subject{{"O", facts.organization},
                              {"OU", facts.organizationalUnit},
                              {"CN", facts.commonName},
                              {"dnQualifier", facts.dnQualifier}};
    const QJsonObject key{{"algorithm", facts.keyAlgorithm},
                          {"bits", facts.keyBits},
                          {"exponent", exponentValue(facts.keyExponent)}};
    const QJsonValue none(QJsonValue::Null);
    return QJsonObject{
        {"subject", subject},
        {"role", facts.roles},
        {"issuerCN", facts.issuerCommonName},
        {"serial", QJsonObject{{"decimal", facts.serialDecimal}, {"hex", facts.serialHex}}},
        {"notBefore", facts.notBefore.isValid() ? QJsonValue(iso(facts.notBefore)) : none},
        {"notAfter", facts.notAfter.isValid() ? QJsonValue(iso(facts.notAfter)) : none},
        {"signatureAlgorithm", facts.signatureAlgorithm},
        {"publicKey", key},
        {"ca", facts.hasBasicConstraints ? QJsonValue(facts.ca) : none},
        {"pathLength", facts.pathLength >= 0 ? QJsonValue(qint64(facts.pathLength)) : none},
        {"keyUsage", facts.hasKeyUsage ? QJsonValue(QJsonArray::fromStringList(facts.keyUsage)) : none},
        {"dnQualifierMatchesKey", facts.dnQualifierMatchesKey()},
        {"thumbprint", facts.thumbprint},
        {"sha256Fingerprint", facts.sha256Fingerprint},
    };
}

void printJson(const std::vector<CertificateFacts>& all)
{
    QJsonArray certificates;
    for (const CertificateFacts& facts : all)
        certificates.append(toJson(facts));
    const QJsonDocument document(QJsonObject{{"certificates", certificates}});
    std::fputs(document.toJson(QJsonDocument::Indented).constData(), stdout);
}

} // namespace

int RunShow(const QCommandLineParser& parser)
{
    const QStringList files = parser.positionalArguments().mid(1);
    if (files.isEmpty())
        return Report({ExitUsage, QStringLiteral("No file given to show.")});

    ChainVerifier::initOpenSsl();
    CertificateSources sources(parser, ExitFailure);
    for (const QString& path : files)
        if (auto error = sources.add(path))
            return Report(*error);

    std::vector<CertificateFacts> all;
    for (X509* certificate : ChainVerifier::sortIntoChains(sources.borrowed()).ordered)
        all.push_back(ReadCertificateFacts(certificate));
    if (parser.isSet(QLatin1String(ChainOption::Json)))
        printJson(all);
    else
        printText(all);
    std::fflush(stdout);
    return ExitSuccess;
}
