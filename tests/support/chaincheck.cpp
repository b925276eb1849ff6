// The tests' checker over the chain verifier: errors only, one line each.

#include "chaincheck.h"

void ChainCheck::initOpenSsl()
{
    ChainVerifier::initOpenSsl();
}

namespace
{

QStringList errorsOf(const std::vector<X509*>& chain, const ChainCheck::Options& options)
{
    QStringList out;
    for (const ChainFinding& finding : ChainVerifier::verify(chain, options))
        if (finding.isError())
            out << finding.line();
    return out;
}

} // namespace

QStringList ChainCheck::check(const std::vector<X509*>& chain, const Options& options)
{
    // The tool's own leaves are content signers, so the tests hold them to that.
    Options judged = options;
    judged.signer = true;
    return errorsOf(chain, judged);
}

QStringList ChainCheck::checkPemFiles(const QStringList& rootFirstPaths, const Options& options)
{
    return checkFiles(rootFirstPaths, options, true);
}

QStringList ChainCheck::checkDevicePemFiles(const QStringList& rootFirstPaths)
{
    return checkFiles(rootFirstPaths, Options(), false);
}

QStringList ChainCheck::checkFiles(const QStringList& rootFirstPaths, const Options& options, bool signer)
{
    std::vector<X509Ptr> chain;
    QStringList out;
    for (const QString& path : rootFirstPaths)
    {
        std::vector<X509Ptr> inFile = loadPemCertificates(path);
        if (inFile.empty())
            out << QStringLiteral("load: %1: no certificate can be read").arg(path);
        else
            chain.push_back(std::move(inFile.front()));
    }
    if (!out.isEmpty())
        return out;
    return signer ? check(borrow(chain), options) : errorsOf(borrow(chain), options);
}

std::vector<X509Ptr> ChainCheck::loadPemCertificates(const QString& path)
{
    return ChainVerifier::loadPemCertificates(path);
}

ChainCheck::Pkcs12Contents ChainCheck::loadPkcs12(const QString& path, const QByteArray& password)
{
    return ChainVerifier::loadPkcs12(path, password);
}

std::vector<X509*> ChainCheck::borrow(const std::vector<X509Ptr>& certificates)
{
    std::vector<X509*> borrowed;
    borrowed.reserve(certificates.size());
    for (const X509Ptr& certificate : certificates)
        borrowed.push_back(certificate.get());
    return borrowed;
}

QString ChainCheck::describe(const X509* certificate)
{
    return ChainVerifier::describe(certificate);
}
