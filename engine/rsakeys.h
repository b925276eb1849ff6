#pragma once

#include <openssl/evp.h>
#include <openssl/rsa.h>

// RSA-object helpers for files that hand RSA* around but should not need OpenSSL 3's deprecated
// RSA interface themselves. Implemented beside the RSA key functions.

// A new key pair that owns rsa (the caller's reference passes to it). On failure rsa is freed
// and the result is null.
EVP_PKEY* WrapRsaKey(RSA* rsa);
// A new reference to the RSA key inside key (the caller frees it with FreeRsaKey), or null.
RSA* RsaKeyOf(EVP_PKEY* key);
// One more reference to rsa, for a second owner.
bool ReferenceRsaKey(RSA* rsa);
void FreeRsaKey(RSA* rsa);

// A fresh, checked RSA-2048 key pair (e = 65537), as OpenSSLUtil::KeyPairCreate2048 makes it; the
// caller owns it. The search asks `stopped(context)` now and then and gives up once it answers
// true; null then, or on failure.
EVP_PKEY* MakeRsaKeyPair2048(bool (*stopped)(void*), void* context);
