// Certificate fields, extensions, thumbprint, Base64 and the self-signed certificate in one call.

#include "enginediagnostics.h"
#include "engineinit.h"
#include "opensslutil.h"
#include "osslptr.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>
#include <openssl/sha.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace
{

// A printed validity time is read into a buffer of this size.
constexpr int kTimeBufferSize = 1024;
// Largest DER TBSCertificate accepted for a thumbprint.
constexpr int kTbsBufferSize = 8192;

int ExtractTime(const ASN1_TIME* time, std::string* out)
{
    BioPtr memory(BIO_new(BIO_s_mem()));
    if (!memory || time == nullptr || out == nullptr)
        return 0;
    // A malformed time prints "Bad time value" and fails; the text is still what callers show.
    ASN1_TIME_print(memory.get(), time);
    char buffer[kTimeBufferSize] = {};
    const int got = BIO_read(memory.get(), buffer, sizeof buffer - 1);
    if (got <= 0)
        return 0;
    out->assign(buffer, static_cast<std::size_t>(got));
    return 1;
}

X509ExtensionPtr MakeExtension(X509* issuer, X509* subject, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, subject, nullptr, nullptr, 0);
    X509V3_set_ctx_nodb(&context);
    return X509ExtensionPtr(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
}

} // namespace

int OpenSSLUtil::X509ExtractSerialNumber(X509* cert, int* out)
{
    ErrorQueueScope errors;
    if (cert == nullptr)
    {
        Diagnose("OpenSSLUtil::X509ExtractSerialNumber(): Invalid input!\n");
        return 0;
    }
    if (out == nullptr)
        return 0;
    // long is 64 bits here, so ASN1_INTEGER_get alone would no longer fail for large serials.
    int64_t serial = 0;
    if (ASN1_INTEGER_get_int64(&serial, X509_get0_serialNumber(cert)) != 1 || serial < INT_MIN ||
        serial > INT_MAX)
        serial = -1;
    *out = static_cast<int>(serial);
    return 1;
}

int OpenSSLUtil::X509ExtractBasicConstraints(X509* cert, bool* ca, int* pathLength)
{
    ErrorQueueScope errors;
    if (cert == nullptr)
    {
        Diagnose("OpenSSLUtil::X509ExtractBasicConstraints(): Certificate not set!\n");
        return 0;
    }
    BasicConstraintsPtr constraints(
        static_cast<BASIC_CONSTRAINTS*>(X509_get_ext_d2i(cert, NID_basic_constraints, nullptr, nullptr)));
    if (!constraints)
    {
        Diagnose("OpenSSLUtil::X509ExtractBasicConstraints(): Reading Basic Constraints failed!\n");
        return 0;
    }
    int64_t length = 0;
    if (constraints->pathlen != nullptr && ASN1_INTEGER_get_int64(&length, constraints->pathlen) != 1)
        length = INT_MAX;
    if (ca != nullptr)
        *ca = constraints->ca != 0;
    if (pathLength != nullptr)
        *pathLength = length > INT_MAX ? INT_MAX : length < INT_MIN ? INT_MIN : static_cast<int>(length);
    return 1;
}

int OpenSSLUtil::X509ExtractValidityStart(X509* cert, std::string* out)
{
    ErrorQueueScope errors;
    if (cert == nullptr)
    {
        Diagnose("OpenSSLUtil::X509ExtractValidityStart(): Invalid input!\n");
        return 0;
    }
    return ExtractTime(X509_get0_notBefore(cert), out);
}

int OpenSSLUtil::X509ExtractValidityEnd(X509* cert, std::string* out)
{
    ErrorQueueScope errors;
    if (cert == nullptr)
    {
        Diagnose("OpenSSLUtil::X509ExtractValidityEnd(): Invalid input!\n");
        return 0;
    }
    return ExtractTime(X509_get0_notAfter(cert), out);
}

int OpenSSLUtil::X509IsSHAN(X509* cert, int bits)
{
    ErrorQueueScope errors;
    if (cert == nullptr)
    {
        Diagnose("OpenSSLUtil::X509IsSHAN(): Certificate not set!\n");
        return 0;
    }
    const ASN1_BIT_STRING* signature = nullptr;
    const X509_ALGOR* algorithm = nullptr;
    X509_get0_signature(&signature, &algorithm, cert);
    const ASN1_OBJECT* object = nullptr;
    if (algorithm != nullptr)
        X509_ALGOR_get0(&object, nullptr, nullptr, algorithm);
    if (object == nullptr || OBJ_obj2nid(object) == NID_undef)
    {
        Diagnose("OpenSSLUtil::X509IsSHAN(): Certificate signature algorithm is missing!\n");
        return 0;
    }
    if (signature == nullptr || ASN1_STRING_length(signature) <= 0)
    {
        Diagnose("OpenSSLUtil::X509IsSHAN(): Certificate signature is missing!\n");
        return 0;
    }
    const int nid = OBJ_obj2nid(object);
    switch (bits)
    {
    case 1:
        return nid == NID_sha1WithRSAEncryption ? 1 : 0;
    case 256:
        return nid == NID_sha256WithRSAEncryption ? 1 : 0;
    default:
        return 0;
    }
}

int OpenSSLUtil::X509GetThumbprintSHA1(X509* cert, unsigned char* out)
{
    ErrorQueueScope errors;
    if (cert == nullptr || out == nullptr)
    {
        Diagnose("OpenSSLUtil::X509GetThumbprintSHA1(): Invalid input!\n");
        return 0;
    }
    // The TBSCertificate alone (i2d_X509_CINF of old); its length is known before encoding.
    const int length = i2d_re_X509_tbs(cert, nullptr);
    if (length <= 0)
    {
        std::fprintf(stderr, "i2d_X509_CINF error\n");
        return 0;
    }
    if (length > kTbsBufferSize)
    {
        std::fprintf(stderr, "i2d_X509_CINF value exceeds buffer length\n");
        return 0;
    }
    unsigned char buffer[kTbsBufferSize];
    unsigned char* cursor = buffer;
    if (i2d_re_X509_tbs(cert, &cursor) != length)
    {
        std::fprintf(stderr, "i2d_X509_CINF error\n");
        return 0;
    }
    SHA1(buffer, static_cast<std::size_t>(length), out);
    return SHA_DIGEST_LENGTH;
}

int OpenSSLUtil::X509AddV3Extension(X509* issuer, X509* subject, int nid, const char* value)
{
    ErrorQueueScope errors;
    if (issuer == nullptr || subject == nullptr || value == nullptr)
    {
        Diagnose("OpenSSLUtil::X509AddV3Extension()\t->\tInvalid input!\n");
        return 0;
    }
    X509ExtensionPtr extension = MakeExtension(issuer, subject, nid, value);
    if (!extension)
    {
        Diagnose("OpenSSLUtil::X509AddV3Extension(): X509V3_EXT_conf_nid() failed!\n");
        return 0;
    }
    return X509_add_ext(subject, extension.get(), -1) == 1 ? 1 : 0;
}

int OpenSSLUtil::X509ReplaceV3Extension(X509* issuer, X509* subject, int nid, const char* value)
{
    ErrorQueueScope errors;
    if (issuer == nullptr || subject == nullptr || value == nullptr)
    {
        Diagnose("OpenSSLUtil::X509ReplaceV3Extension()\t->\tInvalid input!\n");
        return 0;
    }
    X509ExtensionPtr extension = MakeExtension(issuer, subject, nid, value);
    const int index = X509_get_ext_by_NID(subject, nid, -1);
    if (index >= 0)
        X509_EXTENSION_free(X509_delete_ext(subject, index));
    if (!extension)
        return 0;
    return X509_add_ext(subject, extension.get(), index) == 1 ? 1 : 0;
}

int OpenSSLUtil::Base64Encode(const unsigned char* data, char** out, int length)
{
    ErrorQueueScope errors;
    if (data == nullptr || length <= 0 || out == nullptr || *out != nullptr)
    {
        Diagnose("OpenSSLUtil::Base64Encode()->Invalid input!\n");
        return 0;
    }
    BioPtr chain(BIO_new(BIO_f_base64()));
    BioPtr sink(BIO_new(BIO_s_mem()));
    if (!chain || !sink)
        return 0;
    BIO* memory = sink.get();
    BIO_push(chain.get(), sink.release()); // the chain frees it from here on
    if (BIO_write(chain.get(), data, length) != length || BIO_flush(chain.get()) != 1)
        return 0;
    char* text = nullptr;
    const long size = BIO_get_mem_data(memory, &text);
    if (size <= 0 || size > INT_MAX - 1)
        return 0;
    char* copy = new (std::nothrow) char[static_cast<std::size_t>(size) + 1];
    if (copy == nullptr)
        return 0;
    std::memcpy(copy, text, static_cast<std::size_t>(size));
    copy[size] = '\0';
    *out = copy;
    return static_cast<int>(size);
}

int OpenSSLUtil::Base64Decode(const char* text, char** out, int length)
{
    ErrorQueueScope errors;
    if (text == nullptr || length <= 0 || out == nullptr || *out != nullptr)
    {
        Diagnose("OpenSSLUtil::Base64Decode()->Invalid input!\n");
        return 0;
    }
    BioPtr chain(BIO_new(BIO_f_base64()));
    BioPtr source(BIO_new_mem_buf(text, length));
    if (!chain || !source)
        return 0;
    BIO_push(chain.get(), source.release()); // the chain frees it from here on
    std::vector<char> decoded;
    char buffer[1024];
    for (;;)
    {
        const int got = BIO_read(chain.get(), buffer, sizeof buffer);
        if (got <= 0)
            break;
        decoded.insert(decoded.end(), buffer, buffer + got);
    }
    if (decoded.empty() || decoded.size() > static_cast<std::size_t>(INT_MAX - 1))
        return 0;
    char* copy = new (std::nothrow) char[decoded.size() + 1]();
    if (copy == nullptr)
        return 0;
    std::memcpy(copy, decoded.data(), decoded.size());
    *out = copy;
    return static_cast<int>(decoded.size());
}

int OpenSSLUtil::X509CreateDCCertificate(X509** cert, EVP_PKEY* key, int* serial,
                                         const char* issuerCommonName, const char* subjectCommonName,
                                         int* days)
{
    ErrorQueueScope errors;
    if (cert == nullptr || *cert == nullptr || key == nullptr || serial == nullptr || days == nullptr ||
        issuerCommonName == nullptr || subjectCommonName == nullptr)
    {
        Diagnose("OpenSSLUtil::X509CreateDCCertificate(): Invalid input!\n");
        return 0;
    }
    EnsureEngineInitialised();
    X509* certificate = *cert;
    // The results of the field steps are not checked one by one: a field that could not be set
    // leaves the certificate incomplete, and signing or a later check notices.
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), *serial);
    X509_gmtime_adj(X509_getm_notBefore(certificate), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate), static_cast<long>(*days) * 86400L);
    X509_set_pubkey(certificate, key);

    const auto* issuerText = reinterpret_cast<const unsigned char*>(issuerCommonName);
    const auto* subjectText = reinterpret_cast<const unsigned char*>(subjectCommonName);
    X509NamePtr issuerName(X509_NAME_dup(X509_get_issuer_name(certificate)));
    if (issuerName)
    {
        X509_NAME_add_entry_by_NID(issuerName.get(), NID_commonName, MBSTRING_ASC, issuerText, -1, -1, 0);
        X509_set_issuer_name(certificate, issuerName.get());
    }
    X509NamePtr subjectName(X509_NAME_dup(X509_get_subject_name(certificate)));
    if (subjectName)
    {
        X509_NAME_add_entry_by_NID(subjectName.get(), NID_commonName, MBSTRING_ASC, subjectText, -1, -1, 0);
        X509_set_subject_name(certificate, subjectName.get());
    }

    X509AddV3Extension(certificate, certificate, NID_basic_constraints, "critical,CA:TRUE,pathlen:10");
    X509AddV3Extension(certificate, certificate, NID_subject_key_identifier, "hash");
    // The certificate is its own issuer: OpenSSL 3 leaves the key identifier out of such an
    // authorityKeyIdentifier unless told "always" (and with it present, the name is not added).
    X509AddV3Extension(certificate, certificate, NID_authority_key_identifier, "keyid:always,issuer");
    X509AddV3Extension(certificate, certificate, NID_key_usage, "keyCertSign,cRLSign");

    return X509_sign(certificate, key, EVP_sha256()) > 0 ? 1 : 0;
}
