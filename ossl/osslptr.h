#pragma once

// Owning pointers for OpenSSL objects, one per object type, each freeing with the library's own
// function, so that every early return frees what was built so far. Interfaces that hand
// objects over (T** outputs) release() them.

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>
#include <vector>

template <auto FreeFunction> struct OsslDeleter
{
    template <typename T> void operator()(T* object) const { FreeFunction(object); }
};

// The stack and its certificates.
inline void FreeX509Stack(STACK_OF(X509) * stack)
{
    sk_X509_pop_free(stack, X509_free);
}
// The stack only: its certificates belong to someone else.
inline void FreeX509List(STACK_OF(X509) * stack)
{
    sk_X509_free(stack);
}
inline void FreePkcs7Stack(STACK_OF(PKCS7) * stack)
{
    sk_PKCS7_pop_free(stack, PKCS7_free);
}
inline void FreeSafeBagStack(STACK_OF(PKCS12_SAFEBAG) * stack)
{
    sk_PKCS12_SAFEBAG_pop_free(stack, PKCS12_SAFEBAG_free);
}
inline void FreeExtensionStack(STACK_OF(X509_EXTENSION) * stack)
{
    sk_X509_EXTENSION_pop_free(stack, X509_EXTENSION_free);
}
// OPENSSL_free is a macro; text that OpenSSL allocated (BN_bn2dec, X509_NAME_oneline ...).
inline void FreeOpenSslString(char* text)
{
    OPENSSL_free(text);
}

using X509Ptr = std::unique_ptr<X509, OsslDeleter<X509_free>>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, OsslDeleter<EVP_PKEY_free>>;
using EvpPkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, OsslDeleter<EVP_PKEY_CTX_free>>;
// Frees the whole chain of filters pushed onto it, as well as a lone BIO.
using BioPtr = std::unique_ptr<BIO, OsslDeleter<BIO_free_all>>;
using Pkcs12Ptr = std::unique_ptr<PKCS12, OsslDeleter<PKCS12_free>>;
using Pkcs8Ptr = std::unique_ptr<PKCS8_PRIV_KEY_INFO, OsslDeleter<PKCS8_PRIV_KEY_INFO_free>>;
using PbeParamPtr = std::unique_ptr<PBEPARAM, OsslDeleter<PBEPARAM_free>>;
using X509NamePtr = std::unique_ptr<X509_NAME, OsslDeleter<X509_NAME_free>>;
using X509ExtensionPtr = std::unique_ptr<X509_EXTENSION, OsslDeleter<X509_EXTENSION_free>>;
using X509ExtensionStackPtr = std::unique_ptr<STACK_OF(X509_EXTENSION), OsslDeleter<FreeExtensionStack>>;
using X509ReqPtr = std::unique_ptr<X509_REQ, OsslDeleter<X509_REQ_free>>;
using X509StorePtr = std::unique_ptr<X509_STORE, OsslDeleter<X509_STORE_free>>;
using X509StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, OsslDeleter<X509_STORE_CTX_free>>;
// A stack that owns its certificates: freeing it frees them too.
using OwnedX509StackPtr = std::unique_ptr<STACK_OF(X509), OsslDeleter<FreeX509Stack>>;
// A stack that borrows its certificates: freeing it leaves them alone.
using BorrowedX509StackPtr = std::unique_ptr<STACK_OF(X509), OsslDeleter<FreeX509List>>;
// The safes of a PKCS#12 container and the bags of one safe, each owning what it holds.
using Pkcs7StackPtr = std::unique_ptr<STACK_OF(PKCS7), OsslDeleter<FreePkcs7Stack>>;
using SafeBagStackPtr = std::unique_ptr<STACK_OF(PKCS12_SAFEBAG), OsslDeleter<FreeSafeBagStack>>;
using BigNumPtr = std::unique_ptr<BIGNUM, OsslDeleter<BN_free>>;
using BasicConstraintsPtr = std::unique_ptr<BASIC_CONSTRAINTS, OsslDeleter<BASIC_CONSTRAINTS_free>>;
using AuthorityKeyIdPtr = std::unique_ptr<AUTHORITY_KEYID, OsslDeleter<AUTHORITY_KEYID_free>>;
using OctetStringPtr = std::unique_ptr<ASN1_OCTET_STRING, OsslDeleter<ASN1_OCTET_STRING_free>>;
using BitStringPtr = std::unique_ptr<ASN1_BIT_STRING, OsslDeleter<ASN1_BIT_STRING_free>>;
using Asn1TypePtr = std::unique_ptr<ASN1_TYPE, OsslDeleter<ASN1_TYPE_free>>;
using OpenSslStringPtr = std::unique_ptr<char, OsslDeleter<FreeOpenSslString>>;

// The certificates in the order given, borrowed by the stack; null when it cannot be built.
inline BorrowedX509StackPtr BorrowedStackOf(const std::vector<X509*>& certificates)
{
    BorrowedX509StackPtr stack(sk_X509_new_null());
    for (X509* certificate : certificates)
        if (!stack || sk_X509_push(stack.get(), certificate) <= 0)
            return nullptr;
    return stack;
}

// RSA_free is deprecated in OpenSSL 3. Only a file that hands RSA objects around (the engine's
// interfaces pass RSA*) and has silenced that deprecation for itself, by defining
// OPENSSL_SUPPRESS_DEPRECATED before any OpenSSL header, gets the RSA owner.
#ifdef OPENSSL_SUPPRESS_DEPRECATED
using RsaPtr = std::unique_ptr<RSA, OsslDeleter<RSA_free>>;
#endif
