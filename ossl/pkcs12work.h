#pragma once

// The key-derivation work a PKCS#12 file asks for, read before any of it is done: the file
// names an iteration count for its MAC and for every encrypted part, and OpenSSL derives a
// key with each count as given, so a count of 2^31-1 holds a reader for minutes. Readers of
// files a user hands them (the engine's container reader, the chain verifier) refuse a file
// whose counts pass the bounds below before they open it.

#include "osslptr.h"

#include <openssl/pkcs12.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <cstdint>

// One derivation: well above what any tool writes (2,048 for OpenSSL and most others, 10,000
// for Java's newer defaults, 600,000 for the most careful), far below minutes of work (a
// million iterations take 0.3 s for a MAC, 0.45 s for a key or an encrypted safe here).
constexpr long kPkcs12MostIterations = 1000000;
// All the derivations of one file together (the MAC, each encrypted safe, each shrouded key),
// so that a file cannot pile up many acceptable counts.
constexpr long kPkcs12MostIterationsInAll = 4 * kPkcs12MostIterations;

enum class Pkcs12Work
{
    Acceptable,
    TooMuch, // a count above kPkcs12MostIterations, or all together above kPkcs12MostIterationsInAll
};

using Pbe2ParamPtr = std::unique_ptr<PBE2PARAM, OsslDeleter<PBE2PARAM_free>>;
using Pbkdf2ParamPtr = std::unique_ptr<PBKDF2PARAM, OsslDeleter<PBKDF2PARAM_free>>;

namespace pkcs12work
{

// The iteration count an encryption algorithm identifier asks for: PKCS#12 and PKCS#5 v1
// schemes (PBEParameter) and PBES2 with PBKDF2. 0 for other schemes: OpenSSL refuses those
// or bounds them itself (scrypt by memory). -1 when the parameters cannot be read.
inline long iterationsOf(const X509_ALGOR* algorithm)
{
    if (!algorithm || !algorithm->algorithm)
        return -1;
    const int nid = OBJ_obj2nid(algorithm->algorithm);
    const ASN1_INTEGER* count = nullptr;
    PbeParamPtr pbe;
    Pbkdf2ParamPtr pbkdf2;
    if (nid == NID_pbes2)
    {
        const Pbe2ParamPtr pbes2(static_cast<PBE2PARAM*>(
            ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), algorithm->parameter)));
        if (!pbes2 || !pbes2->keyfunc || !pbes2->keyfunc->algorithm)
            return -1;
        if (OBJ_obj2nid(pbes2->keyfunc->algorithm) != NID_id_pbkdf2)
            return 0;
        pbkdf2.reset(static_cast<PBKDF2PARAM*>(
            ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), pbes2->keyfunc->parameter)));
        if (!pbkdf2)
            return -1;
        count = pbkdf2->iter;
    }
    else if (EVP_PBE_find(EVP_PBE_TYPE_OUTER, nid, nullptr, nullptr, nullptr))
    {
        pbe.reset(static_cast<PBEPARAM*>(
            ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBEPARAM), algorithm->parameter)));
        if (!pbe)
            return -1;
        count = pbe->iter;
    }
    else
        return 0;
    // A count that does not fit a long is far above any bound.
    int64_t value = 0;
    if (!count || !ASN1_INTEGER_get_int64(&value, count))
        return kPkcs12MostIterationsInAll + 1;
    return value < 1 ? 1
                     : (value > kPkcs12MostIterationsInAll ? kPkcs12MostIterationsInAll + 1 : long(value));
}

class Tally
{
public:
    // False once the file asks for too much.
    bool add(long iterations)
    {
        if (iterations > kPkcs12MostIterations)
            mTooMuch = true;
        else if (iterations > 0)
            mTotal += iterations;
        if (mTotal > kPkcs12MostIterationsInAll)
            mTooMuch = true;
        return !mTooMuch;
    }
    bool tooMuch() const { return mTooMuch; }

    // The shrouded keys among the bags, and the bags nested in them.
    void addBags(const STACK_OF(PKCS12_SAFEBAG) * bags, int depth = 0)
    {
        // ASN.1 decoding stops nesting long before this; the limit only keeps the recursion finite.
        if (!bags || depth > 32)
            return;
        for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags) && !mTooMuch; ++i)
        {
            const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
            switch (PKCS12_SAFEBAG_get_nid(bag))
            {
            case NID_pkcs8ShroudedKeyBag:
            {
                const X509_ALGOR* algorithm = nullptr;
                X509_SIG_get0(PKCS12_SAFEBAG_get0_pkcs8(bag), &algorithm, nullptr);
                add(iterationsOf(algorithm));
                break;
            }
            case NID_safeContentsBag:
                addBags(PKCS12_SAFEBAG_get0_safes(bag), depth + 1);
                break;
            default:
                break;
            }
        }
    }

private:
    long mTotal = 0;
    bool mTooMuch = false;
};

} // namespace pkcs12work

// Reads every count of the container before anything is derived with it: the MAC's, each
// encrypted safe's, then (each safe decrypted with its now known count) the shrouded keys'.
// A safe that does not decrypt with the password hides its keys; opening the file then fails
// at that safe before any of them is used. password: borrowed, NUL-terminated; null or empty
// tries both forms as PKCS12_parse does. Leaves errors on the OpenSSL queue; callers drop them.
inline Pkcs12Work AssessPkcs12Work(const PKCS12* container, const char* password)
{
    pkcs12work::Tally tally;
    if (!container)
        return Pkcs12Work::Acceptable;
    if (PKCS12_mac_present(container))
    {
        const ASN1_INTEGER* macIterations = nullptr;
        PKCS12_get0_mac(nullptr, nullptr, nullptr, &macIterations, container);
        int64_t value = 1;
        if (macIterations && !ASN1_INTEGER_get_int64(&value, macIterations))
            value = kPkcs12MostIterationsInAll + 1;
        if (!tally.add(value > kPkcs12MostIterationsInAll ? kPkcs12MostIterationsInAll + 1 : long(value)))
            return Pkcs12Work::TooMuch;
    }
    const Pkcs7StackPtr safes(PKCS12_unpack_authsafes(container));
    if (!safes)
        return Pkcs12Work::Acceptable; // not readable: opening fails without deriving anything
    // The counts of the encrypted safes first: decrypting one derives a key with its count.
    for (int i = 0; i < sk_PKCS7_num(safes.get()); ++i)
    {
        const PKCS7* safe = sk_PKCS7_value(safes.get(), i);
        if (OBJ_obj2nid(safe->type) == NID_pkcs7_encrypted && safe->d.encrypted &&
            safe->d.encrypted->enc_data &&
            !tally.add(pkcs12work::iterationsOf(safe->d.encrypted->enc_data->algorithm)))
            return Pkcs12Work::TooMuch;
    }
    const bool noPassword = !password || !*password;
    for (int i = 0; i < sk_PKCS7_num(safes.get()) && !tally.tooMuch(); ++i)
    {
        PKCS7* safe = sk_PKCS7_value(safes.get(), i);
        const int type = OBJ_obj2nid(safe->type);
        SafeBagStackPtr bags;
        if (type == NID_pkcs7_data)
            bags.reset(PKCS12_unpack_p7data(safe));
        else if (type == NID_pkcs7_encrypted)
        {
            bags.reset(PKCS12_unpack_p7encdata(safe, noPassword ? "" : password, -1));
            if (!bags && noPassword)
                bags.reset(PKCS12_unpack_p7encdata(safe, nullptr, 0));
        }
        tally.addBags(bags.get());
    }
    return tally.tooMuch() ? Pkcs12Work::TooMuch : Pkcs12Work::Acceptable;
}
