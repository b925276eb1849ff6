// The token library: names of token objects read from their URIs, and a real SoftHSM2 token
// that makes, finds and stores what an authority keeps in it.

#include "pkcs11uri.h"
#include "secret.h"
#include "softhsmtoken.h"
#include "tokensession.h"

#include <QtTest>

#include <openssl/core_names.h>
#include <openssl/x509.h>

Q_DECLARE_METATYPE(UriFinding)

namespace
{

const QString kLabel = QStringLiteral("Lab Root");
const QString kPin = QStringLiteral("4096-lab");

std::shared_ptr<TokenSession> openToken(TokenFinding& finding)
{
    Pkcs11Uri uri;
    uri.token = kLabel;
    return TokenSession::open(QString::fromLatin1(SoftHsmToken::kModule), uri, finding);
}

// The public exponent of a key, read back from its public half as any verifier would see it.
BigNumPtr exponentOf(EVP_PKEY* key)
{
    unsigned char* der = nullptr;
    const int size = i2d_PUBKEY(key, &der);
    const unsigned char* cursor = der;
    EvpPkeyPtr publicKey(size > 0 ? d2i_PUBKEY(nullptr, &cursor, size) : nullptr);
    OPENSSL_free(der);
    BIGNUM* exponent = nullptr;
    if (publicKey)
        EVP_PKEY_get_bn_param(publicKey.get(), OSSL_PKEY_PARAM_RSA_E, &exponent);
    return BigNumPtr(exponent);
}

X509Ptr selfSigned(EVP_PKEY* key)
{
    X509Ptr certificate(X509_new());
    X509_set_version(certificate.get(), 2);
    X509_set_pubkey(certificate.get(), key);
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(".Root"), -1,
                               -1, 0);
    X509_set_issuer_name(certificate.get(), name);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 3600);
    if (X509_sign(certificate.get(), key, EVP_sha256()) <= 0)
        return X509Ptr();
    return certificate;
}

} // namespace

class TestToken : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void uriParts_data();
    void uriParts();
    void uriRefused_data();
    void uriRefused();
    void uriRoundTrip();
    void moduleChoice();
    void openRefused();
    void throughProxy();
    void wrongPin();
    void keyMadeInToken();

private:
    SoftHsmToken mToken;
};

void TestToken::initTestCase()
{
    QVERIFY(mToken.valid());
    if (!QFileInfo::exists(QString::fromLatin1(SoftHsmToken::kModule)))
        QSKIP("SoftHSM2 is not installed (scripts/install-deps installs it)");
    QVERIFY(mToken.initialise(kLabel, kPin));
}

void TestToken::uriParts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QString>("module");
    QTest::newRow("blank encoded") << "pkcs11:token=Lab%20Root;object=root-key"
                                   << "Lab Root"
                                   << "root-key" << QByteArray() << QString();
    QTest::newRow("id as bytes, either case of hex")
        << "pkcs11:token=T;id=%01%aB%ff"
        << "T" << QString() << QByteArray("\x01\xab\xff", 3) << QString();
    QTest::newRow("module in the query")
        << "pkcs11:token=T;object=k?module-path=/usr/lib/softhsm/libsofthsm2.so"
        << "T"
        << "k" << QByteArray() << "/usr/lib/softhsm/libsofthsm2.so";
    QTest::newRow("UTF-8 label") << "pkcs11:token=Salle%20%C3%A9cran" << QStringLiteral("Salle \u00e9cran")
                                 << QString() << QByteArray() << QString();
    QTest::newRow("encoded semicolon stays in the value") << "pkcs11:token=a%3Bb;type=private"
                                                          << "a;b" << QString() << QByteArray() << QString();
    QTest::newRow("scheme in capitals") << "PKCS11:object=k" << QString() << "k" << QByteArray() << QString();
}

void TestToken::uriParts()
{
    QFETCH(QString, text);
    Pkcs11Uri uri;
    QCOMPARE(ParsePkcs11Uri(text, uri), UriFinding::Valid);
    QTEST(uri.token, "token");
    QTEST(uri.object, "object");
    QTEST(uri.id, "id");
    QTEST(uri.modulePath, "module");
}

void TestToken::uriRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<UriFinding>("finding");
    QTest::newRow("a file name") << "root.pfx" << UriFinding::NotPkcs11;
    QTest::newRow("percent at the end") << "pkcs11:token=Lab%2" << UriFinding::BadEncoding;
    QTest::newRow("percent before non-hex") << "pkcs11:token=Lab%zz" << UriFinding::BadEncoding;
    QTest::newRow("label not UTF-8") << "pkcs11:token=%ff%fe" << UriFinding::BadEncoding;
    QTest::newRow("pin in the query") << "pkcs11:token=T?pin-value=1234" << UriFinding::PinInUri;
    QTest::newRow("pin source in the query") << "pkcs11:token=T?pin-source=file:/p" << UriFinding::PinInUri;
    QTest::newRow("slot not matched by") << "pkcs11:slot-id=3;object=k" << UriFinding::UnknownAttribute;
    QTest::newRow("attribute without value") << "pkcs11:token" << UriFinding::UnknownAttribute;
    QTest::newRow("token twice") << "pkcs11:token=a;token=b" << UriFinding::AttributeTwice;
    QTest::newRow("public key type") << "pkcs11:token=T;type=public" << UriFinding::WrongObjectType;
}

void TestToken::uriRefused()
{
    QFETCH(QString, text);
    Pkcs11Uri uri;
    uri.token = QStringLiteral("kept");
    QTEST(ParsePkcs11Uri(text, uri), "finding");
    QCOMPARE(uri.token, QStringLiteral("kept"));
}

void TestToken::uriRoundTrip()
{
    const QString token = QStringLiteral("Lab; Root?&=%/\u00e9");
    const QString object = QStringLiteral("root key");
    Pkcs11Uri uri;
    QCOMPARE(ParsePkcs11Uri(Pkcs11UriText(token, object), uri), UriFinding::Valid);
    QCOMPARE(uri.token, token);
    QCOMPARE(uri.object, object);
}

void TestToken::moduleChoice()
{
    Pkcs11Uri uri;
    uri.modulePath = QStringLiteral("/uri.so");
    QCOMPARE(TokenModulePath(QStringLiteral("/option.so"), uri, QStringLiteral("/env.so")), "/option.so");
    QCOMPARE(TokenModulePath(QString(), uri, QStringLiteral("/env.so")), "/uri.so");
    QCOMPARE(TokenModulePath(QString(), Pkcs11Uri(), QStringLiteral("/env.so")), "/env.so");
    QVERIFY(TokenModulePath(QString(), Pkcs11Uri(), QString()).contains(QLatin1String("p11-kit-proxy")));
}

void TestToken::openRefused()
{
    TokenFinding finding = TokenFinding::Done;
    Pkcs11Uri uri;
    uri.token = kLabel;
    QVERIFY(!TokenSession::open(mToken.folder() + QStringLiteral("/none.so"), uri, finding));
    QCOMPARE(finding, TokenFinding::ModuleMissing);
    // A file that is no module: this test's own configuration.
    QVERIFY(!TokenSession::open(mToken.folder() + QStringLiteral("/softhsm2.conf"), uri, finding));
    QCOMPARE(finding, TokenFinding::ModuleUnloadable);
    uri.token = QStringLiteral("Other Lab");
    QVERIFY(!TokenSession::open(QString::fromLatin1(SoftHsmToken::kModule), uri, finding));
    QCOMPARE(finding, TokenFinding::TokenMissing);
}

// Without a module named, p11-kit's proxy finds the token through the modules registered with it.
void TestToken::throughProxy()
{
    const QString proxy = TokenModulePath(QString(), Pkcs11Uri(), QString());
    if (!QFileInfo::exists(proxy))
        QSKIP("p11-kit's proxy module is not installed (scripts/install-deps installs it)");
    Pkcs11Uri uri;
    uri.token = kLabel;
    TokenFinding finding = TokenFinding::ModuleMissing;
    auto session = TokenSession::open(proxy, uri, finding);
    QCOMPARE(finding, TokenFinding::Done);
    QCOMPARE(session->tokenLabel(), kLabel);
}

void TestToken::wrongPin()
{
    TokenFinding finding = TokenFinding::Done;
    auto session = openToken(finding);
    QVERIFY(session);
    QCOMPARE(session->logIn(Secret(QStringLiteral("0000"))), TokenFinding::WrongPin);
    // Refused once, the next login with the right PIN still works: one try was spent.
    auto again = openToken(finding);
    QCOMPARE(again->logIn(Secret(kPin)), TokenFinding::Done);
}

void TestToken::keyMadeInToken()
{
    TokenFinding finding = TokenFinding::Done;
    auto session = openToken(finding);
    QVERIFY(session);
    QCOMPARE(session->logIn(Secret(kPin)), TokenFinding::Done);
    QVERIFY(session->seed(QByteArray(32, '\x5a')));

    EvpPkeyPtr key;
    QByteArray id;
    QCOMPARE(session->generateKey(QStringLiteral("root-key"), key, id), TokenFinding::Done);
    QVERIFY(key);
    QCOMPARE(EVP_PKEY_get_bits(key.get()), 2048);
    BigNumPtr exponent = exponentOf(key.get());
    QVERIFY(exponent);
    QCOMPARE(quint64(BN_get_word(exponent.get())), quint64(65537));

    EvpPkeyPtr second;
    QByteArray secondId;
    QCOMPARE(session->generateKey(QStringLiteral("root-key"), second, secondId), TokenFinding::ObjectTaken);
    QCOMPARE(session->generateKey(QStringLiteral("other-key"), second, secondId), TokenFinding::Done);
    QVERIFY(secondId != id);
    second.reset();
    QVERIFY(session->removeKeyPair(secondId));
    // The module's own tool sees the token itself, not what this session listed before.
    const QString left = mToken.listObjects(kPin);
    QVERIFY2(!left.contains(QLatin1String("other-key")), qPrintable(left));
    QVERIFY(left.contains(QLatin1String("root-key")));

    // The key signs inside the token; the certificate stored beside it comes back the same.
    X509Ptr certificate = selfSigned(key.get());
    QVERIFY(certificate);
    QCOMPARE(X509_verify(certificate.get(), X509_get0_pubkey(certificate.get())), 1);
    QVERIFY(!session->findCertificate(QStringLiteral("root-key"), id));
    QCOMPARE(session->storeCertificate(certificate.get(), QStringLiteral("root-key"), id),
             TokenFinding::Done);
    X509Ptr stored = session->findCertificate(QString(), id);
    QVERIFY(stored);
    QCOMPARE(X509_cmp(stored.get(), certificate.get()), 0);

    // A renewed certificate replaces the one beside the key.
    QVERIFY(session->removeCertificate(id));
    QCOMPARE(session->storeCertificate(certificate.get(), QStringLiteral("root-key"), id),
             TokenFinding::Done);
    QCOMPARE(mToken.listObjects(kPin).count(QLatin1String("Certificate Object")), 1);

    Pkcs11Uri byLabel;
    byLabel.object = QStringLiteral("root-key");
    EvpPkeyPtr found;
    QString label;
    QByteArray foundId;
    QCOMPARE(session->findKey(byLabel, found, label, foundId), TokenFinding::Done);
    QCOMPARE(foundId, id);
    QCOMPARE(EVP_PKEY_eq(found.get(), key.get()), 1);
    byLabel.object = QStringLiteral("no-such-key");
    QCOMPARE(session->findKey(byLabel, found, label, foundId), TokenFinding::ObjectMissing);

    // The module's own tool is the judge of what the token lets out.
    const QString objects = mToken.listObjects(kPin);
    const qsizetype privateKey = objects.indexOf(QLatin1String("Private Key Object"));
    QVERIFY2(privateKey >= 0, qPrintable(objects));
    const QString access = objects.mid(privateKey).section(QLatin1Char('\n'), 0, 4);
    QVERIFY2(access.contains(QLatin1String("never extractable")), qPrintable(access));
    QVERIFY2(access.contains(QLatin1String("always sensitive")), qPrintable(access));
    // An authority's key signs and does nothing else: the template stated it, not the token.
    QVERIFY2(!access.contains(QLatin1String("decrypt")) && !access.contains(QLatin1String("unwrap")),
             qPrintable(access));
}

QTEST_GUILESS_MAIN(TestToken)
#include "tst_token.moc"
