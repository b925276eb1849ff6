#include "reissue.h"

#include "enginediagnostics.h"
#include "engineinit.h"
#include "osslptr.h"

#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509v3.h>

#include <cstring>
#include <string>

namespace
{

using GeneralNamesPtr = std::unique_ptr<GENERAL_NAMES, OsslDeleter<GENERAL_NAMES_free>>;

// SHA-1 of the key's RSAPublicKey DER, the "hash" form of a key identifier.
bool keyHash(EVP_PKEY* key, unsigned char* digest, unsigned int* length)
{
    unsigned char* der = nullptr;
    const int size = i2d_PublicKey(key, &der);
    if (size <= 0)
        return false;
    const bool ok = EVP_Digest(der, size_t(size), digest, length, EVP_sha1(), nullptr) == 1;
    OPENSSL_free(der);
    return ok;
}

std::string base64(const unsigned char* data, unsigned int length)
{
    std::string text(4 * ((length + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&text[0]), data, int(length));
    text.resize(written > 0 ? size_t(written) : 0);
    return text;
}

// Replaces the extension at the position of `nid` with `value` (consumed), keeping the order.
bool replaceInPlace(X509* certificate, int nid, void* value)
{
    const int at = X509_get_ext_by_NID(certificate, nid, -1);
    if (at < 0)
        return false;
    const int critical = X509_EXTENSION_get_critical(X509_get_ext(certificate, at));
    X509ExtensionPtr fresh(X509V3_EXT_i2d(nid, critical, value));
    if (!fresh)
        return false;
    X509ExtensionPtr old(X509_delete_ext(certificate, at));
    return old && X509_add_ext(certificate, fresh.get(), at) == 1;
}

bool newSubjectKey(X509* made, EVP_PKEY* key)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_set_pubkey(made, key) != 1 || !keyHash(key, digest, &length))
        return false;
    if (X509_get_ext_by_NID(made, NID_subject_key_identifier, -1) >= 0)
    {
        OctetStringPtr identifier(ASN1_OCTET_STRING_new());
        if (!identifier || ASN1_OCTET_STRING_set(identifier.get(), digest, int(length)) != 1 ||
            !replaceInPlace(made, NID_subject_key_identifier, identifier.get()))
            return false;
    }
    // The dnQualifier in its place and its string type; the other entries keep their bytes.
    X509_NAME* subject = X509_get_subject_name(made);
    const int at = X509_NAME_get_index_by_NID(subject, NID_dnQualifier, -1);
    if (at < 0)
        return true;
    const int type = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, at))->type;
    const std::string text = base64(digest, length);
    X509NamePtr name(X509_NAME_dup(subject));
    if (!name)
        return false;
    const int set = X509_NAME_ENTRY_set(X509_NAME_get_entry(name.get(), at));
    X509_NAME_ENTRY_free(X509_NAME_delete_entry(name.get(), at));
    // Into the same RDN when other entries share it, else as an RDN of its own at its place.
    const bool shared = (at > 0 && X509_NAME_ENTRY_set(X509_NAME_get_entry(name.get(), at - 1)) == set) ||
                        (at < X509_NAME_entry_count(name.get()) &&
                         X509_NAME_ENTRY_set(X509_NAME_get_entry(name.get(), at)) == set);
    if (X509_NAME_add_entry_by_NID(name.get(), NID_dnQualifier, type,
                                   reinterpret_cast<const unsigned char*>(text.data()), int(text.size()), at,
                                   shared ? -1 : 0) != 1)
        return false;
    return X509_set_subject_name(made, name.get()) == 1;
}

// The authority key identifier in the old one's form, naming the issuer given.
bool newAuthorityKey(X509* made, X509* issuer, EVP_PKEY* issuerKey)
{
    const int at = X509_get_ext_by_NID(made, NID_authority_key_identifier, -1);
    if (at < 0)
        return true;
    AuthorityKeyIdPtr old(static_cast<AUTHORITY_KEYID*>(X509V3_EXT_d2i(X509_get_ext(made, at))));
    AuthorityKeyIdPtr fresh(AUTHORITY_KEYID_new());
    if (!old || !fresh)
        return false;
    if (old->keyid != nullptr)
    {
        fresh->keyid = ASN1_OCTET_STRING_new();
        // Decoded from the extension itself: the cached one of a certificate changed in memory
        // may be its old key's.
        OctetStringPtr issuerIdentifier(static_cast<ASN1_OCTET_STRING*>(
            X509_get_ext_d2i(issuer, NID_subject_key_identifier, nullptr, nullptr)));
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (fresh->keyid == nullptr)
            return false;
        if (issuerIdentifier != nullptr)
        {
            if (ASN1_OCTET_STRING_set(fresh->keyid, ASN1_STRING_get0_data(issuerIdentifier.get()),
                                      ASN1_STRING_length(issuerIdentifier.get())) != 1)
                return false;
        }
        else if (!keyHash(issuerKey, digest, &length) ||
                 ASN1_OCTET_STRING_set(fresh->keyid, digest, int(length)) != 1)
            return false;
    }
    if (old->issuer != nullptr || old->serial != nullptr)
    {
        GeneralNamesPtr names(GENERAL_NAMES_new());
        GENERAL_NAME* name = GENERAL_NAME_new();
        X509_NAME* issuerOfIssuer = X509_NAME_dup(X509_get_issuer_name(issuer));
        if (!names || name == nullptr || issuerOfIssuer == nullptr)
        {
            GENERAL_NAME_free(name);
            X509_NAME_free(issuerOfIssuer);
            return false;
        }
        GENERAL_NAME_set0_value(name, GEN_DIRNAME, issuerOfIssuer);
        if (sk_GENERAL_NAME_push(names.get(), name) <= 0)
        {
            GENERAL_NAME_free(name);
            return false;
        }
        fresh->issuer = names.release();
        fresh->serial = ASN1_INTEGER_dup(X509_get0_serialNumber(issuer));
        if (fresh->serial == nullptr)
            return false;
    }
    return replaceInPlace(made, NID_authority_key_identifier, fresh.get());
}

const EVP_MD* digestOf(const X509* certificate)
{
    int digest = NID_undef;
    if (OBJ_find_sigid_algs(X509_get_signature_nid(certificate), &digest, nullptr) != 1)
        return nullptr;
    return EVP_get_digestbynid(digest);
}

} // namespace

int ReissueCertificate(X509* certificate, EVP_PKEY* newKey, X509* issuerCertificate, EVP_PKEY* issuerKey,
                       const ReissueParameters& parameters, X509** out)
{
    ErrorQueueScope errors;
    EnsureEngineInitialised();
    if (out == nullptr)
        return 0;
    X509_free(*out);
    *out = nullptr;
    if (certificate == nullptr || issuerKey == nullptr)
    {
        Diagnose("ReissueCertificate(): Invalid certificate/signing key!\n");
        return 0;
    }
    const EVP_MD* digest = digestOf(certificate);
    X509Ptr made(X509_dup(certificate));
    if (digest == nullptr || !made)
    {
        Diagnose("ReissueCertificate(): Certificate cannot be copied!\n");
        return 0;
    }
    bool ok = ASN1_INTEGER_set_int64(X509_get_serialNumber(made.get()), parameters.serial) == 1;
    ok = ok && ASN1_TIME_set(X509_getm_notBefore(made.get()), time_t(parameters.notBefore)) != nullptr;
    ok = ok && ASN1_TIME_set(X509_getm_notAfter(made.get()), time_t(parameters.notAfter)) != nullptr;
    ok = ok && (newKey == nullptr || newSubjectKey(made.get(), newKey));
    // A self-issued certificate names itself, as it now is.
    X509* issuer = issuerCertificate != nullptr ? issuerCertificate : made.get();
    ok = ok && X509_set_issuer_name(made.get(), X509_get_subject_name(issuer)) == 1;
    // A self-issued certificate's authority key identifier names its new serial number.
    ok = ok && newAuthorityKey(made.get(), issuer, issuerKey);
    ok = ok && X509_sign(made.get(), issuerKey, digest) > 0;
    if (!ok)
    {
        Diagnose("ReissueCertificate(): Certificate cannot be issued again!\n");
        return 0;
    }
    *out = made.release();
    return 1;
}

int KeyDnQualifier(EVP_PKEY* key, char** out)
{
    if (out == nullptr)
        return 0;
    delete[] * out;
    *out = nullptr;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (key == nullptr || !keyHash(key, digest, &length))
        return 0;
    const std::string text = base64(digest, length);
    *out = new char[text.size() + 1];
    std::memcpy(*out, text.c_str(), text.size() + 1);
    return int(text.size());
}

int NamesIssuer(X509* certificate, X509* issuer)
{
    ErrorQueueScope errors;
    if (certificate == nullptr || issuer == nullptr ||
        X509_NAME_cmp(X509_get_issuer_name(certificate), X509_get_subject_name(issuer)) != 0)
        return 0;
    AuthorityKeyIdPtr authority(static_cast<AUTHORITY_KEYID*>(
        X509_get_ext_d2i(certificate, NID_authority_key_identifier, nullptr, nullptr)));
    if (!authority || authority->keyid == nullptr)
        return 1;
    OctetStringPtr identifier(static_cast<ASN1_OCTET_STRING*>(
        X509_get_ext_d2i(issuer, NID_subject_key_identifier, nullptr, nullptr)));
    if (identifier)
        return ASN1_OCTET_STRING_cmp(identifier.get(), authority->keyid) == 0 ? 1 : 0;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!keyHash(X509_get0_pubkey(issuer), digest, &length))
        return 0;
    return length == unsigned(ASN1_STRING_length(authority->keyid)) &&
                   std::memcmp(digest, ASN1_STRING_get0_data(authority->keyid), length) == 0
               ? 1
               : 0;
}

int IsSelfSigned(X509* certificate)
{
    ErrorQueueScope errors;
    if (certificate == nullptr ||
        X509_NAME_cmp(X509_get_issuer_name(certificate), X509_get_subject_name(certificate)) != 0)
        return 0;
    EVP_PKEY* key = X509_get0_pubkey(certificate);
    return key != nullptr && X509_verify(certificate, key) == 1 ? 1 : 0;
}
