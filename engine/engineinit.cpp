#include "engineinit.h"

#include <openssl/asn1.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/provider.h>

namespace
{

// The providers stay loaded for the life of the process. Their handles are given back at exit:
// this object is made after OpenSSL registered its own clean-up, so its destructor runs first,
// while the library is still whole. A provider still held at OpenSSL's clean-up is never freed
// (and leak checkers say so).
struct Providers
{
    Providers()
    {
        OPENSSL_init_crypto(0, nullptr);
        standard = OSSL_PROVIDER_load(nullptr, "default");
        legacy = OSSL_PROVIDER_load(nullptr, "legacy");
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

bool initialise()
{
    static const Providers providers;
    // OpenSSL 3 encodes every name text as UTF8String by default; "default" lets printable
    // text become PrintableString again and other text T61String.
    ASN1_STRING_set_default_mask_asc("default");
    ERR_clear_error();
    return providers.standard != nullptr && providers.legacy != nullptr;
}

} // namespace

bool EnsureEngineInitialised()
{
    static const bool initialised = initialise();
    return initialised;
}
