#pragma once

// Every sentence talvane-chain says that is not a refusal: what a prompt asks for, what was made,
// where serial numbers come from, the verifier's report lines. The one home of these sentences.

#include <QString>
#include <QStringList>

namespace Note
{

// What a password is for, in prompts and refusals.
QString newContainerPurpose(const QString& pfx);
QString issuingFilePurpose(const QString& pfx);
QString containerPurpose(const QString& path);
QString chainContainersPurpose(const QString& folder);
QString exportedPurpose(const QStringList& files);
QString passwordPrompt(const QString& purpose);
QString passwordPromptAgain();

QString seeded();
QString serialsFromTrace(const QString& trace, qint64 first, int count);
QString serialsDrawn();
QString serialNotRecorded(qint64 serial, const QString& trace);
QString created(const QString& commonName, qint64 serial, const QString& start, const QString& end);
// pathLength -1: a leaf.
QString createdInChain(const QString& stem, const QString& commonName, qint64 serial, int pathLength);
QString keyNotEncrypted(const QString& path);
// What a run found that an interrupted run left in its folder.
QString interruptedRunFinished(const QString& folder);
QString interruptedRunRemoved(const QString& folder);
QString requested(const QString& commonName, const QString& dnQualifier);
QString requestedExtensionIgnored(const QString& request, const QString& extension);

QString finding(bool error, const QString& line);
QString trustedRoot(const QString& root, const QString& thumbprint, bool given);
QString documentChanged(const QString& detail);
QString signatureDoesNotHold(const QString& detail);
QString signerMissing();
QString signerNamesAnother(const QString& issuerName, const QString& serial);
QString verifySummary(int certificates, int errors, int warnings);

QString renewedContainerPurpose(const QString& pfx);
QString renewed(const QString& commonName, qint64 serial, const QString& start, const QString& end);
QString renewedInChain(const QString& stem, const QString& commonName, qint64 serial, const QString& end);
QString authorityRenewed(const QString& commonName, bool newKey);
QString endsPast2038(const QString& commonName, const QString& end);
QString longerThanTenYears(const QString& commonName, qint64 days);

// expiry: one line per certificate, a file it could not read, the closing line.
QString expiryLine(const QString& end, qint64 daysLeft, const QString& role, const QString& serial,
                   const QString& subject, const QString& path);
QString expiryUnreadable(const QString& path, const QString& why);
QString expirySummary(int certificates, int ending, qint64 within);
QString containersPassedOver(int count, const QString& option);

QString tokenPinPurpose(const QString& token);
QString noContainerForTokenKey(const QString& uri);
QString tokenNotSeeded(const QString& token);
QString keyInToken(const QString& uri);
QString tokenRootRenewed(const QString& commonName, const QString& uri);

} // namespace Note
