#pragma once

// One token opened through its PKCS#11 module: logging in, seeding its generator, making an
// authority's key inside it, finding a key and its certificate, storing a certificate. Keys it
// hands out are usable by X509_sign for as long as the session lives; they never leave the token.

#include "osslptr.h"
#include "pkcs11uri.h"

#include <QByteArray>
#include <QString>

#include <memory>

class Secret;
struct PKCS11_ctx_st;
struct PKCS11_slot_st;

enum class TokenFinding
{
    Done,
    ModuleMissing,    // no file at the module's path
    ModuleUnloadable, // a file that is not a module, or a module that did not start
    TokenMissing,     // no initialised token with that label (and serial) in any slot
    TokenAmbiguous,   // more than one token, and the URI names none of them
    SessionRefused,   // the token opens no session (write-protected, removed)
    WrongPin,         // the token refused the PIN
    PinLocked,        // the token takes no PIN any more
    LoginFailed,      // any other refusal of the login
    ObjectMissing,    // no private key with that label or id
    ObjectTaken,      // an object with that label is in the token already
    GenerationFailed, // the token made no key
    StoreFailed       // the token did not take the certificate
};

// The module a command uses: the option's, else the URI's, else the environment's, else the
// proxy that finds every registered module.
QString TokenModulePath(const QString& option, const Pkcs11Uri& uri, const QString& environment);

class TokenSession
{
public:
    ~TokenSession();
    TokenSession(const TokenSession&) = delete;
    TokenSession& operator=(const TokenSession&) = delete;

    // Loads the module at `modulePath`, finds the token `uri` names and opens a read-write
    // session on it. Null, with the finding, when one of those fails.
    static std::shared_ptr<TokenSession> open(const QString& modulePath, const Pkcs11Uri& uri,
                                              TokenFinding& finding);

    QString tokenLabel() const;

    // Logs in with `pin` (borrowed) once: a refused PIN is never tried again, since tokens lock
    // after a few refusals.
    TokenFinding logIn(const Secret& pin);

    // Mixes `bytes` into the token's generator; false when the token takes no seed.
    bool seed(const QByteArray& bytes);

    // Whether a key or a certificate of the token carries `label`.
    bool holdsLabel(const QString& label);

    // Makes an RSA-2048 key pair (e = 65537) inside the token under `label`, the private half
    // sensitive and never extractable, for signing only, with an id no other object of the token
    // has. `key` (caller owns) signs in the token; `id` is the id it was given.
    TokenFinding generateKey(const QString& label, EvpPkeyPtr& key, QByteArray& id);

    // The private key `uri` names by its object label and/or id. `label` and `id` are the key's own.
    TokenFinding findKey(const Pkcs11Uri& uri, EvpPkeyPtr& key, QString& label, QByteArray& id);

    // A copy (caller owns) of the certificate stored with id `id`, else with `label`; null when none.
    X509Ptr findCertificate(const QString& label, const QByteArray& id);

    // Takes the key pair with id `id` out of the token again, for a key made by a run that then
    // failed; false when a half of it stays.
    bool removeKeyPair(const QByteArray& id);

    // Takes the certificate with id `id` out of the token, for one that replaces it (a renewed
    // root beside the same key); false when it stays.
    bool removeCertificate(const QByteArray& id);

    // Stores `certificate` (borrowed) in the token under `label` and `id`, beside its key.
    TokenFinding storeCertificate(X509* certificate, const QString& label, const QByteArray& id);

private:
    TokenSession() = default;

    // Makes the pair through the module's own entry points; false when the token made none, or
    // one it cannot vouch for as never extractable and sensitive.
    bool generateKeyPair(QByteArray label, QByteArray id);

    QString mModulePath;

    PKCS11_ctx_st* mContext = nullptr;
    bool mLoaded = false;
    PKCS11_slot_st* mSlots = nullptr;
    unsigned int mSlotCount = 0;
    PKCS11_slot_st* mSlot = nullptr;
};
