// A chain root -> intermediate -> leaf made the way the application makes it: each certificate
// issued from the PKCS#12 file of the one above, then written as PEM and PKCS#12. The profile is
// judged by the independent checker, by OpenSSL's strict path validation and by the openssl
// command line; the containers must read back as written.

#include "chaincheck.h"
#include "enginetestsupport.h"
#include "zidcertificate.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <openssl/x509_vfy.h>

#include <algorithm>
#include <ctime>

using namespace EngineTest;

namespace
{

struct Level
{
    const char* name;
    bool ca;
    int pathLength;
    unsigned keyUsage;
    const char* organization; // only the root's is stored; below it the issuer's wins
    const char* unit;
    const char* commonName;
    const char* password;
    int yearsValid;
};

constexpr Level kLevels[] = {
    {"root", true, 2, ZIDCertificate::KeyCertSign, "Talvane Test Root", "Root Unit", ".root.talvane.test",
     "root password", 20},
    {"intermediate", true, 1, ZIDCertificate::KeyCertSign, nullptr, "Intermediate Unit",
     ".intermediate.talvane.test", "intermediate password", 15},
    {"leaf", false, 0, ZIDCertificate::DigitalSignature | ZIDCertificate::KeyEncipherment, nullptr, "Leaf Unit",
     "CS.leaf.talvane.test", "leaf password", 10},
};

struct MadeChain
{
    std::unique_ptr<ZIDCertificate> certificates[3];
    QString pem[3];
    QString pkcs12[3];
};

// Issues and writes the three certificates into folder. keys: null to let each issuing make its
// own key (as the application does), else three keys that the objects take over.
QString makeChain(const QDir& folder, int algorithm, EVP_PKEY* const* keys, MadeChain* chain)
{
    const std::int64_t start = std::time(nullptr) - 3600;
    for (int i = 0; i < 3; ++i)
    {
        const Level& level = kLevels[i];
        auto certificate = std::make_unique<ZIDCertificate>();
        if (certificate->SetBasicConstraints(level.ca, level.pathLength) == 0)
            return QStringLiteral("%1: constraints refused").arg(level.name);
        certificate->SetKeyUsage(level.keyUsage, true);
        certificate->SetSubjectNames(level.organization, level.unit, level.commonName, nullptr);
        certificate->SetSerialNumber(i + 1);
        certificate->SetSigningAlgorithm(algorithm);
        certificate->SetValidityStart(start);
        certificate->SetValidityEnd(start + std::int64_t(level.yearsValid) * 365 * 86400);

        const QByteArray issuerFile = i == 0 ? QByteArray() : QFile::encodeName(chain->pkcs12[i - 1]);
        if (certificate->IssueCertificate(i == 0 ? nullptr : kLevels[i - 1].password,
                                          i == 0 ? nullptr : issuerFile.constData(),
                                          keys != nullptr ? keys[i] : nullptr) == 0)
            return QStringLiteral("%1: IssueCertificate failed").arg(level.name);
        chain->pem[i] = folder.filePath(QStringLiteral("%1.pem").arg(level.name));
        chain->pkcs12[i] = folder.filePath(QStringLiteral("%1.p12").arg(level.name));
        if (certificate->WritePem(QFile::encodeName(chain->pem[i])) == 0)
            return QStringLiteral("%1: WritePem failed").arg(level.name);
        if (certificate->WritePKCS12(QFile::encodeName(chain->pkcs12[i]), level.password) == 0)
            return QStringLiteral("%1: WritePKCS12 failed").arg(level.name);
        chain->certificates[i] = std::move(certificate);
    }
    return QString();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

} // namespace

class TestEngineChain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void chain_data();
    void chain();
    void timing();

private:
    QTemporaryDir mDir;
    EvpPkeyPtr mKeys[3];
};

void TestEngineChain::initTestCase()
{
    ChainCheck::initOpenSsl();
    QVERIFY(mDir.isValid());
    for (EvpPkeyPtr& key : mKeys)
    {
        key = makeRsaKey();
        QVERIFY(key);
    }
}

void TestEngineChain::chain_data()
{
    QTest::addColumn<int>("algorithm");
    QTest::addColumn<bool>("newKeys");
    // One row makes its keys while issuing, exactly as the application does; the other takes
    // the suite's keys, which keeps the sanitizer build quick.
    QTest::newRow("SHA-256, keys made while issuing") << 1 << true;
    QTest::newRow("SHA-1") << 0 << false;
}

void TestEngineChain::chain()
{
    QFETCH(int, algorithm);
    QFETCH(bool, newKeys);

    QDir folder(mDir.path());
    const QString name = algorithm == 0 ? "sha1" : "sha256";
    QVERIFY(folder.mkpath(name) && folder.cd(name));
    // The objects take over the keys they are given: each gets a reference of its own.
    EVP_PKEY* keys[3] = {};
    for (int i = 0; i < 3 && !newKeys; ++i)
    {
        EVP_PKEY_up_ref(mKeys[i].get());
        keys[i] = mKeys[i].get();
    }
    MadeChain made;
    const QString failure = makeChain(folder, algorithm, newKeys ? nullptr : keys, &made);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY2(ERR_peek_error() == 0, qPrintable(takeOpenSslErrors()));

    ChainCheck::Options options;
    options.digest = algorithm == 0 ? ChainCheck::Options::Digest::Sha1 : ChainCheck::Options::Digest::Sha256;
    options.at = QDateTime::currentDateTimeUtc();

    // The profile, from the files and from the objects that made them.
    QStringList findings = ChainCheck::checkPemFiles({made.pem[0], made.pem[1], made.pem[2]}, options);
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
    findings = ChainCheck::check({made.certificates[0]->mpX509, made.certificates[1]->mpX509,
                                  made.certificates[2]->mpX509},
                                 options);
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));

    // The containers: leaf and key, then the chain from the root down, every bag with its
    // friendlyName and localKeyID; each reads back as the same certificate, key and chain.
    for (int i = 0; i < 3; ++i)
    {
        std::vector<X509*> above;
        for (int j = 0; j < i; ++j)
            above.push_back(made.certificates[j]->mpX509);
        findings = ChainCheck::checkPkcs12File(made.pkcs12[i], kLevels[i].password, above);
        QVERIFY2(findings.isEmpty(), qPrintable(made.pkcs12[i] + ":\n" + findings.join('\n')));
        QCOMPARE(fileMode(made.pkcs12[i]), 0600u);

        ZIDCertificate read;
        QVERIFY(read.ReadPKCS12(QFile::encodeName(made.pkcs12[i]), kLevels[i].password) != 0);
        QCOMPARE(der(read.mpX509), der(made.certificates[i]->mpX509));
        QVERIFY(sameKey(read.mpKey, made.certificates[i]->mpKey));
        QCOMPARE(sk_X509_num(read.mpChain), i);
        for (int j = 0; j < i; ++j)
            QCOMPARE(der(sk_X509_value(read.mpChain, j)), der(made.certificates[j]->mpX509));
        QCOMPARE(read.getPathLength(), kLevels[i].pathLength);
        QCOMPARE(read.getIssuerOrganizationName(), std::string(kLevels[0].organization));
        QVERIFY2(ERR_peek_error() == 0, qPrintable(takeOpenSslErrors()));
    }

    // OpenSSL's strict path validation over what a peer gets from the leaf's container.
    const ChainCheck::Pkcs12Contents leaf = ChainCheck::loadPkcs12(made.pkcs12[2], kLevels[2].password);
    QVERIFY2(leaf.ok(), qPrintable(leaf.error));
    QCOMPARE(int(leaf.chain.size()), 2);
    const X509StorePtr store(X509_STORE_new());
    X509_STORE_add_cert(store.get(), leaf.chain[0].get());
    const BorrowedX509StackPtr untrusted(sk_X509_new_null());
    sk_X509_push(untrusted.get(), leaf.chain[1].get());
    const X509StoreCtxPtr context(X509_STORE_CTX_new());
    X509_STORE_CTX_init(context.get(), store.get(), leaf.certificate.get(), untrusted.get());
    X509_VERIFY_PARAM* parameters = X509_STORE_CTX_get0_param(context.get());
    X509_VERIFY_PARAM_set_flags(parameters, X509_V_FLAG_X509_STRICT);
    // SHA-1 signatures are below OpenSSL's default security level; the profile allows them.
    X509_VERIFY_PARAM_set_auth_level(parameters, 0);
    const int verified = X509_verify_cert(context.get());
    const int error = X509_STORE_CTX_get_error(context.get());
    QVERIFY2(verified == 1, X509_verify_cert_error_string(error));
    ERR_clear_error();

    // And the command line, strict as well.
    const QString openssl = QStandardPaths::findExecutable("openssl");
    if (openssl.isEmpty())
        QSKIP("the openssl command line is not installed");
    QProcess process;
    process.start(openssl, {"verify", "-x509_strict", "-auth_level", "0", "-CAfile", made.pem[0], "-untrusted",
                            made.pem[1], made.pem[2]});
    QVERIFY(process.waitForFinished(30000));
    const QByteArray output = process.readAllStandardOutput() + process.readAllStandardError();
    QVERIFY2(process.exitCode() == 0, output.constData());
    QCOMPARE(output.trimmed(), QFile::encodeName(made.pem[2]) + ": OK");
}

void TestEngineChain::timing()
{
    // A measurement for the developer, never a check: TALVANE_ENGINE_TIMING=<runs> turns it on.
    const int runs = qEnvironmentVariableIntValue("TALVANE_ENGINE_TIMING");
    if (runs <= 0)
        QSKIP("set TALVANE_ENGINE_TIMING=<runs> to measure issuing times");

    std::vector<double> withKeys, withoutKeys, perLevel[3];
    for (int run = 0; run < runs; ++run)
    {
        QTemporaryDir scratch;
        QDir folder(scratch.path());
        MadeChain made;
        QElapsedTimer timer;
        timer.start();
        QVERIFY(makeChain(folder, 1, nullptr, &made).isEmpty());
        withKeys.push_back(timer.nsecsElapsed() / 1e6);

        EVP_PKEY* keys[3];
        for (int i = 0; i < 3; ++i)
        {
            EVP_PKEY_up_ref(mKeys[i].get());
            keys[i] = mKeys[i].get();
        }
        MadeChain again;
        QDir second(scratch.path());
        QVERIFY(second.mkpath("given") && second.cd("given"));
        timer.restart();
        QVERIFY(makeChain(second, 1, keys, &again).isEmpty());
        withoutKeys.push_back(timer.nsecsElapsed() / 1e6);

        // Each level alone (issue + both writes), keys made while issuing.
        for (int i = 0; i < 3; ++i)
        {
            const Level& level = kLevels[i];
            ZIDCertificate certificate;
            certificate.SetBasicConstraints(level.ca, level.pathLength);
            certificate.SetKeyUsage(level.keyUsage, true);
            certificate.SetSubjectNames(level.organization, level.unit, level.commonName, nullptr);
            const QByteArray issuer = QFile::encodeName(made.pkcs12[std::max(i - 1, 0)]);
            const QByteArray pem = QFile::encodeName(folder.filePath("level.pem"));
            const QByteArray p12 = QFile::encodeName(folder.filePath("level.p12"));
            timer.restart();
            QVERIFY(certificate.IssueCertificate(i == 0 ? nullptr : kLevels[i - 1].password,
                                                 i == 0 ? nullptr : issuer.constData(), nullptr) != 0);
            QVERIFY(certificate.WritePem(pem) != 0 && certificate.WritePKCS12(p12, "pw") != 0);
            perLevel[i].push_back(timer.nsecsElapsed() / 1e6);
        }
    }
    qInfo("issuing and writing root + intermediate + leaf, median of %d runs:", runs);
    qInfo("  keys made while issuing: %.1f ms", median(withKeys));
    qInfo("  keys given:              %.1f ms", median(withoutKeys));
    qInfo("  so key generation:       %.1f ms of it", median(withKeys) - median(withoutKeys));
    qInfo("  per level with its key:  root %.1f ms, intermediate %.1f ms, leaf %.1f ms", median(perLevel[0]),
          median(perLevel[1]), median(perLevel[2]));
}

QTEST_GUILESS_MAIN(TestEngineChain)
#include "tst_enginechain.moc"
