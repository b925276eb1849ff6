#include "refusals.h"

#include "certificaterequest.h"

namespace
{

CommandError usage(const QString& sentence)
{
    return CommandError{ExitUsage, sentence};
}

CommandError failure(const QString& sentence)
{
    return CommandError{ExitFailure, sentence};
}

// "a, b or c"
QString listed(const QStringList& names)
{
    if (names.size() < 2)
        return names.join(QString());
    QStringList first = names;
    const QString last = first.takeLast();
    return first.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

QString meantText(const QString& meant)
{
    return meant.isEmpty() ? QString() : QStringLiteral(" Did you mean %1?").arg(meant);
}

} // namespace

namespace Refuse
{

CommandError noCommand(const QStringList& commands)
{
    return usage(QStringLiteral("No command given: use %1 (see --help).").arg(listed(commands)));
}

CommandError unknownCommand(const QString& given, const QStringList& commands, const QString& meant)
{
    return usage(QStringLiteral("Unknown command \"%1\": use %2.").arg(given, listed(commands)) +
                 meantText(meant));
}

CommandError unknownOption(const QString& name, const QString& meant)
{
    return usage(QStringLiteral("Unknown option '%1'.").arg(name) +
                 meantText(meant.isEmpty() ? QString() : QStringLiteral("--") + meant));
}

CommandError optionNotForCommand(const QString& name, const QString& command)
{
    return usage(QStringLiteral("The option --%1 does not apply to the command %2.").arg(name, command));
}

CommandError parserError(const QString& text)
{
    return usage(text);
}

CommandError optionTwice(const QString& name)
{
    return usage(QStringLiteral("The option --%1 is given more than once.").arg(name));
}

CommandError unexpectedArgument(const QString& argument, const QString& command)
{
    return usage(QStringLiteral("Unexpected argument \"%1\" after the command %2.").arg(argument, command));
}

CommandError optionMissing(const QString& option, const QString& what)
{
    return usage(QStringLiteral("The option %1 with %2 is missing.").arg(option, what));
}

CommandError optionsExclude(const QString& first, const QString& second)
{
    return usage(
        QStringLiteral("The options %1 and %2 exclude each other: give one of them.").arg(first, second));
}

CommandError noFiles(const QString& command)
{
    if (command == QLatin1String("export"))
        return usage(QStringLiteral("No PKCS#12 file given to export."));
    return usage(QStringLiteral("No file given to %1.").arg(command));
}

CommandError fileNameMissing(const QString& option)
{
    return usage(QStringLiteral("The option %1 needs a file name.").arg(option));
}

CommandError outputFailed()
{
    return failure(QStringLiteral("Standard output could not be written: the result is incomplete."));
}

CommandError serialOutOfRange(qint64 smallest, qint64 largest)
{
    return usage(QStringLiteral("The serial number must be a whole number from %1 to %2, random or trace.")
                     .arg(smallest)
                     .arg(largest));
}

CommandError serialRunOutOfRange(qint64 first, int count, qint64 smallest, qint64 largest)
{
    return usage(
        QStringLiteral("The serial numbers %1 to %2 of the chain's %3 certificates must lie from %4 to %5.")
            .arg(first)
            // Unsigned: the last of a run past 2^63-1 does not fit the signed type.
            .arg(quint64(first) + quint64(count) - 1)
            .arg(count)
            .arg(smallest)
            .arg(largest));
}

CommandError pathLengthNotAllowed()
{
    return usage(
        QStringLiteral("The path length must be a whole number of at least 1; a certificate that signs "
                       "nothing is a leaf."));
}

CommandError intermediatesOutOfRange(int most)
{
    return usage(
        QStringLiteral("The number of intermediates must be a whole number from 0 to %1.").arg(most));
}

CommandError unknownProfile(const QString& given)
{
    return usage(QStringLiteral("The profile \"%1\" of --profile is neither smpte nor interop.").arg(given));
}

CommandError notATime(const QString& text, const QString& option)
{
    return usage(QStringLiteral("The time \"%1\" of %2 is not an ISO-8601 date and time.").arg(text, option));
}

CommandError notDays(const QString& text, const QString& option, qint64 least)
{
    return usage(QStringLiteral("The number of days \"%1\" of %2 is not a whole number of %3 or more.")
                     .arg(text, option, QString::number(least)));
}

CommandError endNotAfterStart(const QString& start, const QString& end, int status)
{
    return {status,
            QStringLiteral("The validity period from %1 to %2 is invalid: it ends before it starts, or "
                           "when it starts.")
                .arg(start, end)};
}

CommandError endPassed(const QString& start, const QString& end, int status)
{
    return {status, QStringLiteral("The validity period from %1 to %2 is invalid: it has ended already; give "
                                   "an end in the future.")
                        .arg(start, end)};
}

CommandError endAfterLatest(const QString& end, const QString& latest, int status)
{
    return {status,
            QStringLiteral("The validity end %1 lies after %2, the last second that 32-bit clocks hold "
                           "and the checkers accept.")
                .arg(end, latest)};
}

CommandError emptyText(const QString& option)
{
    return usage(QStringLiteral("The option %1 needs a text.").arg(option));
}

CommandError nameEntryTooLong(const QString& entryName, const QString& entry, int longest)
{
    return usage(QStringLiteral("The %1 \"%2\" is longer than %3 characters.")
                     .arg(entryName, entry, QString::number(longest)));
}

CommandError nameTextTooLong(const QString& option, int most, const QString& text)
{
    return usage(
        QStringLiteral("The option %1 takes at most %2 characters, as the window does; \"%3\" has %4.")
            .arg(option, QString::number(most), text, QString::number(text.size())));
}

CommandError notPrintable(const QString& option, char32_t character)
{
    return usage(
        QStringLiteral("The option %1 has the character \"%2\" (U+%3), which the digital-cinema checkers "
                       "reject in a name; names take letters A to Z and a to z, digits, space and "
                       "' ( ) + , - . / : = ? only.")
            .arg(option, QString::fromUcs4(&character, 1),
                 QStringLiteral("%1").arg(uint(character), 4, 16, QLatin1Char('0')).toUpper()));
}

CommandError roleGivenTwice(const QString& option, const QString& typed, const QString& entry,
                            const QString& role)
{
    return usage(
        QStringLiteral("The option %1 gives the role already: \"%2\" would become the common name \"%3\"; "
                       "give it without \"%4\".")
            .arg(option, typed, entry, role));
}

CommandError noRoles(const QString& where, int status)
{
    return CommandError{status, QStringLiteral("%1 gives no role; a leaf carries at least one.").arg(where)};
}

CommandError unknownRole(const QString& where, const QString& role, const QStringList& known, int status)
{
    return CommandError{status,
                        QStringLiteral("%1 gives the role \"%2\", which is not a known one; the roles are "
                                       "%3.")
                            .arg(where, role, listed(known))};
}

CommandError roleRepeated(const QString& where, const QString& role, int status)
{
    return CommandError{status, QStringLiteral("%1 gives the role \"%2\" twice.").arg(where, role)};
}

CommandError signerRoleNotAlone(const QString& where, const QString& roles, int status)
{
    return CommandError{status,
                        QStringLiteral("%1 gives \"%2\": a content signer (CS) carries no other role; "
                                       "give CS alone or the device's roles without it.")
                            .arg(where, roles)};
}

CommandError rootNamesMissing()
{
    return usage(
        QStringLiteral("A root needs --root-name and --organization: the window's placeholder names never "
                       "go into a real root."));
}

CommandError nameMissing(const QString& option, const QString& command)
{
    return usage(
        QStringLiteral("The command %1 needs %2: the window's placeholder names never go into a real "
                       "certificate.")
            .arg(command, option));
}

CommandError fileExists(const QString& path)
{
    return failure(QStringLiteral("The file %1 exists; give --force to overwrite it.").arg(path));
}

CommandError fileMissing(const QString& path)
{
    return failure(QStringLiteral("The file %1 does not exist.").arg(path));
}

CommandError fileUnreadable(const QString& path)
{
    return failure(QStringLiteral("The file %1 cannot be read.").arg(path));
}

CommandError folderMissing(const QString& folder, const QString& option)
{
    return failure(QStringLiteral("The folder %1 of %2 does not exist; make it first or choose another %2.")
                       .arg(folder, option));
}

CommandError overwritesIssuer(const QString& destination, const QString& issuer)
{
    return failure(
        QStringLiteral("The destination %1 would overwrite its issuing certificate %2; choose another "
                       "--out.")
            .arg(destination, issuer));
}

CommandError noCertificateIn(const QString& path)
{
    return failure(QStringLiteral("The file %1 holds no readable certificate.").arg(path));
}

CommandError fileEmpty(const QString& path)
{
    return failure(QStringLiteral("The file %1 is empty.").arg(path));
}

CommandError fileTooLarge(const QString& path, qint64 largest)
{
    return failure(
        QStringLiteral("The file %1 is larger than %2 MiB, far more than any chain or container; it is "
                       "not read.")
            .arg(path, QString::number(largest / (1024 * 1024))));
}

CommandError damagedBlock(const QString& path, int block)
{
    return failure(QStringLiteral("PEM block %1 of the file %2 cannot be read: the file is damaged.")
                       .arg(QString::number(block), path));
}

CommandError notACertificateFile(const QString& path)
{
    return failure(
        QStringLiteral("The file %1 is neither a certificate (PEM or DER) nor a PKCS#12 file.").arg(path));
}

CommandError tooManyIterations(const QString& path, long most)
{
    return failure(
        QStringLiteral("The PKCS#12 file %1 asks for more than %2 key-derivation iterations, more than "
                       "any tool writes; it is not opened.")
            .arg(path, QString::number(most)));
}

CommandError containerUnreadable(const QString& path)
{
    return failure(
        QStringLiteral("The file %1 cannot be read as a PKCS#12 file with the password given.").arg(path));
}

CommandError noKeyIn(const QString& path)
{
    return failure(QStringLiteral("The file %1 holds no private key.").arg(path));
}

CommandError keyNotOfCertificate(const QString& path)
{
    return failure(QStringLiteral("The private key in %1 does not belong to its certificate.").arg(path));
}

CommandError issuerMissing(const QString& path)
{
    return failure(QStringLiteral("The issuing file %1 does not exist.").arg(path));
}

CommandError issuerWrongPassword(const QString& path)
{
    return failure(
        QStringLiteral("The issuing file %1 cannot be opened with the password given: the password is "
                       "wrong.")
            .arg(path));
}

CommandError issuerWithoutKey(const QString& path)
{
    return failure(
        QStringLiteral("The issuing file %1 is a PEM certificate without its key; give the .pfx.").arg(path));
}

CommandError issuerNotPkcs12(const QString& path)
{
    return failure(QStringLiteral("The issuing file %1 is not a PKCS#12 file; give the .pfx of the issuing "
                                  "certificate.")
                       .arg(path));
}

CommandError issuerUnreadable(const QString& path)
{
    return failure(
        QStringLiteral("The issuing file %1 cannot be read: the password is wrong or the file is not a "
                       "certificate of this kind.")
            .arg(path));
}

CommandError issuerIsLeaf(const QString& path, const QString& commonName)
{
    return failure(
        QStringLiteral("The issuing file %1 holds a leaf (%2), which cannot issue certificates; give an "
                       "authority's .pfx.")
            .arg(path, commonName));
}

CommandError issuerPathLengthZero()
{
    return failure(QStringLiteral("The issuing certificate has a path length of 0 and cannot sign a derived "
                                  "certificate."));
}

CommandError pathLengthTooLong(int pathLength, int issuerPathLength)
{
    return failure(
        QStringLiteral("The path length %1 is too long: it must be lower than the issuing certificate's "
                       "%2.")
            .arg(pathLength)
            .arg(issuerPathLength));
}

CommandError issuerSignsLeavesOnly()
{
    return failure(
        QStringLiteral("The issuing certificate has a path length of 1: it can sign leaves only."));
}

CommandError issuerValidityUnreadable(const QString& start, const QString& end)
{
    return failure(
        QStringLiteral("The validity of the issuing certificate (%1 to %2) cannot be read.").arg(start, end));
}

CommandError issuerExpired(const QString& path, const QString& end)
{
    return failure(
        QStringLiteral("The issuing certificate in %1 expired on %2; renew it or give another issuer.")
            .arg(path, end));
}

CommandError startBeforeIssuer(const QString& start, const QString& issuerStart)
{
    return failure(QStringLiteral("The validity start %1 lies before the issuing certificate's start %2.")
                       .arg(start, issuerStart));
}

CommandError endAfterIssuer(const QString& end, const QString& issuerEnd)
{
    return failure(QStringLiteral("The validity end %1 lies after the issuing certificate's end %2.")
                       .arg(end, issuerEnd));
}

CommandError passwordFileMissing(const QString& path)
{
    return failure(QStringLiteral("The password file %1 does not exist.").arg(path));
}

CommandError passwordFileUnreadable(const QString& path)
{
    return failure(QStringLiteral("The password file %1 cannot be read.").arg(path));
}

CommandError passwordFileEmpty(const QString& path)
{
    return usage(QStringLiteral("The password file %1 holds no password on its first line.").arg(path));
}

CommandError passwordFileWithNul(const QString& path)
{
    return usage(
        QStringLiteral("The password file %1 holds a NUL byte on its first line (a UTF-16 file, say); "
                       "write the password as plain text.")
            .arg(path));
}

CommandError passwordTooLong(const QString& path, int most)
{
    return usage(QStringLiteral("The password on the first line of %1 is longer than %2 bytes.")
                     .arg(path, QString::number(most)));
}

CommandError environmentPasswordTooLong(const QString& variable, int most)
{
    return usage(
        QStringLiteral("The password in %1 is longer than %2 bytes.").arg(variable, QString::number(most)));
}

CommandError typedPasswordTooLong(int most)
{
    return usage(QStringLiteral("The password typed is longer than %1 bytes.").arg(most));
}

CommandError noPassword(const QString& purpose, const QString& option, const QString& variable)
{
    return usage(QStringLiteral("No password for %1: give %2 or set %3.").arg(purpose, option, variable));
}

CommandError noPasswordEntered(const QString& purpose)
{
    return usage(QStringLiteral("No password was entered for %1.").arg(purpose));
}

CommandError passwordsDiffer()
{
    return usage(QStringLiteral("The entered passwords do not match."));
}

CommandError noBoard()
{
    return failure(
        QStringLiteral("Failed seeding the random generator: no Zel Kavra card was found or the card is "
                       "in use by another application."));
}

CommandError noRandomSerial()
{
    return failure(QStringLiteral("The random generator gave no serial number."));
}

CommandError traceUnreadable(const QString& trace)
{
    return failure(QStringLiteral("The trace file %1 cannot be read; give --serial.").arg(trace));
}

CommandError traceNotANumber(const QString& trace)
{
    return failure(
        QStringLiteral("The trace file %1 does not hold a serial number; give --serial.").arg(trace));
}

CommandError traceUnwritable(const QString& trace)
{
    return failure(QStringLiteral("The trace file %1 cannot be written, so the serial number would be issued "
                                  "again; give --serial.")
                       .arg(trace));
}

CommandError traceRunOutOfRange(const QString& trace, qint64 first, int count, qint64 smallest,
                                qint64 largest)
{
    if (count == 1)
        return failure(
            QStringLiteral(
                "The next serial number of the trace file %1, %2, is outside %3 to %4; give --serial.")
                .arg(trace, QString::number(first), QString::number(smallest), QString::number(largest)));
    return failure(
        QStringLiteral("The next serial numbers of the trace file %1, %2 to %3, lie outside %4 to %5; "
                       "give --serial.")
            .arg(trace, QString::number(first), QString::number(first + count - 1), QString::number(smallest),
                 QString::number(largest)));
}

CommandError requestNotMade()
{
    return failure(QStringLiteral("The certificate request could not be made."));
}

CommandError keyGenerationFailed()
{
    return failure(QStringLiteral("Failed generating a key pair."));
}

CommandError issuingFailed(const QString& certificate)
{
    if (certificate.isEmpty())
        return failure(QStringLiteral("Failed creating the certificate."));
    return failure(QStringLiteral("Failed creating the certificate %1.").arg(certificate));
}

CommandError certificateNotWritten(const QString& pem)
{
    return failure(QStringLiteral("Failed writing the certificate to %1.").arg(pem));
}

CommandError containerNotWritten(const QString& pfx, const QString& pem)
{
    return failure(
        QStringLiteral("Failed writing the PKCS#12 file %1; the certificate %2 was not written either, "
                       "so that the two always belong together.")
            .arg(pfx, pem));
}

CommandError levelNotWritten(const QString& stem)
{
    return failure(
        QStringLiteral("Failed writing the files of the certificate %1; nothing was changed.").arg(stem));
}

CommandError chainFileNotWritten(const QString& name)
{
    return failure(QStringLiteral("Failed writing %1; nothing was changed.").arg(name));
}

CommandError folderNotMade(const QString& folder)
{
    return failure(QStringLiteral("The folder %1 cannot be made.").arg(folder));
}

CommandError folderNotWritable(const QString& folder)
{
    return failure(QStringLiteral("Nothing can be written in the folder %1.").arg(folder));
}

CommandError folderBusy(const QString& folder)
{
    return failure(QStringLiteral("Another run is writing into the folder %1; nothing was changed. Run again "
                                  "when it has finished.")
                       .arg(folder));
}

CommandError interruptedNotFinished(const QString& folder, const QString& journal)
{
    return failure(QStringLiteral("The folder %1 holds the files of an interrupted run that cannot be put in "
                                  "place (%2 lists them); nothing else was done.")
                       .arg(folder, journal));
}

CommandError stagedTargetIsFolder(const QString& target, const QString& folder)
{
    return failure(QStringLiteral("Writing the files failed (%1 is a folder, not a file that can be replaced); "
                                  "the folder %2 is as it was.")
                       .arg(target, folder));
}

CommandError stagedTargetRefused(const QString& target, const QString& folder)
{
    return failure(QStringLiteral("Writing the files failed (%1 is a link that may not be followed, a device "
                                  "or a file you may not write); the folder %2 is as it was.")
                       .arg(target, folder));
}

CommandError stagedNotBegun(const QString& folder)
{
    return failure(QStringLiteral("Writing the files failed (no room to begin); the folder %1 is as it was.")
                       .arg(folder));
}

CommandError stagedNotPlaced(const QString& target, const QString& folder)
{
    return failure(QStringLiteral("Writing the files failed (%1 cannot be put in place); the folder %2 is as it "
                                  "was.")
                       .arg(target, folder));
}

CommandError stagedNotPutBack(const QString& target, const QString& folder)
{
    return failure(QStringLiteral("Writing the files failed (%1 cannot be put in place), and not every file "
                                  "could be put back; the next chain run into %2 completes the new files.")
                       .arg(target, folder));
}

CommandError stoppedBySignal()
{
    return failure(QStringLiteral("Stopped on request; nothing was changed."));
}

CommandError requestRefused(const QString& path, CertificateRequests::RequestFinding finding)
{
    using Finding = CertificateRequests::RequestFinding;
    QString reason;
    switch (finding)
    {
    case Finding::Valid:
    case Finding::Unreadable:
        return fileUnreadable(path);
    case Finding::TooLarge:
        reason = QStringLiteral("is larger than %1 bytes, more than any request holds")
                     .arg(CertificateRequests::kLargestRequest);
        break;
    case Finding::NotARequest:
        reason = QStringLiteral("is not a PKCS#10 certificate request (PEM or DER)");
        break;
    case Finding::NotVersion1:
        reason = QStringLiteral("is not a version 1 request");
        break;
    case Finding::WeakDigest:
        reason = QStringLiteral("is not signed with SHA-256 or stronger");
        break;
    case Finding::SignatureFails:
        reason = QStringLiteral("carries a signature its own key does not verify: nothing proves its maker "
                                "holds the key");
        break;
    case Finding::NotRsa:
        reason = QStringLiteral("is for a key that is not RSA");
        break;
    case Finding::NotRsa2048:
        reason = QStringLiteral("is for an RSA key whose modulus is not 2048 bits");
        break;
    case Finding::NotExponent65537:
        reason = QStringLiteral("is for an RSA key whose public exponent is not 65537");
        break;
    case Finding::KeyCheckFails:
        reason = QStringLiteral("is for an RSA key that fails OpenSSL's public-key check");
        break;
    case Finding::DnQualifierDiffers:
        reason = QStringLiteral("proposes a dnQualifier that is not the one of its key");
        break;
    case Finding::CommonNameUnreadable:
        reason = QStringLiteral("has a common name that is not text");
        break;
    }
    return failure(QStringLiteral("The request %1 %2; nothing was issued.").arg(path, reason));
}

CommandError requestOfIssuerKey(const QString& path, const QString& issuer)
{
    return failure(QStringLiteral("The request %1 is for the key of the issuer %2; a leaf needs a key of its "
                                  "own. Nothing was issued.")
                       .arg(path, issuer));
}

CommandError requestsShareKey(const QString& path, const QString& other)
{
    return failure(QStringLiteral("The requests %1 and %2 are for the same key; every leaf needs a key of "
                                  "its own. Nothing was issued.")
                       .arg(other, path));
}

CommandError requestNamesClash(const QString& path, const QString& stem)
{
    return usage(QStringLiteral("The request %1 would give the files of another request of the run (%2.pem); "
                                "rename one of them.")
                     .arg(path, stem));
}

CommandError requestWithoutEntity(const QString& path, const QString& option)
{
    return failure(QStringLiteral("The request %1 names no entity after the roles of its common name; give "
                                  "%2.")
                       .arg(path, option));
}

CommandError inRequest(const QString& path, const CommandError& error)
{
    return failure(QStringLiteral("The request %1: %2").arg(path, error.sentence));
}

CommandError onBatchLine(const QString& path, int line, const CommandError& error)
{
    return failure(QStringLiteral("%1 line %2: %3 Nothing was issued.")
                       .arg(path, QString::number(line), error.sentence));
}

CommandError batchHeader(const QString& header)
{
    return failure(
        QStringLiteral("the first line that is not a comment must be the header \"%1\".").arg(header));
}

CommandError batchLineFields(const QString& header)
{
    return failure(
        QStringLiteral("a leaf's line has three fields separated by commas, as the header \"%1\" says.")
            .arg(header));
}

CommandError batchName(const QString& name)
{
    return failure(
        QStringLiteral("the name \"%1\" is not a file name inside the folder (no folder separator, "
                       "not empty).")
            .arg(name));
}

CommandError batchNameTwice(const QString& name)
{
    return failure(QStringLiteral("the name \"%1\" is given by an earlier line too.").arg(name));
}

CommandError batchEntityEmpty()
{
    return failure(QStringLiteral("the entity is empty; every leaf names its entity."));
}

CommandError batchTooLong(int most)
{
    return failure(QStringLiteral("a run takes at most %1 leaves; split the file.").arg(most));
}

CommandError batchEmpty(const QString& path)
{
    return failure(QStringLiteral("The batch file %1 names no leaf.").arg(path));
}

CommandError batchFileTooLarge(const QString& path, qint64 largest)
{
    return failure(
        QStringLiteral("The batch file %1 is larger than %2 bytes; split it.").arg(path).arg(largest));
}

CommandError notOneRoot(const QString& path)
{
    return failure(
        QStringLiteral("The file %1 of --root does not hold one certificate (PEM or DER).").arg(path));
}

CommandError documentWithOthers(const QString& path)
{
    return usage(
        QStringLiteral("The signed document %1 is verified alone: give no other file with it.").arg(path));
}

CommandError documentRefused(const QString& path, SignedComposition::Failure kind, const QString& detail)
{
    using Failure = SignedComposition::Failure;
    QString why;
    switch (kind)
    {
    case Failure::NotXml:
        why = QStringLiteral("is not well-formed XML");
        break;
    case Failure::UnsafeXml:
        why = QStringLiteral("carries a document type declaration, which no playlist or packing list has");
        break;
    case Failure::NotComposition:
        why = QStringLiteral("is neither a composition playlist nor a packing list of SMPTE or Interop");
        break;
    case Failure::BadField:
        why = QStringLiteral("has an Id, IssueDate or X509IssuerSerial that cannot be read");
        break;
    case Failure::NoSignature:
        why = QStringLiteral("is not signed");
        break;
    case Failure::NotEnveloped:
        why = QStringLiteral("has a signature that does not cover exactly the whole document");
        break;
    case Failure::UnsupportedAlgorithm:
        why = QStringLiteral("is signed with an algorithm other than RSA with SHA-256 or SHA-1");
        break;
    case Failure::BadCertificate:
        why = QStringLiteral("carries no readable certificate in its signature");
        break;
    case Failure::NoSigningCertificate:
        why = QStringLiteral("carries several leaf certificates, none of them named by its Signer");
        break;
    case Failure::CheckUnavailable:
        why = QStringLiteral("cannot be checked: the XML signature library could not be set up");
        break;
    default:
        why = QStringLiteral("cannot be read");
        break;
    }
    QString sentence = QStringLiteral("The document %1 %2.").arg(path, why);
    if (!detail.isEmpty())
        sentence += QStringLiteral(" (%1)").arg(detail);
    return failure(sentence);
}

CommandError nothingToExport()
{
    return usage(QStringLiteral("Nothing to export: give --key-pem, --chain-pem or --pkcs12."));
}

CommandError modifierWithout(const QString& modifier, const QString& output)
{
    return usage(QStringLiteral("The option %1 is about %2, which is not given.").arg(modifier, output));
}

CommandError exportReadsOneFile(const QString& extra)
{
    return usage(QStringLiteral("Unexpected argument \"%1\": export reads one PKCS#12 file.").arg(extra));
}

CommandError outputIsInput(const QString& path, const QString& option)
{
    return usage(QStringLiteral("The output %1 of %2 is the input file; export never writes over its input.")
                     .arg(path, option));
}

CommandError outputsSame(const QString& first, const QString& second, const QString& path)
{
    return usage(QStringLiteral("The options %1 and %2 name the same file %3.").arg(first, second, path));
}

CommandError exportNotWritten(const QString& path, const QStringList& writtenBefore)
{
    QString sentence = QStringLiteral("Failed writing %1.").arg(path);
    if (!writtenBefore.isEmpty())
        sentence += QStringLiteral(" Written before it: %1.").arg(writtenBefore.join(QStringLiteral(", ")));
    return failure(sentence);
}

// --- renew ----------------------------------------------------------------------------------------

CommandError renewReadsOneFile(const QString& extra)
{
    return usage(QStringLiteral("renew renews one .pfx file (%1 is one too many); give --chain to renew a "
                                "whole chain.")
                     .arg(extra));
}

CommandError notOfProfile(const QString& path, const QString& commonName,
                          CertificateRules::RenewalFinding finding)
{
    using Finding = CertificateRules::RenewalFinding;
    QString lacking;
    switch (finding)
    {
    case Finding::NotRsa2048:
        lacking = QStringLiteral("its key is not RSA-2048");
        break;
    case Finding::NoBasicConstraints:
        lacking = QStringLiteral("it has no basicConstraints");
        break;
    case Finding::NoKeyUsage:
        lacking = QStringLiteral("it has no keyUsage");
        break;
    case Finding::DnQualifierNotOfKey:
        lacking = QStringLiteral("its dnQualifier is not the one of its key");
        break;
    case Finding::NamesMissing:
    case Finding::Renewable:
        lacking = QStringLiteral("its subject lacks an O, an OU or a CN");
        break;
    }
    return failure(
        QStringLiteral("%1 (%2) is not a certificate of the d-cinema profile this tool renews: %3.")
            .arg(path, commonName, lacking));
}

CommandError issuerNeeded(const QString& path, const QString& issuerCommonName)
{
    return usage(
        QStringLiteral("%1 was issued by %2: give its .pfx with --issuer.").arg(path, issuerCommonName));
}

CommandError rootTakesNoIssuer(const QString& path)
{
    return usage(QStringLiteral("%1 is a root, its own issuer: renew it without --issuer.").arg(path));
}

CommandError wrongIssuer(const QString& path, const QString& issuerCommonName, const QString& issuerPath)
{
    return failure(QStringLiteral("%1 was not issued by %2 (%3): give the issuer it names, renewed or not.")
                       .arg(path, issuerPath, issuerCommonName));
}

CommandError outputOverInput(const QString& output, const QString& input)
{
    return usage(QStringLiteral("%1 would replace %2, which is read: renewing never writes over its input "
                                "or its issuer, not even with --force.")
                     .arg(output, input));
}

CommandError notOneChain(const QString& what)
{
    return failure(
        QStringLiteral("The .pfx files of %1 are not one chain from a root down to one certificate "
                       "that issued none of the others.")
            .arg(what));
}

CommandError chainOverItself(const QString& folder)
{
    return usage(QStringLiteral("--out-dir %1 is the folder of the chain renewed: give another folder, or "
                                "--force to replace the old chain.")
                     .arg(folder));
}

CommandError renewedNotWritten(const QString& path)
{
    return failure(QStringLiteral("Failed writing %1; nothing was changed.").arg(path));
}

// --- expiry ---------------------------------------------------------------------------------------

CommandError noCertificatesFound()
{
    return failure(QStringLiteral("No certificate was found in the paths given."));
}

// --- tokens ---------------------------------------------------------------------------------------

CommandError tokenUriRefused(UriFinding finding, const QString& uri, const QString& attribute,
                             const QString& option)
{
    switch (finding)
    {
    case UriFinding::PinInUri:
        // The URI is not repeated: it holds the PIN.
        return usage(QStringLiteral("%1 carries a PIN (%2), which no command line may hold; give --pin-file "
                                    "or set TALVANE_PIN instead.")
                         .arg(option, attribute));
    case UriFinding::BadEncoding:
        return usage(QStringLiteral("%1 %2: the value of %3 is not percent-encoded UTF-8 (a % needs two "
                                    "hexadecimal digits after it).")
                         .arg(option, uri, attribute));
    case UriFinding::UnknownAttribute:
        return usage(
            QStringLiteral("%1 %2: %3 is not an attribute a token or key is found by here; use token=, "
                           "serial=, object=, id=, type= and ?module-path=.")
                .arg(option, uri, attribute));
    case UriFinding::AttributeTwice:
        return usage(QStringLiteral("%1 %2 gives %3 twice.").arg(option, uri, attribute));
    case UriFinding::WrongObjectType:
        return usage(
            QStringLiteral("%1 %2 names an object of another type; a key in a token is type=private.")
                .arg(option, uri));
    case UriFinding::NotPkcs11:
    case UriFinding::Valid:
        break;
    }
    return usage(QStringLiteral("%1 %2 is not a pkcs11: URI.").arg(option, uri));
}

CommandError tokenObjectNotNamed(const QString& uri, const QString& option)
{
    return usage(QStringLiteral("%1 %2 names no token or no key: give token=LABEL and object=KEY-LABEL.")
                     .arg(option, uri));
}

CommandError tokenModuleMissing(const QString& module)
{
    return failure(QStringLiteral("The PKCS#11 module %1 does not exist; give the module with --module or "
                                  "TALVANE_PKCS11_MODULE.")
                       .arg(module));
}

CommandError tokenModuleUnloadable(const QString& module)
{
    return failure(QStringLiteral("%1 could not be loaded as a PKCS#11 module.").arg(module));
}

CommandError tokenMissing(const QString& token, const QString& module)
{
    return failure(QStringLiteral("No token labelled \"%1\" is present through %2; is it plugged in and "
                                  "initialised?")
                       .arg(token, module));
}

CommandError tokenAmbiguous(const QString& token)
{
    return failure(QStringLiteral("More than one token matches \"%1\"; add serial= to the URI to choose one.")
                       .arg(token));
}

CommandError tokenSessionRefused(const QString& token)
{
    return failure(
        QStringLiteral("The token \"%1\" refused a read-write session (is it write-protected?).").arg(token));
}

CommandError tokenWrongPin(const QString& token)
{
    return failure(QStringLiteral("The token \"%1\" refused the PIN: it is wrong. It was not tried again; "
                                  "tokens lock after a few wrong PINs.")
                       .arg(token));
}

CommandError tokenPinLocked(const QString& token)
{
    return failure(
        QStringLiteral("The PIN of the token \"%1\" is locked; its security officer must unlock it.")
            .arg(token));
}

CommandError tokenLoginFailed(const QString& token)
{
    return failure(QStringLiteral("The token \"%1\" refused the login.").arg(token));
}

CommandError tokenObjectMissing(const QString& object, const QString& token)
{
    return failure(QStringLiteral("The token \"%1\" holds no private key \"%2\".").arg(token, object));
}

CommandError tokenObjectTaken(const QString& object, const QString& token)
{
    return failure(QStringLiteral("The token \"%1\" already holds an object labelled \"%2\"; give another "
                                  "object= so that no key is shadowed.")
                       .arg(token, object));
}

CommandError tokenKeyNotMade(const QString& token)
{
    return failure(QStringLiteral("The token \"%1\" did not make the RSA-2048 key.").arg(token));
}

CommandError tokenCertificateNotStored(const QString& token, const QString& pem)
{
    return failure(QStringLiteral("The certificate was written to %1 but the token \"%2\" did not store it "
                                  "beside its key; give %1 as --issuer-cert when issuing with this key.")
                       .arg(pem, token));
}

CommandError tokenCertificateMissing(const QString& uri, const QString& option)
{
    return failure(
        QStringLiteral("The token holds no certificate for the key %1; give its certificate with %2.")
            .arg(uri, option));
}

CommandError tokenCertificateNotOfKey(const QString& path, const QString& uri)
{
    return failure(QStringLiteral("No certificate in %1 is the certificate of the key %2.").arg(path, uri));
}

CommandError tokenKeyStaysInside(const QString& uri, const QString& option)
{
    return failure(QStringLiteral("The key %1 is held in a token and cannot leave it: %2 cannot be written. "
                                  "Its certificate can be exported with --chain-pem.")
                       .arg(uri, option));
}

CommandError tokenKeyNotRoot(const QString& uri, const QString& commonName)
{
    return failure(QStringLiteral("The key %1 is of %2, which is not a root: renew renews a root in its token, "
                                  "and an intermediate whose key is held in a token cannot be renewed.")
                       .arg(uri, commonName));
}

CommandError tokenRootKeepsKey(const QString& uri, const QString& option)
{
    return usage(QStringLiteral("A root in a token (%1) is renewed with its own key, not with %2: make a new "
                                "root with root --token for a new key.")
                     .arg(uri, option));
}

} // namespace Refuse
