// The profile checker itself: silent on chains made to the profile, and catching each kind of
// broken certificate; the PKCS#12 layout check on classic and on OpenSSL 3 default containers.

#include "certificatebuilder.h"
#include "chaincheck.h"
#include "faultcases.h"

#include <QFile>
#include <QTest>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>

namespace
{

const QDateTime kRootStart(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
const char kPassword[] = "secret";

struct ChainPlan
{
    const EVP_MD* digest = EVP_sha256();
    Fault fault = Fault::None;
    int faulty = -1; // index of the certificate that breaks a rule
    QDateTime start = kRootStart;
    bool readBeforeSigning = false;
};

QString joined(const QStringList& findings)
{
    return findings.isEmpty() ? QStringLiteral("(no findings)") : findings.join(QLatin1Char('\n'));
}

bool hasFinding(const QStringList& findings, const QString& rule, const QString& who)
{
    const QString prefix = rule + QStringLiteral(": ") + who + QStringLiteral(": ");
    for (const QString& finding : findings)
        if (finding.startsWith(prefix))
            return true;
    return false;
}

QByteArray sha1Of(X509* certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    X509_digest(certificate, EVP_sha1(), digest, &length);
    return QByteArray(reinterpret_cast<const char*>(digest), int(length));
}

// A copy carrying the attributes a certificate keeps after being read from a container of
// this tool: PKCS12_create writes them into the chain bags.
X509Ptr withBagAttributes(X509* certificate)
{
    X509Ptr copy(X509_dup(certificate));
    const QByteArray keyId = sha1Of(certificate);
    X509_alias_set1(copy.get(), reinterpret_cast<const unsigned char*>("friendlyname"), -1);
    X509_keyid_set1(copy.get(), reinterpret_cast<const unsigned char*>(keyId.constData()), int(keyId.size()));
    return copy;
}

QByteArray toDer(PKCS12* container)
{
    unsigned char* der = nullptr;
    const int length = i2d_PKCS12(container, &der);
    const QByteArray bytes(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    return bytes;
}

void writePem(const QString& path, X509* certificate)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, certificate);
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    file.write(data, length);
    BIO_free(bio);
}

} // namespace

class TestChainCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void goodChainPasses_data();
    void goodChainPasses();
    void brokenCertificateIsCaught_data();
    void brokenCertificateIsCaught();
    void digestOtherThanChosenIsCaught();
    void validityAtGivenTime_data();
    void validityAtGivenTime();
    void authoritiesWithoutLeaf();
    void degenerateChains();
    void callersErrorsSurvive();
    void pemFiles();

    void pkcs12Layout_data();
    void pkcs12Layout();
    void pkcs12ReadsBackInOrder();

private:
    std::vector<X509Ptr> makeChain(const ChainPlan& plan) const;

    ChainKeys mKeys;
    std::vector<X509Ptr> mGoodChain;
};

void TestChainCheck::initTestCase()
{
    ChainCheck::initOpenSsl();
    QVERIFY(mKeys.make());
    mGoodChain = makeChain(ChainPlan());
}

std::vector<X509Ptr> TestChainCheck::makeChain(const ChainPlan& plan) const
{
    ChainLayout layout;
    layout.digest = plan.digest;
    layout.fault = plan.fault;
    layout.faulty = plan.faulty;
    layout.readBeforeSigning = plan.readBeforeSigning;
    for (int i = 0; i < 3; ++i)
    {
        layout.notBefore[i] = plan.start.addDays(i);
        layout.notAfter[i] = plan.start.addYears(10 - i);
    }
    return CertificateBuilder::chain(mKeys, layout);
}

void TestChainCheck::goodChainPasses_data()
{
    QTest::addColumn<bool>("sha1");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<bool>("readBeforeSigning");

    QTest::newRow("SHA-256") << false << kRootStart << false;
    QTest::newRow("SHA-1 when chosen") << true << kRootStart << false;
    QTest::newRow("dated in the future")
        << false << QDateTime(QDate(2046, 5, 1), QTime(12, 0), Qt::UTC) << false;
    QTest::newRow("ending after 2049 (GeneralizedTime)")
        << false << QDateTime(QDate(2045, 1, 1), QTime(), Qt::UTC) << false;
    // OpenSSL keeps what it cached of an unsigned certificate; judged as encoded, it passes.
    QTest::newRow("objects read before signing") << false << kRootStart << true;
}

void TestChainCheck::goodChainPasses()
{
    QFETCH(bool, sha1);
    QFETCH(QDateTime, start);
    QFETCH(bool, readBeforeSigning);
    ChainPlan plan;
    plan.readBeforeSigning = readBeforeSigning;
    plan.digest = sha1 ? EVP_sha1() : EVP_sha256();
    plan.start = start;
    ChainCheck::Options options;
    options.digest = sha1 ? ChainCheck::Options::Digest::Sha1 : ChainCheck::Options::Digest::Sha256;

    const QStringList findings = ChainCheck::check(ChainCheck::borrow(makeChain(plan)), options);
    QVERIFY2(findings.isEmpty(), qPrintable(joined(findings)));
    QCOMPARE(ERR_peek_error(), 0UL);
}

void TestChainCheck::brokenCertificateIsCaught_data()
{
    addFaultColumns();
    addFaultRows(sharedFaultCases());
    // These break another certificate than the rows of the same names in the verify suite; the
    // root's own AKI serial is judged here only.
    using namespace ChainPosition;
    addFaultRows({
        {"O differing from the issuer's", Fault::OtherOrganization, intermediate, "organization"},
        {"non-critical basicConstraints", Fault::NonCriticalBasicConstraints, intermediate,
         "basicConstraints"},
        {"AKI serial not the parent's", Fault::AuthoritySerialWrong, leaf, "authorityKeyIdentifier"},
        {"root AKI serial not its own", Fault::AuthoritySerialWrong, root, "authorityKeyIdentifier"},
    });
}

void TestChainCheck::brokenCertificateIsCaught()
{
    QFETCH(Fault, fault);
    QFETCH(int, faulty);
    QFETCH(QString, rule);
    ChainPlan plan;
    plan.fault = fault;
    plan.faulty = faulty;
    const std::vector<X509Ptr> chain = makeChain(plan);

    const QStringList findings = ChainCheck::check(ChainCheck::borrow(chain));
    QVERIFY2(hasFinding(findings, rule, ChainCheck::describe(chain[faulty].get())),
             qPrintable(joined(findings)));
    QCOMPARE(ERR_peek_error(), 0UL);
}

void TestChainCheck::digestOtherThanChosenIsCaught()
{
    ChainCheck::Options sha1;
    sha1.digest = ChainCheck::Options::Digest::Sha1;
    const QStringList findings = ChainCheck::check(ChainCheck::borrow(mGoodChain), sha1);
    for (const X509Ptr& certificate : mGoodChain)
        QVERIFY2(hasFinding(findings, "signature algorithm", ChainCheck::describe(certificate.get())),
                 qPrintable(joined(findings)));
}

void TestChainCheck::validityAtGivenTime_data()
{
    QTest::addColumn<QDateTime>("at");
    QTest::addColumn<int>("invalidCount"); // certificates not valid at that time

    QTest::newRow("inside every validity") << kRootStart.addYears(1) << 0;
    QTest::newRow("one second before the root starts") << kRootStart.addSecs(-1) << 3;
    QTest::newRow("after the leaf ends, before the intermediate") << kRootStart.addYears(8).addSecs(1) << 1;
}

void TestChainCheck::validityAtGivenTime()
{
    QFETCH(QDateTime, at);
    QFETCH(int, invalidCount);
    ChainCheck::Options options;
    options.at = at;

    const QStringList findings = ChainCheck::check(ChainCheck::borrow(mGoodChain), options);
    QCOMPARE(findings.filter(QStringLiteral("not valid at")).size(), invalidCount);
    QCOMPARE(findings.filter(QRegularExpression(QStringLiteral("^path validation: "))).isEmpty(),
             invalidCount == 0);
}

void TestChainCheck::authoritiesWithoutLeaf()
{
    ChainCheck::Options authoritiesOnly;
    authoritiesOnly.lastIsLeaf = false;
    std::vector<X509*> chain = ChainCheck::borrow(mGoodChain);
    chain.pop_back();
    QVERIFY2(ChainCheck::check(chain, authoritiesOnly).isEmpty(),
             qPrintable(joined(ChainCheck::check(chain, authoritiesOnly))));
    QVERIFY(ChainCheck::check({mGoodChain[0].get()}, authoritiesOnly).isEmpty());

    // The leaf judged as an authority breaks the authority rules.
    const QStringList findings = ChainCheck::check(ChainCheck::borrow(mGoodChain), authoritiesOnly);
    const QString leaf = ChainCheck::describe(mGoodChain[2].get());
    QVERIFY(hasFinding(findings, "common name role", leaf));
    QVERIFY(hasFinding(findings, "basicConstraints", leaf));
    QVERIFY(hasFinding(findings, "keyUsage", leaf));
}

void TestChainCheck::degenerateChains()
{
    QVERIFY(ChainCheck::check(std::vector<X509*>{}).first().startsWith("chain: "));
    QVERIFY(ChainCheck::check({mGoodChain[0].get(), nullptr}).first().startsWith("chain: "));
    // Leaf first: every link is wrong somewhere.
    const QStringList reversed =
        ChainCheck::check({mGoodChain[2].get(), mGoodChain[1].get(), mGoodChain[0].get()});
    QVERIFY(hasFinding(reversed, "issuer name", ChainCheck::describe(mGoodChain[2].get())));
    QVERIFY(hasFinding(reversed, "signature", ChainCheck::describe(mGoodChain[1].get())));
    QVERIFY(!reversed.filter(QRegularExpression("^path validation: ")).isEmpty());
}

void TestChainCheck::callersErrorsSurvive()
{
    ERR_raise(ERR_LIB_USER, 42);
    // Each of these runs into OpenSSL errors of its own.
    QVERIFY(!ChainCheck::check({mGoodChain[2].get(), mGoodChain[0].get()}).isEmpty());
    QVERIFY(!ChainCheck::checkPkcs12Layout("0123456789", kPassword).isEmpty());
    QVERIFY(ChainCheck::loadPemCertificates("absent.pem").empty());
    QVERIFY(!ChainCheck::loadPkcs12("absent.p12", kPassword).ok());

    QCOMPARE(ERR_GET_REASON(ERR_peek_error()), 42);
    QCOMPARE(ERR_GET_REASON(ERR_peek_last_error()), 42);
    ERR_clear_error();
}

void TestChainCheck::pemFiles()
{
    const QStringList names = {"root.pem", "intermediate.pem", "leaf.pem"};
    for (int i = 0; i < 3; ++i)
        writePem(names[i], mGoodChain[size_t(i)].get());
    QVERIFY2(ChainCheck::checkPemFiles(names).isEmpty(),
             qPrintable(joined(ChainCheck::checkPemFiles(names))));

    const QStringList missing = ChainCheck::checkPemFiles({"root.pem", "absent.pem", "leaf.pem"});
    QCOMPARE(missing.size(), 1);
    QVERIFY(missing.first().startsWith("load: absent.pem"));

    // All blocks of a file, in file order.
    QFile all("all.pem");
    QVERIFY(all.open(QIODevice::WriteOnly));
    for (const QString& name : names)
    {
        QFile part(name);
        QVERIFY(part.open(QIODevice::ReadOnly));
        all.write(part.readAll());
    }
    all.close();
    const std::vector<X509Ptr> loaded = ChainCheck::loadPemCertificates("all.pem");
    QCOMPARE(loaded.size(), size_t(3));
    for (size_t i = 0; i < 3; ++i)
        QCOMPARE(X509_cmp(loaded[i].get(), mGoodChain[i].get()), 0);
}

namespace
{

enum class Container
{
    Classic,
    OpenSsl3Defaults,
    ChainWithoutAttributes,
    MacWith2048Iterations,
    PlainCertificateSafe,
    OtherFriendlyName,
    NotAContainer,
};

// leaf with its key, then the chain; PKCS12_create copies what it needs.
QByteArray makeContainer(Container kind, X509* leaf, EVP_PKEY* key, const std::vector<X509*>& chain)
{
    if (kind == Container::NotAContainer)
        return QByteArray("0123456789");
    std::vector<X509Ptr> copies;
    STACK_OF(X509)* list = sk_X509_new_null();
    for (X509* certificate : chain)
    {
        copies.push_back(kind == Container::ChainWithoutAttributes ? X509Ptr(X509_dup(certificate))
                                                                   : withBagAttributes(certificate));
        sk_X509_push(list, copies.back().get());
    }
    int keyNid = NID_pbe_WithSHA1And3_Key_TripleDES_CBC;
    int certificateNid = NID_pbe_WithSHA1And40BitRC2_CBC;
    int macIterations = -1; // no MAC yet: PKCS12_set_mac below picks SHA-1
    if (kind == Container::OpenSsl3Defaults)
        keyNid = certificateNid = macIterations = 0;
    if (kind == Container::PlainCertificateSafe)
        certificateNid = -1;
    const char* name = kind == Container::OtherFriendlyName ? "Signer" : "friendlyname";
    PKCS12* container =
        PKCS12_create(kPassword, name, key, leaf, list, keyNid, certificateNid, 0, macIterations, 0);
    sk_X509_free(list);
    if (!container)
        return QByteArray();
    if (macIterations == -1)
        PKCS12_set_mac(container, kPassword, -1, nullptr, 0,
                       kind == Container::MacWith2048Iterations ? 2048 : 1, EVP_sha1());
    const QByteArray der = toDer(container);
    PKCS12_free(container);
    return der;
}

} // namespace

Q_DECLARE_METATYPE(Container)

void TestChainCheck::pkcs12Layout_data()
{
    QTest::addColumn<Container>("kind");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<bool>("reversedExpectation"); // expect the chain bags the other way round
    QTest::addColumn<QStringList>("expected");     // each must be part of some finding

    const QByteArray password = kPassword;
    QTest::newRow("classic layout") << Container::Classic << password << false << QStringList();
    QTest::newRow("OpenSSL 3 defaults")
        << Container::OpenSsl3Defaults << password << false
        << QStringList{"certificate safe encrypted with PBES2", "key bag encrypted with PBES2",
                       "MAC digest sha256", "MAC with 2048 iterations"};
    QTest::newRow("chain certificates without bag attributes")
        << Container::ChainWithoutAttributes << password << false
        << QStringList{"certificate bag 1 (CN \".Test Root\" serial 1) has no friendlyName",
                       "certificate bag 2 (CN \".Test Intermediate\" serial 2) has no localKeyID"};
    QTest::newRow("chain bags in another order than expected")
        << Container::Classic << password << true
        << QStringList{"chain certificate 1 is CN \".Test Root\" serial 1, not CN \".Test Intermediate\""};
    QTest::newRow("MAC with 2048 iterations") << Container::MacWith2048Iterations << password << false
                                              << QStringList{"MAC with 2048 iterations, not 1"};
    QTest::newRow("certificates in a plain safe") << Container::PlainCertificateSafe << password << false
                                                  << QStringList{"the first safe is pkcs7-data"};
    QTest::newRow("own friendlyName other than friendlyname")
        << Container::OtherFriendlyName << password << false
        << QStringList{"certificate bag 0 (CN \"CS.Test Signer\" serial 3) has friendlyName \"Signer\"",
                       "the key bag has friendlyName \"Signer\""};
    QTest::newRow("wrong password") << Container::Classic << QByteArray("Secret") << false
                                    << QStringList{"the MAC does not verify", "cannot be decrypted"};
    QTest::newRow("not a container") << Container::NotAContainer << password << false
                                     << QStringList{"not a PKCS#12 container"};
}

void TestChainCheck::pkcs12Layout()
{
    QFETCH(Container, kind);
    QFETCH(QByteArray, password);
    QFETCH(bool, reversedExpectation);
    QFETCH(QStringList, expected);
    const std::vector<X509*> chain = {mGoodChain[0].get(), mGoodChain[1].get()};
    const QByteArray der = makeContainer(kind, mGoodChain[2].get(), mKeys.certificates[2].get(), chain);
    QVERIFY(!der.isEmpty());

    const std::vector<X509*> expectedChain =
        reversedExpectation ? std::vector<X509*>{chain[1], chain[0]} : chain;
    const QStringList findings = ChainCheck::checkPkcs12Layout(der, password, expectedChain);
    if (expected.isEmpty())
        QVERIFY2(findings.isEmpty(), qPrintable(joined(findings)));
    for (const QString& part : expected)
        QVERIFY2(!findings.filter(part).isEmpty(),
                 qPrintable(part + QStringLiteral(" not in:\n") + joined(findings)));
    for (const QString& finding : findings)
        QVERIFY(finding.startsWith("pkcs12: "));
    QCOMPARE(ERR_peek_error(), 0UL);
}

void TestChainCheck::pkcs12ReadsBackInOrder()
{
    const std::vector<X509*> chain = {mGoodChain[0].get(), mGoodChain[1].get()};
    QFile file("leaf.p12");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(makeContainer(Container::Classic, mGoodChain[2].get(), mKeys.certificates[2].get(), chain));
    file.close();
    QVERIFY(ChainCheck::checkPkcs12File("leaf.p12", kPassword, chain).isEmpty());

    const ChainCheck::Pkcs12Contents contents = ChainCheck::loadPkcs12("leaf.p12", kPassword);
    QVERIFY2(contents.ok(), qPrintable(contents.error));
    QCOMPARE(X509_cmp(contents.certificate.get(), mGoodChain[2].get()), 0);
    QCOMPARE(EVP_PKEY_eq(contents.key.get(), mKeys.certificates[2].get()), 1);
    QCOMPARE(contents.chain.size(), size_t(2));
    QCOMPARE(X509_cmp(contents.chain[0].get(), chain[0]), 0);
    QCOMPARE(X509_cmp(contents.chain[1].get(), chain[1]), 0);

    const ChainCheck::Pkcs12Contents wrong = ChainCheck::loadPkcs12("leaf.p12", "Secret");
    QVERIFY(!wrong.ok());
    QVERIFY(!wrong.key && !wrong.certificate && wrong.chain.empty());
    QVERIFY(!ChainCheck::loadPkcs12("absent.p12", kPassword).ok());
}

QTEST_GUILESS_MAIN(TestChainCheck)
#include "tst_chaincheck.moc"
