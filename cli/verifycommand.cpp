// talvane-chain verify: reads chains from PEM, DER and PKCS#12 files, or the chain of a signed
// composition playlist or packing list, and judges each by the digital-cinema rules, one line per
// finding or one JSON document.

#include "commands.h"

#include "certificatesources.h"
#include "chainrules.h"
#include "chainverifier.h"
#include "compositionreader.h"
#include "console.h"
#include "notes.h"
#include "refusals.h"
#include "signernames.h"
#include "values.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace
{

constexpr int kDefaultWarnDays = 30;

using Options = ChainVerifier::Options;

// The time to judge at, and the days before an end that deserve a warning.
Refusal readTimes(const Invocation& invocation, Options& options)
{
    options.now = QDateTime::currentDateTimeUtc();
    if (invocation.isSet(Option::At))
    {
        const auto at = parseTime(invocation.value(Option::At));
        if (!at)
            return Refuse::notATime(invocation.value(Option::At), OptionText(Option::At));
        options.now = *at;
        options.nowChosen = true;
    }
    options.warnDays = kDefaultWarnDays;
    if (invocation.isSet(Option::WarnDays))
    {
        const auto days = parseDays(invocation.value(Option::WarnDays), 0);
        if (!days || *days > CertificateRules::kMostValidityDays)
            return Refuse::notDays(invocation.value(Option::WarnDays), OptionText(Option::WarnDays), 0);
        options.warnDays = int(*days);
    }
    return std::nullopt;
}

Refusal readProfile(const Invocation& invocation, Options& options)
{
    if (!invocation.isSet(Option::Profile))
        return std::nullopt;
    const QString profile = invocation.value(Option::Profile);
    if (profile == QLatin1String("smpte"))
        options.profile = Options::Profile::Smpte;
    else if (profile == QLatin1String("interop"))
        options.profile = Options::Profile::Interop;
    else
        return Refuse::unknownProfile(profile);
    return std::nullopt;
}

// --root names one certificate file; --root-thumbprint a thumbprint; not both.
Refusal readAnchor(const Invocation& invocation, Options& options, X509Ptr& root)
{
    if (invocation.isSet(Option::Root) && invocation.isSet(Option::RootThumbprint))
        return Refuse::optionsExclude(OptionText(Option::Root), OptionText(Option::RootThumbprint));
    options.trustedThumbprint = invocation.value(Option::RootThumbprint);
    if (!invocation.isSet(Option::Root))
        return std::nullopt;
    const QString path = invocation.value(Option::Root);
    if (!QFile::exists(path))
        return Refuse::fileMissing(path);
    ChainVerifier::CertificateFile file = ChainVerifier::loadCertificateFile(path);
    using Kind = ChainVerifier::CertificateFile::Kind;
    if ((file.kind != Kind::Pem && file.kind != Kind::Der) || file.certificates.size() != 1)
        return Refuse::notOneRoot(path);
    root = std::move(file.certificates.front());
    options.trustedRoot = root.get();
    return std::nullopt;
}

// A signed document rather than certificate files: told by its first character.
bool looksLikeXml(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray start = file.read(512);
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    return start.trimmed().startsWith('<');
}

// The findings a signed document adds to its chain's, and the time its chain is judged at.
struct DocumentJudgement
{
    std::vector<ChainFinding> findings;
    std::optional<SignedComposition> composition;
};

ChainFinding documentFinding(const QString& rule, const QString& ruleId, const QString& text)
{
    ChainFinding finding;
    finding.rule = rule;
    finding.ruleId = ruleId;
    finding.certificate = QStringLiteral("document");
    finding.text = text;
    return finding;
}

// Reads the document; refuses one that is no signed playlist or packing list. A signature that
// does not hold, or a Signer that does not name the leaf, is a finding: the chain is judged all
// the same.
Refusal readDocument(const QString& path, Options& options, DocumentJudgement& judgement,
                     std::vector<X509*>& certificates)
{
    SignedComposition composition = CompositionReader::read(path);
    using Failure = SignedComposition::Failure;
    switch (composition.failure)
    {
    case Failure::None:
        break;
    case Failure::DigestMismatch:
        judgement.findings.push_back(documentFinding(QStringLiteral("xml signature"),
                                                     QStringLiteral("XMLDSig 3.2.1"),
                                                     Note::documentChanged(composition.detail)));
        break;
    case Failure::SignatureMismatch:
        judgement.findings.push_back(documentFinding(QStringLiteral("xml signature"),
                                                     QStringLiteral("XMLDSig 3.2.2"),
                                                     Note::signatureDoesNotHold(composition.detail)));
        break;
    case Failure::Unreadable:
        return Refuse::fileUnreadable(path);
    case Failure::TooLarge:
        return Refuse::fileTooLarge(path, CompositionReader::kMaxFileBytes);
    default:
        return Refuse::documentRefused(path, composition.failure, composition.detail);
    }
    if (!composition.signer)
        judgement.findings.push_back(documentFinding(QStringLiteral("signer"),
                                                     QStringLiteral("XMLDSig 4.4.4"), Note::signerMissing()));
    else if (!namesCertificate(*composition.signer, composition.signingCertificate()))
        judgement.findings.push_back(documentFinding(
            QStringLiteral("signer"), QStringLiteral("XMLDSig 4.4.4"),
            Note::signerNamesAnother(composition.signer->issuerName, composition.signer->serial)));
    // What signs a playlist or a package is a content signer; since the signer expiries of 2024
    // servers judge the chain as it stood at the document's issue date, not at today's.
    options.signer = true;
    if (!options.nowChosen)
    {
        options.now = composition.issueDate;
        options.nowChosen = true;
    }
    for (const KeyInfoCertificate& certificate : composition.certificates)
        certificates.push_back(certificate.certificate.get());
    judgement.composition = std::move(composition);
    return std::nullopt;
}

QJsonObject identityJson(const CertificateIdentity& identity)
{
    return QJsonObject{
        {"subject", identity.subject},
        {"issuer", identity.issuer},
        {"serial", QJsonObject{{"decimal", identity.serialDecimal}, {"hex", identity.serialHex}}},
        {"thumbprint", identity.thumbprint}};
}

QString json(const ChainReport& report, const std::vector<ChainFinding>& findings,
             const DocumentJudgement& document, bool passed)
{
    QJsonArray certificates;
    for (const CertificateIdentity& identity : report.identities)
        certificates.append(identityJson(identity));
    QJsonArray listed;
    for (const ChainFinding& finding : findings)
    {
        QJsonObject entry{{"severity", finding.isError() ? "error" : "warning"},
                          {"rule", finding.rule},
                          {"ruleId", finding.ruleId},
                          {"certificate", finding.certificate},
                          {"text", finding.text}};
        if (finding.about)
            entry.insert("thumbprint", ChainVerifier::identify(finding.about).thumbprint);
        listed.append(entry);
    }
    QJsonObject root{{"certificates", certificates},
                     {"findings", listed},
                     {"trustedRoot", report.trustedRoot ? QJsonValue(identityJson(
                                                              ChainVerifier::identify(report.trustedRoot)))
                                                        : QJsonValue(QJsonValue::Null)},
                     {"passed", passed}};
    if (document.composition)
    {
        const SignedComposition& composition = *document.composition;
        QJsonObject signer;
        if (composition.signer)
            signer = QJsonObject{{"X509IssuerName", composition.signer->issuerName},
                                 {"X509SerialNumber", composition.signer->serial}};
        root.insert(
            "document",
            QJsonObject{{"type", composition.type == SignedComposition::Type::PackingList
                                     ? QStringLiteral("PackingList")
                                     : QStringLiteral("CompositionPlaylist")},
                        {"dialect", composition.dialect == SignedComposition::Dialect::Interop
                                        ? QStringLiteral("Interop")
                                        : QStringLiteral("SMPTE")},
                        {"id", composition.id},
                        {"issueDate", printed(composition.issueDate)},
                        {"signer", composition.signer ? QJsonValue(signer) : QJsonValue(QJsonValue::Null)},
                        {"signatureVerified", composition.verified()}});
    }
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

int run(Invocation& invocation)
{
    Console& console = invocation.console();
    const QStringList files = invocation.operands();
    if (files.isEmpty())
        return Report(console, Refuse::noFiles(QLatin1String(invocation.command().name)));

    Options options;
    X509Ptr root;
    if (auto error = readTimes(invocation, options))
        return Report(console, *error);
    if (auto error = readProfile(invocation, options))
        return Report(console, *error);
    options.signer = invocation.isSet(Option::Signer);
    ChainVerifier::initOpenSsl();
    if (auto error = readAnchor(invocation, options, root))
        return Report(console, *error);

    CertificateSources sources(invocation);
    DocumentJudgement document;
    std::vector<X509*> certificates;
    const bool xml = QFile::exists(files.front()) && looksLikeXml(files.front());
    if (xml && files.size() > 1)
        return Report(console, Refuse::documentWithOthers(files.front()));
    if (xml)
    {
        if (auto error = readDocument(files.front(), options, document, certificates))
            return Report(console, *error);
    }
    else
    {
        if (auto error = sources.addOperands())
            return Report(console, *error);
        certificates = sources.borrowed();
    }

    const ChainReport report = ChainVerifier::verifyCertificates(certificates, options);
    std::vector<ChainFinding> findings = document.findings;
    findings.insert(findings.end(), report.findings.begin(), report.findings.end());
    int errors = 0;
    int warnings = 0;
    for (const ChainFinding& finding : findings)
        (finding.isError() ? errors : warnings) += 1;
    const bool passed = errors == 0 && (warnings == 0 || !invocation.isSet(Option::Strict));

    if (invocation.isSet(Option::Json))
        console.out(json(report, findings, document, passed));
    else
    {
        for (const ChainFinding& finding : findings)
            console.outLine(Note::finding(finding.isError(), finding.line()));
        if (report.trustedRoot)
            console.outLine(Note::trustedRoot(ChainVerifier::describe(report.trustedRoot),
                                              ChainVerifier::identify(report.trustedRoot).thumbprint,
                                              options.trustedRoot || !options.trustedThumbprint.isEmpty()));
        console.outLine(Note::verifySummary(int(report.certificates), errors, warnings));
    }
    return passed ? ExitSuccess : ExitFailure;
}

} // namespace

const Command& VerifyCommand()
{
    static const Command command{
        "verify",
        "verify FILE... [--profile smpte|interop] [--signer] [--root FILE] [--at ISO-8601] [--json] "
        "[options]",
        "judge chains, or a signed playlist, by the digital-cinema certificate rules",
        "Reads the certificates of PEM, DER and PKCS#12 files (told by their content, not their names), "
        "sorts "
        "them into chains and judges every chain by the digital-cinema certificate profile (SMPTE ST 430-2): "
        "one "
        "line per finding on standard output, \"error: \" or \"warning: \" first, then the root taken as "
        "trusted and a summary line; with --json one document with every certificate's identity and every "
        "finding's severity, rule, rule identifier (the ST 430-2 step or clause, the CTP item, the RFC) and "
        "sentence.\n"
        "A signed composition playlist or packing list (SMPTE or Interop; one XML file alone) is judged as "
        "its "
        "signer's servers judge it: the certificates of its signature, at its IssueDate unless --at says "
        "otherwise, the leaf a content signer, the Signer naming the leaf, and the XML signature itself "
        "checked "
        "with the leaf's key.\n"
        "The exit status is 1 when a chain or the document has an error, or with --strict a warning.",
        "talvane-chain verify root.pem intermediate.pem player.pem\n"
        "talvane-chain verify player.pfx --password-file password --at 2030-01-01T00:00:00Z\n"
        "talvane-chain verify signed-cpl.xml --root root.pem\n"
        "talvane-chain verify chain.pem --signer --profile interop --json",
        {{Option::PasswordFile,
          "First line of FILE (- for standard input): the password of the PKCS#12 files, "
          "else TALVANE_PASSWORD, else asked."},
         {Option::Profile},
         {Option::Signer},
         {Option::Root},
         {Option::RootThumbprint},
         {Option::At},
         {Option::WarnDays},
         {Option::Json,
          "Print one JSON document instead of text: the certificates' identities, the root taken "
          "as trusted, every finding with its rule identifier, and for a signed document its type, "
          "issue date and Signer."},
         {Option::Strict}},
        "FILE...",
        "Certificate files (PEM, DER or PKCS#12), or one signed composition playlist or packing list.",
        run};
    return command;
}
