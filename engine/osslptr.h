#pragma once

// Owning pointers for OpenSSL objects, used inside function bodies so that every early return
// frees what was built so far. Interfaces that hand objects over (T** outputs) release() them.
// RSA objects get no owner here: RSA_free is deprecated in OpenSSL 3, so the files that handle
// RSA* (the interfaces pass it) declare their own after silencing that warning for themselves.

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

template <auto FreeFunction> struct OsslDeleter
{
    template <typename T> void operator()(T* object) const { FreeFunction(object); }
};

inline void FreeX509Stack(STACK_OF(X509) * stack)
{
    sk_X509_pop_free(stack, X509_free);
}

// For a list that borrows its certificates: only the list itself is freed.
inline void FreeX509List(STACK_OF(X509) * stack)
{
    sk_X509_free(stack);
}

using X509Ptr = std::unique_ptr<X509, OsslDeleter<X509_free>>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, OsslDeleter<EVP_PKEY_free>>;
using BioPtr = std::unique_ptr<BIO, OsslDeleter<BIO_free_all>>;
using Pkcs12Ptr = std::unique_ptr<PKCS12, OsslDeleter<PKCS12_free>>;
using X509NamePtr = std::unique_ptr<X509_NAME, OsslDeleter<X509_NAME_free>>;
using X509ExtensionPtr = std::unique_ptr<X509_EXTENSION, OsslDeleter<X509_EXTENSION_free>>;
using X509StackPtr = std::unique_ptr<STACK_OF(X509), OsslDeleter<FreeX509Stack>>;
using BorrowedX509StackPtr = std::unique_ptr<STACK_OF(X509), OsslDeleter<FreeX509List>>;
using BigNumPtr = std::unique_ptr<BIGNUM, OsslDeleter<BN_free>>;
using BasicConstraintsPtr = std::unique_ptr<BASIC_CONSTRAINTS, OsslDeleter<BASIC_CONSTRAINTS_free>>;
using OctetStringPtr = std::unique_ptr<ASN1_OCTET_STRING, OsslDeleter<ASN1_OCTET_STRING_free>>;
