#include "engineinit.h"

#include "osslproviders.h"

#include <openssl/asn1.h>
#include <openssl/err.h>

namespace
{

bool initialise()
{
    const bool loaded = EnsureProvidersLoaded();
    // OpenSSL 3 encodes every name text as UTF8String by default; "default" lets printable
    // text become PrintableString again and other text T61String.
    ASN1_STRING_set_default_mask_asc("default");
    ERR_clear_error();
    return loaded;
}

} // namespace

bool EnsureEngineInitialised()
{
    static const bool initialised = initialise();
    return initialised;
}
