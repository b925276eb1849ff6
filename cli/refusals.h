#pragma once

// Every refusal talvane-chain gives, one function per finding, each with its sentence and exit
// status: the one home of these sentences.

#include "chainrules.h"
#include "command.h"
#include "pkcs11uri.h"
#include "signedcomposition.h"

#include <QString>
#include <QStringList>

namespace CertificateRequests
{
enum class RequestFinding;
}

namespace Refuse
{

// --- the command line -----------------------------------------------------------------------------
CommandError noCommand(const QStringList& commands);
CommandError unknownCommand(const QString& given, const QStringList& commands, const QString& meant);
CommandError unknownOption(const QString& name, const QString& meant);
CommandError optionNotForCommand(const QString& name, const QString& command);
CommandError parserError(const QString& text);
CommandError optionTwice(const QString& name);
CommandError unexpectedArgument(const QString& argument, const QString& command);
CommandError optionMissing(const QString& option, const QString& what);
CommandError optionsExclude(const QString& first, const QString& second);
CommandError noFiles(const QString& command);
CommandError fileNameMissing(const QString& option);
CommandError outputFailed();

// --- values ---------------------------------------------------------------------------------------
CommandError serialOutOfRange(qint64 smallest, qint64 largest);
CommandError serialRunOutOfRange(qint64 first, int count, qint64 smallest, qint64 largest);
CommandError pathLengthNotAllowed();
CommandError intermediatesOutOfRange(int most);
CommandError unknownProfile(const QString& given);
CommandError notATime(const QString& text, const QString& option);
CommandError notDays(const QString& text, const QString& option, qint64 least);
CommandError endNotAfterStart(const QString& start, const QString& end, int status);
CommandError endPassed(const QString& start, const QString& end, int status);
CommandError endAfterLatest(const QString& end, const QString& latest, int status);

// --- names ----------------------------------------------------------------------------------------
CommandError emptyText(const QString& option);
CommandError nameEntryTooLong(const QString& entryName, const QString& entry, int longest);
CommandError nameTextTooLong(const QString& option, int most, const QString& text);
CommandError notPrintable(const QString& option, char32_t character);
CommandError roleGivenTwice(const QString& option, const QString& typed, const QString& entry,
                            const QString& role);
CommandError noRoles(const QString& where, int status);
CommandError unknownRole(const QString& where, const QString& role, const QStringList& known, int status);
CommandError roleRepeated(const QString& where, const QString& role, int status);
CommandError signerRoleNotAlone(const QString& where, const QString& roles, int status);
CommandError rootNamesMissing();
CommandError nameMissing(const QString& option, const QString& command);

// --- files ----------------------------------------------------------------------------------------
CommandError fileExists(const QString& path);
CommandError fileMissing(const QString& path);
CommandError fileUnreadable(const QString& path);
CommandError folderMissing(const QString& folder, const QString& option);
CommandError overwritesIssuer(const QString& destination, const QString& issuer);
CommandError noCertificateIn(const QString& path);
CommandError fileEmpty(const QString& path);
CommandError fileTooLarge(const QString& path, qint64 largest);
CommandError damagedBlock(const QString& path, int block);
CommandError notACertificateFile(const QString& path);
CommandError tooManyIterations(const QString& path, long most);
CommandError containerUnreadable(const QString& path);
CommandError noKeyIn(const QString& path);
CommandError keyNotOfCertificate(const QString& path);

// --- the issuer -----------------------------------------------------------------------------------
CommandError issuerMissing(const QString& path);
CommandError issuerWrongPassword(const QString& path);
CommandError issuerWithoutKey(const QString& path);
CommandError issuerNotPkcs12(const QString& path);
CommandError issuerUnreadable(const QString& path);
CommandError issuerIsLeaf(const QString& path, const QString& commonName);
CommandError issuerPathLengthZero();
CommandError pathLengthTooLong(int pathLength, int issuerPathLength);
CommandError issuerSignsLeavesOnly();
CommandError issuerValidityUnreadable(const QString& start, const QString& end);
CommandError issuerExpired(const QString& path, const QString& end);
CommandError startBeforeIssuer(const QString& start, const QString& issuerStart);
CommandError endAfterIssuer(const QString& end, const QString& issuerEnd);

// --- passwords ------------------------------------------------------------------------------------
CommandError passwordFileMissing(const QString& path);
CommandError passwordFileUnreadable(const QString& path);
CommandError passwordFileEmpty(const QString& path);
CommandError passwordFileWithNul(const QString& path);
CommandError passwordTooLong(const QString& path, int most);
CommandError environmentPasswordTooLong(const QString& variable, int most);
CommandError typedPasswordTooLong(int most);
CommandError noPassword(const QString& purpose, const QString& option, const QString& variable);
CommandError noPasswordEntered(const QString& purpose);
CommandError passwordsDiffer();

// --- the work -------------------------------------------------------------------------------------
CommandError noBoard();
CommandError noRandomSerial();
CommandError traceUnreadable(const QString& trace);
CommandError traceNotANumber(const QString& trace);
CommandError traceUnwritable(const QString& trace);
CommandError traceRunOutOfRange(const QString& trace, qint64 first, int count, qint64 smallest,
                                qint64 largest);
CommandError keyGenerationFailed();
CommandError requestNotMade();
CommandError issuingFailed(const QString& certificate);
CommandError certificateNotWritten(const QString& pem);
CommandError containerNotWritten(const QString& pfx, const QString& pem);
CommandError levelNotWritten(const QString& stem);
CommandError chainFileNotWritten(const QString& name);
// The files of a run written together into `folder`.
CommandError folderNotMade(const QString& folder);
CommandError folderNotWritable(const QString& folder);
CommandError folderBusy(const QString& folder);
CommandError interruptedNotFinished(const QString& folder, const QString& journal);
CommandError stagedTargetIsFolder(const QString& target, const QString& folder);
CommandError stagedTargetRefused(const QString& target, const QString& folder);
CommandError stagedNotBegun(const QString& folder);
CommandError stagedNotPlaced(const QString& target, const QString& folder);
CommandError stagedNotPutBack(const QString& target, const QString& folder);
CommandError stoppedBySignal();

// --- certificate requests -----------------------------------------------------------------------
CommandError requestRefused(const QString& path, CertificateRequests::RequestFinding finding);
CommandError requestOfIssuerKey(const QString& path, const QString& issuer);
CommandError requestsShareKey(const QString& path, const QString& other);
CommandError requestNamesClash(const QString& path, const QString& stem);
CommandError requestWithoutEntity(const QString& path, const QString& option);
// A refusal about what a request holds, named after its file: the request's fault, not the
// command line's.
CommandError inRequest(const QString& path, const CommandError& error);

// --- leaf --batch ---------------------------------------------------------------------------------
// A refusal about one line of a batch file, named by the file and its line: the file's fault.
CommandError onBatchLine(const QString& path, int line, const CommandError& error);
CommandError batchHeader(const QString& header);
CommandError batchLineFields(const QString& header);
CommandError batchName(const QString& name);
CommandError batchNameTwice(const QString& name);
CommandError batchEntityEmpty();
CommandError batchTooLong(int most);
CommandError batchEmpty(const QString& path);
CommandError batchFileTooLarge(const QString& path, qint64 largest);

// --- verify ---------------------------------------------------------------------------------------
CommandError notOneRoot(const QString& path);
CommandError documentWithOthers(const QString& path);
CommandError documentRefused(const QString& path, SignedComposition::Failure failure, const QString& detail);

// --- export ---------------------------------------------------------------------------------------
CommandError nothingToExport();
CommandError modifierWithout(const QString& modifier, const QString& output);
CommandError exportReadsOneFile(const QString& extra);
CommandError outputIsInput(const QString& path, const QString& option);
CommandError outputsSame(const QString& first, const QString& second, const QString& path);
CommandError exportNotWritten(const QString& path, const QStringList& writtenBefore);

// --- renew ----------------------------------------------------------------------------------------
CommandError renewReadsOneFile(const QString& extra);
CommandError notOfProfile(const QString& path, const QString& commonName,
                          CertificateRules::RenewalFinding finding);
CommandError issuerNeeded(const QString& path, const QString& issuerCommonName);
CommandError rootTakesNoIssuer(const QString& path);
CommandError wrongIssuer(const QString& path, const QString& issuerCommonName, const QString& issuerPath);
CommandError outputOverInput(const QString& output, const QString& input);
CommandError notOneChain(const QString& what);
CommandError chainOverItself(const QString& folder);
CommandError renewedNotWritten(const QString& path);

// --- expiry ---------------------------------------------------------------------------------------
CommandError noCertificatesFound();
// --- tokens ---------------------------------------------------------------------------------------
CommandError tokenUriRefused(UriFinding finding, const QString& uri, const QString& attribute,
                             const QString& option);
CommandError tokenObjectNotNamed(const QString& uri, const QString& option);
CommandError tokenModuleMissing(const QString& module);
CommandError tokenModuleUnloadable(const QString& module);
CommandError tokenMissing(const QString& token, const QString& module);
CommandError tokenAmbiguous(const QString& token);
CommandError tokenSessionRefused(const QString& token);
CommandError tokenWrongPin(const QString& token);
CommandError tokenPinLocked(const QString& token);
CommandError tokenLoginFailed(const QString& token);
CommandError tokenObjectMissing(const QString& object, const QString& token);
CommandError tokenObjectTaken(const QString& object, const QString& token);
CommandError tokenKeyNotMade(const QString& token);
CommandError tokenCertificateNotStored(const QString& token, const QString& pem);
CommandError tokenCertificateMissing(const QString& uri, const QString& option);
CommandError tokenCertificateNotOfKey(const QString& path, const QString& uri);
CommandError tokenKeyStaysInside(const QString& uri, const QString& option);
CommandError tokenKeyNotRoot(const QString& uri, const QString& commonName);
CommandError tokenRootKeepsKey(const QString& uri, const QString& option);

} // namespace Refuse
