#include "signaturecheck.h"

#include "osslproviders.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <openssl/err.h>

// xmlsec.h first: the others take its types for granted.
#include <xmlsec/xmlsec.h>

#include <xmlsec/errors.h>
#include <xmlsec/keys.h>
#include <xmlsec/transforms.h>
#include <xmlsec/xmldsig.h>

#include <xmlsec/openssl/app.h>
#include <xmlsec/openssl/crypto.h>
#include <xmlsec/openssl/evp.h>

#include <memory>

// The crypto layer is called by name below; a build that loads it at run time would need
// xmlSecCryptoDLLoadLibrary first and could pick another one.
#ifdef XMLSEC_CRYPTO_DYNAMIC_LOADING
#error "libxmlsec1 must be built without dynamic loading of its crypto layer"
#endif

namespace
{

using Failure = SignedComposition::Failure;

// Where xmlsec's reasons go while a check runs on this thread; nowhere otherwise (never to
// standard error, which the command's own messages use).
thread_local QString* reasonSink = nullptr;

void collectReason(const char* /*file*/, int /*line*/, const char* func, const char* /*errorObject*/,
                   const char* errorSubject, int reason, const char* msg)
{
    if (!reasonSink || !reasonSink->isEmpty())
        return; // the first reason is the innermost one, the one that says what went wrong
    QString text;
    for (xmlSecSize i = 0; i < XMLSEC_ERRORS_MAX_NUMBER && xmlSecErrorsGetMsg(i); ++i)
        if (xmlSecErrorsGetCode(i) == reason)
        {
            text = QString::fromUtf8(xmlSecErrorsGetMsg(i));
            break;
        }
    if (errorSubject && *errorSubject)
        text = QString::fromUtf8(errorSubject) + QStringLiteral(": ") + text;
    if (func && *func)
        text = QString::fromUtf8(func) + QStringLiteral(": ") + text;
    if (msg && *msg && qstrcmp(msg, " ") != 0)
        text += QStringLiteral(" (") + QString::fromUtf8(msg).trimmed() + QLatin1Char(')');
    *reasonSink = text;
}

void silentXmlError(void*, const char*, ...) {}

// Set up once, on first use. Made after the providers' holder (EnsureProvidersLoaded is called
// first), so it is destroyed before it: xmlsec is shut down while OpenSSL is whole.
class Library
{
public:
    Library()
    {
        EnsureProvidersLoaded();
        ERR_set_mark();
        problem = setUp();
        ERR_pop_to_mark();
    }
    ~Library()
    {
        if (cryptoInitialised)
            xmlSecOpenSSLShutdown();
        if (appInitialised)
            xmlSecOpenSSLAppShutdown();
        if (initialised)
            xmlSecShutdown();
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    bool ready() const { return cryptoInitialised; }

    QString problem;

private:
    QString setUp()
    {
        xmlInitParser();
        xmlSecErrorsSetCallback(collectReason);
        if (xmlSecInit() < 0)
            return QStringLiteral("xmlSecInit failed");
        initialised = true;
        if (xmlSecCheckVersion() != 1)
            return QStringLiteral("the libxmlsec1 loaded is not the %1 built against").arg(XMLSEC_VERSION);
        // The application set-up only initialises OpenSSL's strings, ciphers and configuration,
        // which loading the providers already did; it loads no provider and unloads none.
        if (xmlSecOpenSSLAppInit(nullptr) < 0)
            return QStringLiteral("xmlSecOpenSSLAppInit failed");
        appInitialised = true;
        if (xmlSecOpenSSLInit() < 0)
            return QStringLiteral("xmlSecOpenSSLInit failed");
        cryptoInitialised = true;
        return QString();
    }

    bool initialised = false;
    bool appInitialised = false;
    bool cryptoInitialised = false;
};

const Library& library()
{
    static const Library instance;
    return instance;
}

struct DSigCtxFree
{
    void operator()(xmlSecDSigCtx* context) const { xmlSecDSigCtxDestroy(context); }
};
struct KeyFree
{
    void operator()(xmlSecKey* key) const { xmlSecKeyDestroy(key); }
};
struct KeyDataFree
{
    void operator()(xmlSecKeyData* data) const { xmlSecKeyDataDestroy(data); }
};

// While a check runs: xmlsec's reasons are collected, libxml2's generic messages (the
// canonicalizer's) are dropped, and OpenSSL's errors raised by xmlsec never outlive the check.
class CheckScope
{
public:
    explicit CheckScope(QString* reason) : savedHandler(xmlGenericError), savedContext(xmlGenericErrorContext)
    {
        reasonSink = reason;
        xmlSetGenericErrorFunc(nullptr, silentXmlError);
        ERR_set_mark();
    }
    ~CheckScope()
    {
        ERR_pop_to_mark();
        xmlSetGenericErrorFunc(savedContext, savedHandler);
        reasonSink = nullptr;
    }
    CheckScope(const CheckScope&) = delete;
    CheckScope& operator=(const CheckScope&) = delete;

private:
    xmlGenericErrorFunc savedHandler;
    void* savedContext;
};

// The key xmlsec verifies with, made from the public key alone, so that nothing of the
// certificate (its chain, its validity) enters the check.
std::unique_ptr<xmlSecKey, KeyFree> keyOf(EVP_PKEY* publicKey)
{
    EVP_PKEY_up_ref(publicKey);
    std::unique_ptr<xmlSecKeyData, KeyDataFree> data(xmlSecOpenSSLEvpKeyAdopt(publicKey));
    if (!data)
    {
        EVP_PKEY_free(publicKey);
        return nullptr;
    }
    std::unique_ptr<xmlSecKey, KeyFree> key(xmlSecKeyCreate());
    if (!key || xmlSecKeySetValue(key.get(), data.get()) < 0)
        return nullptr;
    data.release(); // the key owns it now
    return key;
}

bool enableTransforms(xmlSecDSigCtx* context)
{
    const xmlSecTransformId canonicalizations[] = {
        xmlSecTransformInclC14NId, xmlSecTransformInclC14NWithCommentsId, xmlSecTransformExclC14NId,
        xmlSecTransformExclC14NWithCommentsId};
    const xmlSecTransformId signatures[] = {xmlSecOpenSSLTransformRsaSha256Id,
                                            xmlSecOpenSSLTransformRsaSha1Id};
    const xmlSecTransformId digests[] = {xmlSecOpenSSLTransformSha256Id, xmlSecOpenSSLTransformSha1Id};
    bool enabled = xmlSecDSigCtxEnableReferenceTransform(context, xmlSecTransformEnvelopedId) >= 0;
    for (xmlSecTransformId id : canonicalizations)
        enabled = enabled && xmlSecDSigCtxEnableSignatureTransform(context, id) >= 0 &&
                  xmlSecDSigCtxEnableReferenceTransform(context, id) >= 0;
    for (xmlSecTransformId id : signatures)
        enabled = enabled && xmlSecDSigCtxEnableSignatureTransform(context, id) >= 0;
    for (xmlSecTransformId id : digests)
        enabled = enabled && xmlSecDSigCtxEnableReferenceTransform(context, id) >= 0;
    return enabled;
}

bool aReferenceFailed(xmlSecDSigCtx* context)
{
    const xmlSecSize references = xmlSecPtrListGetSize(&context->signedInfoReferences);
    for (xmlSecSize i = 0; i < references; ++i)
    {
        auto* reference =
            static_cast<xmlSecDSigReferenceCtx*>(xmlSecPtrListGetItem(&context->signedInfoReferences, i));
        if (reference && reference->status != xmlSecDSigStatusSucceeded)
            return true;
    }
    return false;
}

} // namespace

SignatureCheck::Outcome SignatureCheck::verify(xmlNode* signature, EVP_PKEY* publicKey)
{
    Outcome outcome;
    const Library& xmlsec = library();
    if (!xmlsec.ready())
    {
        outcome.failure = Failure::CheckUnavailable;
        outcome.detail = xmlsec.problem;
        return outcome;
    }

    QString reason;
    const CheckScope scope(&reason);
    std::unique_ptr<xmlSecDSigCtx, DSigCtxFree> context(xmlSecDSigCtxCreate(nullptr));
    std::unique_ptr<xmlSecKey, KeyFree> key = keyOf(publicKey);
    if (!context || !key || !enableTransforms(context.get()))
    {
        outcome.failure = Failure::CheckUnavailable;
        outcome.detail = reason;
        return outcome;
    }
    // Only the document itself may be referenced: xmlsec resolves no URI, local or remote.
    context->enabledReferenceUris = xmlSecTransformUriTypeEmpty;
    // Kept so that a changed document (a reference's digest) is told from a changed or foreign
    // signature (SignedInfo against the key).
    context->flags = XMLSEC_DSIG_FLAGS_STORE_SIGNEDINFO_REFERENCES | XMLSEC_DSIG_FLAGS_IGNORE_MANIFESTS;
    // With a key set, xmlsec takes it as it is and never reads KeyInfo.
    context->signKey = key.release();

    const int result = xmlSecDSigCtxVerify(context.get(), signature);
    if (result >= 0 && context->status == xmlSecDSigStatusSucceeded)
        return outcome;
    outcome.failure = aReferenceFailed(context.get()) ? Failure::DigestMismatch : Failure::SignatureMismatch;
    outcome.detail = reason;
    return outcome;
}
