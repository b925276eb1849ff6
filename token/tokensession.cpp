#include "tokensession.h"

#include "secret.h"

#include <QFileInfo>

#include <QLibrary>

#include <libp11.h>
#include <openssl/err.h>
#include <openssl/rand.h>
#include <p11-kit/pkcs11.h>

#include <cstring>

namespace
{

// PKCS#11 return values libp11 leaves as the reason of its error.
constexpr unsigned long kPinIncorrect = 0xA0;
constexpr unsigned long kPinLocked = 0xA4;
constexpr unsigned long kPinExpired = 0xA3;

constexpr int kIdBytes = 20;
constexpr unsigned int kKeyBits = 2048;

// Where distributions put p11-kit's proxy module; the first that exists is taken.
#ifdef _WIN32
const char* const kProxyModules[] = {"p11-kit-proxy.dll"};
#else
const char* const kProxyModules[] = {"/usr/lib/x86_64-linux-gnu/p11-kit-proxy.so",
                                     "/usr/lib/aarch64-linux-gnu/p11-kit-proxy.so",
                                     "/usr/lib64/p11-kit-proxy.so", "/usr/lib/p11-kit-proxy.so"};
#endif

QString text(const char* value)
{
    return value ? QString::fromUtf8(value) : QString();
}

QByteArray bytes(const unsigned char* data, size_t size)
{
    return data ? QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)) : QByteArray();
}

bool tokenMatches(const PKCS11_SLOT& slot, const Pkcs11Uri& uri)
{
    const PKCS11_TOKEN* token = slot.token;
    if (token == nullptr || !token->initialized)
        return false;
    if (!uri.token.isEmpty() && text(token->label) != uri.token)
        return false;
    return uri.serial.isEmpty() || text(token->serialnr) == uri.serial;
}

// The module's own entry points. libp11 has loaded and initialised the module already; loading
// the same file again yields the same instance, whose login state every session of this process
// shares.
CK_FUNCTION_LIST_PTR moduleFunctions(const QString& modulePath)
{
    QLibrary module(modulePath);
    auto getFunctionList = reinterpret_cast<CK_C_GetFunctionList>(module.resolve("C_GetFunctionList"));
    CK_FUNCTION_LIST_PTR functions = nullptr;
    if (!getFunctionList || getFunctionList(&functions) != CKR_OK)
        return nullptr;
    return functions;
}

} // namespace

QString TokenModulePath(const QString& option, const Pkcs11Uri& uri, const QString& environment)
{
    if (!option.isEmpty())
        return option;
    if (!uri.modulePath.isEmpty())
        return uri.modulePath;
    if (!environment.isEmpty())
        return environment;
    for (const char* proxy : kProxyModules)
        if (QFileInfo::exists(QString::fromLatin1(proxy)))
            return QString::fromLatin1(proxy);
    return QString::fromLatin1(kProxyModules[0]);
}

TokenSession::~TokenSession()
{
    if (mSlots)
        PKCS11_release_all_slots(mContext, mSlots, mSlotCount);
    if (mLoaded)
        PKCS11_CTX_unload(mContext);
    if (mContext)
        PKCS11_CTX_free(mContext);
    // libp11 leaves its reasons on the queue; nothing after the session is about them.
    ERR_clear_error();
}

std::shared_ptr<TokenSession> TokenSession::open(const QString& modulePath, const Pkcs11Uri& uri,
                                                 TokenFinding& finding)
{
    std::shared_ptr<TokenSession> session(new TokenSession);
    finding = TokenFinding::ModuleMissing;
    if (!QFileInfo(modulePath).isFile())
        return nullptr;
    finding = TokenFinding::ModuleUnloadable;
    session->mContext = PKCS11_CTX_new();
    if (!session->mContext)
        return nullptr;
    session->mModulePath = QFileInfo(modulePath).absoluteFilePath();
    session->mLoaded =
        PKCS11_CTX_load(session->mContext, session->mModulePath.toLocal8Bit().constData()) == 0;
    if (!session->mLoaded)
        return nullptr;
    finding = TokenFinding::TokenMissing;
    if (PKCS11_enumerate_slots(session->mContext, &session->mSlots, &session->mSlotCount) != 0)
    {
        session->mSlots = nullptr;
        return nullptr;
    }
    int matches = 0;
    for (unsigned int i = 0; i < session->mSlotCount; ++i)
        if (tokenMatches(session->mSlots[i], uri) && matches++ == 0)
            session->mSlot = &session->mSlots[i];
    if (matches == 0)
        return nullptr;
    // Two tokens of one label are told apart by serial; none named is no choice either.
    finding = TokenFinding::TokenAmbiguous;
    if (matches > 1)
        return nullptr;
    finding = TokenFinding::SessionRefused;
    if (PKCS11_open_session(session->mSlot, 1) != 0)
        return nullptr;
    ERR_clear_error();
    finding = TokenFinding::Done;
    return session;
}

QString TokenSession::tokenLabel() const
{
    return text(mSlot->token->label);
}

TokenFinding TokenSession::logIn(const Secret& pin)
{
    if (mSlot->token->userPinLocked)
        return TokenFinding::PinLocked;
    ERR_clear_error();
    if (PKCS11_login(mSlot, 0, pin.data()) == 0)
        return TokenFinding::Done;
    const unsigned long reason = ERR_GET_REASON(ERR_peek_last_error());
    ERR_clear_error();
    if (reason == kPinIncorrect)
        return TokenFinding::WrongPin;
    if (reason == kPinLocked || reason == kPinExpired)
        return TokenFinding::PinLocked;
    return TokenFinding::LoginFailed;
}

bool TokenSession::seed(const QByteArray& seedBytes)
{
    const bool taken =
        PKCS11_seed_random(mSlot, reinterpret_cast<const unsigned char*>(seedBytes.constData()),
                           unsigned(seedBytes.size())) == 0;
    ERR_clear_error();
    return taken;
}

bool TokenSession::holdsLabel(const QString& label)
{
    const QByteArray wanted = label.toUtf8();
    PKCS11_KEY* keys = nullptr;
    unsigned int keyCount = 0;
    if (PKCS11_enumerate_keys(mSlot->token, &keys, &keyCount) == 0)
        for (unsigned int i = 0; i < keyCount; ++i)
            if (keys[i].label && wanted == keys[i].label)
                return true;
    if (PKCS11_enumerate_public_keys(mSlot->token, &keys, &keyCount) == 0)
        for (unsigned int i = 0; i < keyCount; ++i)
            if (keys[i].label && wanted == keys[i].label)
                return true;
    PKCS11_CERT* certificates = nullptr;
    unsigned int certificateCount = 0;
    if (PKCS11_enumerate_certs(mSlot->token, &certificates, &certificateCount) == 0)
        for (unsigned int i = 0; i < certificateCount; ++i)
            if (certificates[i].label && wanted == certificates[i].label)
                return true;
    ERR_clear_error();
    return false;
}

TokenFinding TokenSession::generateKey(const QString& label, EvpPkeyPtr& key, QByteArray& id)
{
    if (holdsLabel(label))
        return TokenFinding::ObjectTaken;
    // Random bytes from the generator the board has just seeded: an id no object has yet, with
    // a chance of a collision far below any other fault.
    id.resize(kIdBytes);
    if (RAND_bytes(reinterpret_cast<unsigned char*>(id.data()), kIdBytes) != 1)
        return TokenFinding::GenerationFailed;
    if (!generateKeyPair(label.toUtf8(), id))
        return TokenFinding::GenerationFailed;
    Pkcs11Uri madeUri;
    madeUri.id = id;
    QString foundLabel;
    QByteArray foundId;
    return findKey(madeUri, key, foundLabel, foundId) == TokenFinding::Done ? TokenFinding::Done
                                                                            : TokenFinding::GenerationFailed;
}

bool TokenSession::generateKeyPair(QByteArray label, QByteArray id)
{
    // libp11 0.4.12 makes a key only with a template that leaves CKA_EXTRACTABLE to the token's
    // default, and some tokens default to letting the key out wrapped. The pair is therefore
    // made through the module itself, with every attribute an authority's key needs stated: kept
    // in the token, private, sensitive, never extractable, and for signing only.
    CK_FUNCTION_LIST_PTR functions = moduleFunctions(mModulePath);
    if (!functions)
        return false;
    CK_SESSION_HANDLE session = CK_INVALID_HANDLE;
    if (functions->C_OpenSession(PKCS11_get_slotid_from_slot(mSlot), CKF_SERIAL_SESSION | CKF_RW_SESSION,
                                 nullptr, nullptr, &session) != CKR_OK)
        return false;

    CK_BBOOL yes = CK_TRUE;
    CK_BBOOL no = CK_FALSE;
    CK_ULONG modulusBits = kKeyBits;
    CK_BYTE publicExponent[] = {0x01, 0x00, 0x01};
    CK_ATTRIBUTE publicTemplate[] = {
        {CKA_TOKEN, &yes, sizeof yes},
        {CKA_PRIVATE, &no, sizeof no},
        {CKA_VERIFY, &yes, sizeof yes},
        {CKA_ENCRYPT, &no, sizeof no},
        {CKA_WRAP, &no, sizeof no},
        {CKA_MODULUS_BITS, &modulusBits, sizeof modulusBits},
        {CKA_PUBLIC_EXPONENT, publicExponent, sizeof publicExponent},
        {CKA_ID, id.data(), CK_ULONG(id.size())},
        {CKA_LABEL, label.data(), CK_ULONG(label.size())},
    };
    CK_ATTRIBUTE privateTemplate[] = {
        {CKA_TOKEN, &yes, sizeof yes},
        {CKA_PRIVATE, &yes, sizeof yes},
        {CKA_SENSITIVE, &yes, sizeof yes},
        {CKA_EXTRACTABLE, &no, sizeof no},
        {CKA_SIGN, &yes, sizeof yes},
        {CKA_DECRYPT, &no, sizeof no},
        {CKA_UNWRAP, &no, sizeof no},
        {CKA_ID, id.data(), CK_ULONG(id.size())},
        {CKA_LABEL, label.data(), CK_ULONG(label.size())},
    };
    CK_MECHANISM mechanism = {CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
    CK_OBJECT_HANDLE publicKey = CK_INVALID_HANDLE;
    CK_OBJECT_HANDLE privateKey = CK_INVALID_HANDLE;
    const CK_RV made = functions->C_GenerateKeyPair(
        session, &mechanism, publicTemplate, sizeof publicTemplate / sizeof *publicTemplate, privateTemplate,
        sizeof privateTemplate / sizeof *privateTemplate, &publicKey, &privateKey);

    // A token that stored the key yet cannot say it is never extractable has broken the promise
    // the key was made under; the pair is taken out again.
    bool kept = made == CKR_OK;
    if (kept)
    {
        CK_BBOOL neverExtractable = CK_FALSE;
        CK_BBOOL sensitive = CK_FALSE;
        CK_ATTRIBUTE readBack[] = {{CKA_NEVER_EXTRACTABLE, &neverExtractable, sizeof neverExtractable},
                                   {CKA_SENSITIVE, &sensitive, sizeof sensitive}};
        kept = functions->C_GetAttributeValue(session, privateKey, readBack, 2) == CKR_OK &&
               neverExtractable == CK_TRUE && sensitive == CK_TRUE;
        if (!kept)
        {
            functions->C_DestroyObject(session, privateKey);
            functions->C_DestroyObject(session, publicKey);
        }
    }
    functions->C_CloseSession(session);
    return kept;
}

TokenFinding TokenSession::findKey(const Pkcs11Uri& uri, EvpPkeyPtr& key, QString& label, QByteArray& id)
{
    PKCS11_KEY* keys = nullptr;
    unsigned int keyCount = 0;
    if (PKCS11_enumerate_keys(mSlot->token, &keys, &keyCount) != 0)
        keyCount = 0;
    ERR_clear_error();
    const QByteArray wanted = uri.object.toUtf8();
    for (unsigned int i = 0; i < keyCount; ++i)
    {
        const PKCS11_KEY& candidate = keys[i];
        if (!uri.object.isEmpty() && !(candidate.label && wanted == candidate.label))
            continue;
        if (!uri.id.isEmpty() && bytes(candidate.id, candidate.id_len) != uri.id)
            continue;
        if (uri.object.isEmpty() && uri.id.isEmpty())
            continue;
        key.reset(PKCS11_get_private_key(&keys[i]));
        ERR_clear_error();
        if (!key)
            return TokenFinding::ObjectMissing;
        label = text(candidate.label);
        id = bytes(candidate.id, candidate.id_len);
        return TokenFinding::Done;
    }
    return TokenFinding::ObjectMissing;
}

X509Ptr TokenSession::findCertificate(const QString& label, const QByteArray& id)
{
    PKCS11_CERT* certificates = nullptr;
    unsigned int count = 0;
    if (PKCS11_enumerate_certs(mSlot->token, &certificates, &count) != 0)
        count = 0;
    ERR_clear_error();
    const QByteArray wanted = label.toUtf8();
    const PKCS11_CERT* byLabel = nullptr;
    for (unsigned int i = 0; i < count; ++i)
    {
        const PKCS11_CERT& candidate = certificates[i];
        if (!candidate.x509)
            continue;
        if (!id.isEmpty() && bytes(candidate.id, candidate.id_len) == id)
            return X509Ptr(X509_dup(candidate.x509));
        if (!byLabel && !label.isEmpty() && candidate.label && wanted == candidate.label)
            byLabel = &candidate;
    }
    return byLabel ? X509Ptr(X509_dup(byLabel->x509)) : X509Ptr();
}

bool TokenSession::removeKeyPair(const QByteArray& id)
{
    bool removed = true;
    for (const bool privateHalf : {true, false})
    {
        PKCS11_KEY* keys = nullptr;
        unsigned int count = 0;
        const int listed = privateHalf ? PKCS11_enumerate_keys(mSlot->token, &keys, &count)
                                       : PKCS11_enumerate_public_keys(mSlot->token, &keys, &count);
        // Removing changes the list: the first match is taken out, then the list is read again.
        for (unsigned int i = 0; listed == 0 && i < count; ++i)
            if (bytes(keys[i].id, keys[i].id_len) == id)
            {
                removed = PKCS11_remove_key(&keys[i]) == 0 && removed;
                break;
            }
    }
    ERR_clear_error();
    return removed;
}

bool TokenSession::removeCertificate(const QByteArray& id)
{
    PKCS11_CERT* certificates = nullptr;
    unsigned int count = 0;
    bool removed = true;
    // libp11 keeps the list it read, so it is read once; one key has one certificate.
    if (PKCS11_enumerate_certs(mSlot->token, &certificates, &count) == 0)
        for (unsigned int i = 0; i < count; ++i)
            if (bytes(certificates[i].id, certificates[i].id_len) == id)
            {
                removed = PKCS11_remove_certificate(&certificates[i]) == 0;
                break;
            }
    ERR_clear_error();
    return removed;
}

TokenFinding TokenSession::storeCertificate(X509* certificate, const QString& label, const QByteArray& id)
{
    QByteArray labelBytes = label.toUtf8();
    QByteArray idBytes = id;
    const int stored = PKCS11_store_certificate(mSlot->token, certificate, labelBytes.data(),
                                                reinterpret_cast<unsigned char*>(idBytes.data()),
                                                size_t(idBytes.size()), nullptr);
    ERR_clear_error();
    return stored == 0 ? TokenFinding::Done : TokenFinding::StoreFailed;
}
