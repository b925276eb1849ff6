// Reading the files a user names: PEM, DER and PKCS#12, told apart by their content, each at
// most ChainVerifier::kLargestFile long, and every PEM block either read or reported.

#include "chainverifier.h"
#include "pkcs12work.h"
#include "verifyutil.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>

#include <cstring>

using namespace chainverify;

namespace
{

const unsigned char* bytesOf(const QByteArray& data)
{
    return reinterpret_cast<const unsigned char*>(data.constData());
}

// PFX ::= SEQUENCE { version INTEGER (v3), authSafe, macData OPTIONAL }: the outer sequence
// (definite or, as BER allows, indefinite length) and the version, nothing more.
bool looksLikePkcs12(const QByteArray& content)
{
    const unsigned char* cursor = bytesOf(content);
    const unsigned char* end = cursor + content.size();
    long length = 0;
    int tag = 0;
    int objectClass = 0;
    const int outer = ASN1_get_object(&cursor, &length, &tag, &objectClass, long(end - cursor));
    if ((outer & 0x80) || !(outer & V_ASN1_CONSTRUCTED) || tag != V_ASN1_SEQUENCE ||
        objectClass != V_ASN1_UNIVERSAL)
        return false;
    const int version = ASN1_get_object(&cursor, &length, &tag, &objectClass, long(end - cursor));
    return !(version & 0x80) && version == 0 && tag == V_ASN1_INTEGER && objectClass == V_ASN1_UNIVERSAL &&
           length == 1 && cursor < end && *cursor == 3;
}

bool isCertificateBlock(const char* name)
{
    return std::strcmp(name, PEM_STRING_X509) == 0 || std::strcmp(name, PEM_STRING_X509_OLD) == 0 ||
           std::strcmp(name, PEM_STRING_X509_TRUSTED) == 0;
}

// The lines that open a PEM block, counted apart from the reader: a block cut inside its own
// first line is not one the reader recognises, yet it is a block that cannot be read.
int blockOpenings(const QByteArray& text)
{
    int count = text.startsWith("-----BEGIN ") ? 1 : 0;
    for (qsizetype at = text.indexOf("\n-----BEGIN "); at >= 0; at = text.indexOf("\n-----BEGIN ", at + 1))
        ++count;
    return count;
}

// Every block in file order; a certificate block that does not hold exactly one certificate,
// or any block the reader gives up on, ends the reading as damaged.
void readPemBlocks(const QByteArray& text, ChainVerifier::CertificateFile& file)
{
    using Kind = ChainVerifier::CertificateFile::Kind;
    file.kind = Kind::Pem;
    BioPtr bio(BIO_new_mem_buf(text.constData(), int(text.size())));
    int blocks = 0;
    while (bio)
    {
        char* name = nullptr;
        char* header = nullptr;
        unsigned char* data = nullptr;
        long length = 0;
        const ErrorScope blockErrors; // each failed block raises errors of its own
        if (!PEM_read_bio(bio.get(), &name, &header, &data, &length))
        {
            // The end of the text reads as "no start line"; anything else is a block gone wrong.
            if (ERR_GET_REASON(ERR_peek_last_error()) != PEM_R_NO_START_LINE)
                file.damagedBlock = blocks + 1;
            break;
        }
        ++blocks;
        X509Ptr certificate;
        bool damaged = false;
        if (isCertificateBlock(name))
        {
            const unsigned char* cursor = data;
            const bool trusted = std::strcmp(name, PEM_STRING_X509_TRUSTED) == 0;
            certificate.reset(trusted ? d2i_X509_AUX(nullptr, &cursor, length)
                                      : d2i_X509(nullptr, &cursor, length));
            damaged = !certificate || cursor != data + length;
        }
        OPENSSL_free(name);
        OPENSSL_free(header);
        OPENSSL_free(data);
        if (damaged)
        {
            file.damagedBlock = blocks;
            break;
        }
        if (certificate)
            file.certificates.push_back(std::move(certificate));
    }
    if (!file.damagedBlock && blocks < blockOpenings(text))
        file.damagedBlock = blocks + 1;
    if (file.damagedBlock)
        file.kind = Kind::Damaged;
}

} // namespace

std::vector<X509Ptr> ChainVerifier::loadPemCertificates(const QString& path)
{
    CertificateFile file = loadCertificateFile(path);
    if (file.kind != CertificateFile::Kind::Pem && file.kind != CertificateFile::Kind::Damaged)
        return {};
    return std::move(file.certificates);
}

ChainVerifier::CertificateFile ChainVerifier::loadCertificateFile(const QString& path)
{
    const ErrorScope errors; // a container is not a certificate
    initOpenSsl();
    using Kind = CertificateFile::Kind;
    CertificateFile result;
    QByteArray content;
    switch (readBounded(path, kLargestFile, content))
    {
    case FileRead::Unreadable:
        result.kind = Kind::Unreadable;
        return result;
    case FileRead::TooLarge:
        result.kind = Kind::TooLarge;
        return result;
    case FileRead::Read:
        break;
    }
    if (content.isEmpty())
    {
        result.kind = Kind::Empty;
        return result;
    }
    if (looksLikePkcs12(content))
    {
        result.kind = Kind::Pkcs12;
        return result;
    }
    const unsigned char* cursor = bytesOf(content);
    X509Ptr certificate(d2i_X509(nullptr, &cursor, long(content.size())));
    // A certificate followed by anything is not a certificate file.
    if (certificate && cursor == bytesOf(content) + content.size())
    {
        result.kind = Kind::Der;
        result.certificates.push_back(std::move(certificate));
        return result;
    }
    // Text before the first block (what `openssl x509 -text` prints, say) may be of any length.
    if (content.contains("-----BEGIN "))
    {
        readPemBlocks(content, result);
        return result;
    }
    result.kind = Kind::Other;
    return result;
}

namespace
{

using Outcome = ChainVerifier::Pkcs12Contents::Outcome;

// PKCS12_parse says only that it failed: a MAC that does not verify means the password is not
// the container's, as PKCS12_parse itself tries an empty one.
Outcome whyUnopened(PKCS12* container, const QByteArray& password)
{
    if (!PKCS12_mac_present(container))
        return Outcome::Damaged;
    if (password.isEmpty())
        return PKCS12_verify_mac(container, nullptr, 0) || PKCS12_verify_mac(container, "", 0)
                   ? Outcome::Damaged
                   : Outcome::WrongPassword;
    return PKCS12_verify_mac(container, password.constData(), int(password.size())) ? Outcome::Damaged
                                                                                    : Outcome::WrongPassword;
}

} // namespace

ChainVerifier::Pkcs12Contents ChainVerifier::loadPkcs12(const QString& path, const QByteArray& password)
{
    const ErrorScope errors;
    initOpenSsl();
    Pkcs12Contents contents;
    auto refuse = [&contents](Outcome outcome, const QString& error)
    {
        contents = Pkcs12Contents();
        contents.outcome = outcome;
        contents.error = error;
        return std::move(contents);
    };
    QByteArray der;
    switch (readBounded(path, kLargestFile, der))
    {
    case FileRead::Unreadable:
        return refuse(Outcome::Unreadable, QStringLiteral("cannot open %1").arg(path));
    case FileRead::TooLarge:
        return refuse(Outcome::TooLarge,
                      QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(kLargestFile));
    case FileRead::Read:
        break;
    }
    const unsigned char* cursor = bytesOf(der);
    Pkcs12Ptr container(d2i_PKCS12(nullptr, &cursor, long(der.size())));
    if (!container)
        return refuse(Outcome::NotPkcs12, QStringLiteral("%1 is not a PKCS#12 container").arg(path));
    if (AssessPkcs12Work(container.get(), password.constData()) == Pkcs12Work::TooMuch)
        return refuse(Outcome::IterationsTooHigh,
                      QStringLiteral("%1 asks for more than %2 key-derivation iterations")
                          .arg(path)
                          .arg(kPkcs12MostIterations));
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    STACK_OF(X509)* chain = nullptr;
    if (!PKCS12_parse(container.get(), password.constData(), &key, &certificate, &chain))
        return refuse(whyUnopened(container.get(), password),
                      QStringLiteral("PKCS12_parse refuses %1: %2").arg(path, lastOpenSslError()));
    contents.key.reset(key);
    contents.certificate.reset(certificate);
    for (int i = 0; i < sk_X509_num(chain); ++i)
        contents.chain.emplace_back(sk_X509_value(chain, i));
    sk_X509_free(chain);
    if (!contents.certificate)
        return refuse(Outcome::NoCertificate,
                      QStringLiteral("%1 holds no certificate matching a key").arg(path));
    contents.outcome = Outcome::Ok;
    return contents;
}
