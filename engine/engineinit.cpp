#include "engineinit.h"

#include <openssl/asn1.h>
#include <openssl/err.h>
#include <openssl/provider.h>

namespace
{

bool initialise()
{
    OSSL_PROVIDER* defaultProvider = OSSL_PROVIDER_load(nullptr, "default");
    OSSL_PROVIDER* legacyProvider = OSSL_PROVIDER_load(nullptr, "legacy");
    // OpenSSL 3 encodes every name text as UTF8String by default; "default" lets printable
    // text become PrintableString again and other text T61String.
    ASN1_STRING_set_default_mask_asc("default");
    ERR_clear_error();
    // The providers stay loaded for the life of the process.
    return defaultProvider != nullptr && legacyProvider != nullptr;
}

} // namespace

bool EnsureEngineInitialised()
{
    static const bool initialised = initialise();
    return initialised;
}
