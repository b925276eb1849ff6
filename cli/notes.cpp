#include "notes.h"

namespace Note
{

QString newContainerPurpose(const QString& pfx)
{
    return QStringLiteral("the new PKCS#12 file %1").arg(pfx);
}

QString issuingFilePurpose(const QString& pfx)
{
    return QStringLiteral("the issuing file %1").arg(pfx);
}

QString containerPurpose(const QString& path)
{
    return QStringLiteral("the PKCS#12 file %1").arg(path);
}

QString chainContainersPurpose(const QString& folder)
{
    return QStringLiteral("the PKCS#12 files in %1").arg(folder);
}

QString exportedPurpose(const QStringList& files)
{
    return QStringLiteral("the exported %1").arg(files.join(QStringLiteral(" and ")));
}

QString passwordPrompt(const QString& purpose)
{
    return QStringLiteral("Password for %1:").arg(purpose);
}

QString passwordPromptAgain()
{
    return QStringLiteral("The same password again:");
}

QString seeded()
{
    return QStringLiteral("Random generator seeded from the Zel Kavra card.");
}

QString serialsFromTrace(const QString& trace, qint64 first, int count)
{
    if (count == 1)
        return QStringLiteral("Serial numbers from %1; this certificate gets %2.")
            .arg(trace, QString::number(first));
    return QStringLiteral("Serial numbers from %1; these certificates get %2 to %3.")
        .arg(trace, QString::number(first), QString::number(first + count - 1));
}

QString serialsDrawn()
{
    return QStringLiteral("Serial numbers from the board-seeded generator, 63 random bits each.");
}

QString serialNotRecorded(qint64 serial, const QString& trace)
{
    return QStringLiteral(
               "The serial number %1 could not be recorded in the trace file %2: the next run would "
               "use it again; give --serial.")
        .arg(QString::number(serial), trace);
}

QString created(const QString& commonName, qint64 serial, const QString& start, const QString& end)
{
    return QStringLiteral("Created CN \"%1\" serial %2, valid %3 to %4")
        .arg(commonName, QString::number(serial), start, end);
}

QString createdInChain(const QString& stem, const QString& commonName, qint64 serial, int pathLength)
{
    return QStringLiteral("Created %1: CN \"%2\" serial %3, path length %4")
        .arg(stem, commonName, QString::number(serial),
             pathLength < 0 ? QStringLiteral("none (leaf)") : QString::number(pathLength));
}

QString interruptedRunFinished(const QString& folder)
{
    return QStringLiteral("Note: a run into %1 was interrupted while putting its files in place; they are "
                          "in place now.")
        .arg(folder);
}

QString interruptedRunRemoved(const QString& folder)
{
    return QStringLiteral("Note: removed what an interrupted run left in %1; none of its files had been put "
                          "in place.")
        .arg(folder);
}

QString requested(const QString& commonName, const QString& dnQualifier)
{
    return QStringLiteral("Requested CN \"%1\" for the key %2").arg(commonName, dnQualifier);
}

QString requestedExtensionIgnored(const QString& request, const QString& extension)
{
    return QStringLiteral(
               "The request %1 asks for the extension %2: ignored, the leaf gets the profile's own")
        .arg(request, extension);
}

QString keyNotEncrypted(const QString& path)
{
    return QStringLiteral(
               "The private key in %1 is not encrypted: whoever can read the file can sign with it.")
        .arg(path);
}

QString finding(bool error, const QString& line)
{
    return (error ? QStringLiteral("error: ") : QStringLiteral("warning: ")) + line;
}

QString trustedRoot(const QString& root, const QString& thumbprint, bool given)
{
    return QStringLiteral("%1: %2, thumbprint %3")
        .arg(given ? QStringLiteral("trusted root as given") : QStringLiteral("root taken as trusted"), root,
             thumbprint);
}

namespace
{

QString withDetail(const QString& sentence, const QString& detail)
{
    return detail.isEmpty() ? sentence : sentence + QStringLiteral(" (%1)").arg(detail);
}

} // namespace

QString documentChanged(const QString& detail)
{
    return withDetail(
        QStringLiteral("the document was changed after it was signed: its digest does not match"), detail);
}

QString signatureDoesNotHold(const QString& detail)
{
    return withDetail(QStringLiteral("the signature does not verify with the signing certificate's key"),
                      detail);
}

QString signerMissing()
{
    return QStringLiteral("the document names no Signer");
}

QString signerNamesAnother(const QString& issuerName, const QString& serial)
{
    return QStringLiteral(
               "the Signer (X509IssuerName \"%1\", X509SerialNumber %2) does not name the leaf that "
               "signed")
        .arg(issuerName, serial);
}

QString verifySummary(int certificates, int errors, int warnings)
{
    return QStringLiteral("%1 %2 checked: %3 %4, %5 %6.")
        .arg(QString::number(certificates),
             certificates == 1 ? QStringLiteral("certificate") : QStringLiteral("certificates"),
             QString::number(errors), errors == 1 ? QStringLiteral("error") : QStringLiteral("errors"),
             QString::number(warnings),
             warnings == 1 ? QStringLiteral("warning") : QStringLiteral("warnings"));
}

QString renewedContainerPurpose(const QString& pfx)
{
    return QStringLiteral("the PKCS#12 file renewed, %1").arg(pfx);
}

QString renewed(const QString& commonName, qint64 serial, const QString& start, const QString& end)
{
    return QStringLiteral("Renewed %1: serial number %2, valid from %3 to %4.")
        .arg(commonName, QString::number(serial), start, end);
}

QString renewedInChain(const QString& stem, const QString& commonName, qint64 serial, const QString& end)
{
    return QStringLiteral("Renewed %1 (%2): serial number %3, valid until %4.")
        .arg(stem, commonName, QString::number(serial), end);
}

QString authorityRenewed(const QString& commonName, bool newKey)
{
    return QStringLiteral("The certificates %1 issued name its old %2 and no longer verify under the renewed "
                          "one: renew them too, or the whole chain with renew --chain.")
        .arg(commonName, newKey ? QStringLiteral("key") : QStringLiteral("serial number"));
}

QString endsPast2038(const QString& commonName, const QString& end)
{
    return QStringLiteral("Warning: %1 ends %2, after 2038-01-19T03:14:07Z, which players and checkers with "
                          "32-bit clocks cannot read.")
        .arg(commonName, end);
}

QString longerThanTenYears(const QString& commonName, qint64 days)
{
    return QStringLiteral("Warning: %1 is valid for %2 days, longer than the ten years the checkers accept "
                          "without a warning.")
        .arg(commonName, QString::number(days));
}

QString expiryLine(const QString& end, qint64 daysLeft, const QString& role, const QString& serial,
                   const QString& subject, const QString& path)
{
    const QString left = daysLeft < 0 ? QStringLiteral("ended %1 days ago").arg(-daysLeft)
                                      : QStringLiteral("%1 days left").arg(daysLeft);
    return QStringLiteral("%1  %2  %3  serial %4  %5  %6").arg(end, left, role, serial, subject, path);
}

QString expiryUnreadable(const QString& path, const QString& why)
{
    return QStringLiteral("unreadable  %1: %2").arg(path, why);
}

QString expirySummary(int certificates, int ending, qint64 within)
{
    return QStringLiteral("%1 %2: %3 ended or %4 within %5 days.")
        .arg(QString::number(certificates),
             certificates == 1 ? QStringLiteral("certificate") : QStringLiteral("certificates"),
             QString::number(ending), ending == 1 ? QStringLiteral("ends") : QStringLiteral("end"),
             QString::number(within));
}

QString containersPassedOver(int count, const QString& option)
{
    return QStringLiteral("%1 PKCS#12 %2 passed over: give %3 to read them too.")
        .arg(QString::number(count), count == 1 ? QStringLiteral("file") : QStringLiteral("files"), option);
}

QString tokenPinPurpose(const QString& token)
{
    return QStringLiteral("the token \"%1\" (its user PIN)").arg(token);
}

QString noContainerForTokenKey(const QString& uri)
{
    return QStringLiteral(
               "The key was made inside the token (%1) and never leaves it: no .pfx is written; the "
               "certificate is stored beside the key.")
        .arg(uri);
}

QString tokenNotSeeded(const QString& token)
{
    return QStringLiteral("The token \"%1\" takes no seed: its key is drawn from its own generator alone.")
        .arg(token);
}

QString keyInToken(const QString& uri)
{
    return QStringLiteral("The key is held in a token (%1) and cannot leave it.").arg(uri);
}

QString tokenRootRenewed(const QString& commonName, const QString& uri)
{
    return QStringLiteral("The certificates %1 issued name its old serial number and no longer verify under "
                          "the renewed one: renew each of them with --issuer %2.")
        .arg(commonName, uri);
}

} // namespace Note
