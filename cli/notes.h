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
QString serialNotRecorded(qint64 serial, const QString& trace);
QString created(const QString& commonName, qint64 serial, const QString& start, const QString& end);
// pathLength -1: a leaf.
QString createdInChain(const QString& stem, const QString& commonName, qint64 serial, int pathLength);
QString keyNotEncrypted(const QString& path);

QString finding(bool error, const QString& line);
QString trustedRoot(const QString& root, const QString& thumbprint, bool given);
QString documentChanged(const QString& detail);
QString signatureDoesNotHold(const QString& detail);
QString signerMissing();
QString signerNamesAnother(const QString& issuerName, const QString& serial);
QString verifySummary(int certificates, int errors, int warnings);

QString tokenPinPurpose(const QString& token);
QString noContainerForTokenKey(const QString& uri);
QString tokenNotSeeded(const QString& token);
QString keyInToken(const QString& uri);

} // namespace Note
