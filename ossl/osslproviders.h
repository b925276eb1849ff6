#pragma once

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/provider.h>

// Loads OpenSSL's "default" and "legacy" providers, once per process; later calls are free.
// The classic PKCS#12 containers use RC2-40, which only the legacy provider offers, and loading
// one provider by hand stops the default one from loading by itself, so both are named.
// Returns whether both are loaded. Errors raised by loading are dropped; those the caller had
// queued stay.
//
// The providers stay loaded for the life of the process. Their handles are given back at exit:
// the holder is made after OpenSSL registered its own clean-up, so its destructor runs first,
// while the library is still whole. A provider still held at OpenSSL's clean-up is never freed
// (and leak checkers say so).
inline bool EnsureProvidersLoaded()
{
    struct Providers
    {
        Providers()
        {
            OPENSSL_init_crypto(0, nullptr);
            ERR_set_mark();
            standard = OSSL_PROVIDER_load(nullptr, "default");
            legacy = OSSL_PROVIDER_load(nullptr, "legacy");
            ERR_pop_to_mark();
        }
        ~Providers()
        {
            if (legacy != nullptr)
                OSSL_PROVIDER_unload(legacy);
            if (standard != nullptr)
                OSSL_PROVIDER_unload(standard);
        }
        Providers(const Providers&) = delete;
        Providers& operator=(const Providers&) = delete;

        OSSL_PROVIDER* standard = nullptr;
        OSSL_PROVIDER* legacy = nullptr;
    };
    // A static of an inline function: one holder for every translation unit and library.
    static const Providers providers;
    return providers.standard != nullptr && providers.legacy != nullptr;
}
