#include "certificatesources.h"

#include "chainverifier.h"
#include "console.h"
#include "notes.h"
#include "pkcs12work.h"
#include "refusals.h"
#include "tokenaccess.h"

#include <QFileInfo>

CertificateSources::CertificateSources(const Invocation& invocation) : mInvocation(invocation)
{
    ChainVerifier::initOpenSsl();
}

Refusal CertificateSources::addOperands()
{
    const QStringList files = mInvocation.operands();
    if (files.isEmpty())
        return Refuse::noFiles(QLatin1String(mInvocation.command().name));
    for (const QString& path : files)
        if (auto error = add(path))
            return error;
    return std::nullopt;
}

Refusal CertificateSources::addFromToken(const QString& uri)
{
    TokenAccess token;
    if (auto error = OpenToken(mInvocation, uri, Option::Token, token))
        return error;
    X509Ptr certificate = token.session->findCertificate(token.uri.object, token.uri.id);
    if (!certificate)
        return Refuse::tokenCertificateMissing(uri, OptionText(Option::IssuerCert));
    mInvocation.console().errLine(Note::keyInToken(uri));
    mCertificates.push_back(std::move(certificate));
    return std::nullopt;
}

Refusal CertificateSources::add(const QString& path)
{
    if (IsPkcs11Uri(path))
        return addFromToken(path);
    if (!QFileInfo::exists(path))
        return Refuse::fileMissing(path);
    using Kind = ChainVerifier::CertificateFile::Kind;
    ChainVerifier::CertificateFile file = ChainVerifier::loadCertificateFile(path);
    switch (file.kind)
    {
    case Kind::Unreadable:
        return Refuse::fileUnreadable(path);
    case Kind::Empty:
        return Refuse::fileEmpty(path);
    case Kind::TooLarge:
        return Refuse::fileTooLarge(path, ChainVerifier::kLargestFile);
    case Kind::Damaged:
        // A damaged block is never passed over: judging the blocks before it would judge another
        // chain.
        if (file.certificates.empty())
            return Refuse::noCertificateIn(path);
        return Refuse::damagedBlock(path, file.damagedBlock);
    case Kind::Other:
        return Refuse::notACertificateFile(path);
    case Kind::Pem:
    case Kind::Der:
        if (file.certificates.empty())
            return Refuse::noCertificateIn(path);
        for (X509Ptr& certificate : file.certificates)
            mCertificates.push_back(std::move(certificate));
        return std::nullopt;
    case Kind::Pkcs12:
        break;
    }
    if (auto error = needPassword(path))
        return error;
    // Borrows the password's bytes: a copy would outlive the wiping.
    ChainVerifier::Pkcs12Contents contents =
        ChainVerifier::loadPkcs12(path, QByteArray::fromRawData(mPassword.data(), mPassword.size()));
    if (auto error = ContainerRefusal(path, contents))
        return error;
    // The container holds the certificate with the key first; the chain above it is put in
    // order afterwards anyway.
    for (X509Ptr& certificate : contents.chain)
        mCertificates.push_back(std::move(certificate));
    mCertificates.push_back(std::move(contents.certificate));
    return std::nullopt;
}

Refusal ContainerRefusal(const QString& path, const ChainVerifier::Pkcs12Contents& contents)
{
    using Outcome = ChainVerifier::Pkcs12Contents::Outcome;
    switch (contents.outcome)
    {
    case Outcome::Ok:
        return std::nullopt;
    case Outcome::Unreadable:
        return Refuse::fileUnreadable(path);
    case Outcome::TooLarge:
        return Refuse::fileTooLarge(path, ChainVerifier::kLargestFile);
    case Outcome::NotPkcs12:
        return Refuse::notACertificateFile(path);
    case Outcome::IterationsTooHigh:
        return Refuse::tooManyIterations(path, kPkcs12MostIterations);
    case Outcome::NoCertificate:
        return Refuse::noCertificateIn(path);
    case Outcome::WrongPassword:
    case Outcome::Damaged:
        break;
    }
    return Refuse::containerUnreadable(path);
}

std::vector<X509*> CertificateSources::borrowed() const
{
    std::vector<X509*> out;
    for (const X509Ptr& certificate : mCertificates)
        out.push_back(certificate.get());
    return out;
}

Refusal CertificateSources::needPassword(const QString& path)
{
    if (mHavePassword)
        return std::nullopt;
    const PasswordSource source{mInvocation.value(Option::PasswordFile), "TALVANE_PASSWORD",
                                Option::PasswordFile, Note::containerPurpose(path), false};
    if (auto error = ObtainPassword(mInvocation.console(), source, mPassword))
        return error;
    mHavePassword = true;
    return std::nullopt;
}
