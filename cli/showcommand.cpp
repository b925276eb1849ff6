// talvane-chain show: what each certificate of PEM, DER and PKCS#12 files says about itself,
// in chain order, as text for a person or as one JSON document for a script.

#include "commands.h"

#include "certificatefacts.h"
#include "certificatesources.h"
#include "chainverifier.h"
#include "console.h"
#include "refusals.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

QString text(const std::vector<CertificateFacts>& all)
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
            {"subject", facts.subjectName},
            {"issuer", facts.issuerName},
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
            {"X509IssuerName", facts.issuerName},
            {"X509SerialNumber", facts.serialDecimal},
        };
        out += QStringLiteral("%1Certificate %2 of %3\n")
                   .arg(i == 0 ? QString() : QStringLiteral("\n"))
                   .arg(i + 1)
                   .arg(all.size());
        for (const auto& [label, value] : rows)
            out += QStringLiteral("  %1 %2\n").arg(QLatin1String(label) + QLatin1Char(':'), -21).arg(value);
    }
    return out;
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
        {"subjectName", facts.subjectName},
        {"issuerName", facts.issuerName},
        // What an XML signature names its signer by.
        {"xmlSignatureIdentity",
         QJsonObject{{"X509IssuerName", facts.issuerName}, {"X509SerialNumber", facts.serialDecimal}}},
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

QString json(const std::vector<CertificateFacts>& all)
{
    QJsonArray certificates;
    for (const CertificateFacts& facts : all)
        certificates.append(toJson(facts));
    const QJsonDocument document(QJsonObject{{"certificates", certificates}});
    return QString::fromUtf8(document.toJson(QJsonDocument::Indented));
}

int run(Invocation& invocation)
{
    Console& console = invocation.console();
    CertificateSources sources(invocation);
    if (auto error = sources.addOperands())
        return Report(console, *error);

    std::vector<CertificateFacts> all;
    for (X509* certificate : ChainVerifier::sortIntoChains(sources.borrowed()).ordered)
        all.push_back(ReadCertificateFacts(certificate));
    console.out(invocation.isSet(Option::Json) ? json(all) : text(all));
    return ExitSuccess;
}

} // namespace

const Command& ShowCommand()
{
    static const Command command{
        "show",
        "show FILE... [--password-file FILE] [--json]",
        "what each certificate says about itself",
        "Prints every certificate of PEM, DER or PKCS#12 files in chain order, root first: subject O, OU, CN "
        "and "
        "dnQualifier, role, issuer CN, the subject and issuer as RFC 2253 strings, serial number (decimal "
        "and "
        "hex), validity (ISO 8601, UTC), signature algorithm, key size and exponent, CA flag and path "
        "length, "
        "key usage, whether the dnQualifier matches the key, the thumbprint (Base64 of the SHA-1 of the "
        "TBSCertificate, the form key-delivery tools ask for), the SHA-256 fingerprint, and the issuer name "
        "and "
        "serial number that XML signatures name a signer by (X509IssuerName, X509SerialNumber).",
        "talvane-chain show chain.pem\n"
        "talvane-chain show player.pfx --password-file password --json",
        {{Option::PasswordFile,
          "First line of FILE (- for standard input): the password of the PKCS#12 files, "
          "else TALVANE_PASSWORD, else asked."},
         {Option::Json},
         {Option::Module},
         {Option::PinFile}},
        "FILE...",
        "Certificate files: PEM, DER or PKCS#12; or the pkcs11: URI of a certificate in a token, whose key "
        "stays there.",
        run};
    return command;
}
