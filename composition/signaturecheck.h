#pragma once

// The one place that talks to libxmlsec1; private to this library.

#include "signedcomposition.h"

#include <QString>

#include <libxml/tree.h>
#include <openssl/evp.h>

// Verifies an enveloped XML signature with one public key and nothing else: no keys manager, no
// certificate store, no KeyInfo reading, no URI but the empty one, and only the transforms a
// composition's signature uses. libxmlsec1 is set up on first use, once per process, with its
// crypto layer linked in (no dynamic loading), after OpenSSL's providers are loaded
// (osslproviders.h) and without loading or unloading any; it is shut down at exit, before
// OpenSSL's own clean-up and before the providers are given back.
class SignatureCheck
{
public:
    struct Outcome
    {
        // None, CheckUnavailable, DigestMismatch or SignatureMismatch.
        SignedComposition::Failure failure = SignedComposition::Failure::None;
        QString detail; // xmlsec's first reason, when it gave one
    };

    // `signature` (the Signature element, in its parsed document) and `publicKey` are borrowed. The caller
    // has checked the signature's shape: one enveloped reference, known methods, an RSA key.
    static Outcome verify(xmlNode* signature, EVP_PKEY* publicKey);
};
