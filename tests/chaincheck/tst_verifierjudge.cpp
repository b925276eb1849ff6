// The verifier as the field's judge of chains made by the `openssl` command line: the profile
// of SMPTE and Interop packages, the roles of device and signer certificates, names and keys
// that must be unique, and the root a chain must lead to.

#include "chainverifier.h"
#include "opensslchain.h"

#include <QCryptographicHash>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace
{

using Profile = ChainVerifyOptions::Profile;

enum class Anchor
{
    None,
    OwnRoot,         // the chain's root, as a certificate
    OwnRootOnly,     // the chain's root, given only as the trusted root
    OwnThumbprint,   // the chain's root, by its thumbprint
    OtherRoot,       // another root, as a certificate
    OtherThumbprint, // another root, by its thumbprint
};

// Base64(SHA-1(TBSCertificate)) read off the DER: the outer SEQUENCE's header, then the first
// element whole, header included.
QString thumbprintOf(const QByteArray& der)
{
    auto headerLength = [&der](int at, int* contentLength)
    {
        const auto first = quint8(der[at + 1]);
        if (first < 0x80)
        {
            *contentLength = first;
            return 2;
        }
        int length = 0;
        for (int i = 0; i < (first & 0x7F); ++i)
            length = length * 256 + quint8(der[at + 2 + i]);
        *contentLength = length;
        return 2 + (first & 0x7F);
    };
    int outer = 0;
    const int tbsAt = headerLength(0, &outer);
    int tbs = 0;
    const int tbsHeader = headerLength(tbsAt, &tbs);
    return QString::fromLatin1(
        QCryptographicHash::hash(der.mid(tbsAt, tbsHeader + tbs), QCryptographicHash::Sha1).toBase64());
}

QByteArray derOf(X509* certificate)
{
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    const QByteArray bytes(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(Profile)
Q_DECLARE_METATYPE(Anchor)

class TestVerifierJudge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void opensslChains_data();
    void opensslChains();

private:
    X509Ptr load(const QString& name) const;

    QTemporaryDir mFolder;
    std::unique_ptr<OpensslChain> mOpenssl;
};

void TestVerifierJudge::initTestCase()
{
    QVERIFY(mFolder.isValid());
    mOpenssl = std::make_unique<OpensslChain>(mFolder.path());
    for (const char* key : {"root", "intermediate", "leaf", "other"})
        QVERIFY2(mOpenssl->makeKey(QLatin1String(key)), qPrintable(mOpenssl->lastError()));
    OpensslChain::Spec other;
    other.name = "other";
    other.key = "other";
    other.commonName = ".Other Root";
    other.pathLength = 2;
    QVERIFY2(mOpenssl->make(other), qPrintable(mOpenssl->lastError()));
}

X509Ptr TestVerifierJudge::load(const QString& name) const
{
    std::vector<X509Ptr> certificates = ChainVerifier::loadPemCertificates(mOpenssl->pemPath(name));
    return certificates.empty() ? X509Ptr() : std::move(certificates.front());
}

void TestVerifierJudge::opensslChains_data()
{
    QTest::addColumn<QString>("digest");
    QTest::addColumn<Profile>("profile");
    QTest::addColumn<bool>("signer");
    QTest::addColumn<QString>("leafName");
    QTest::addColumn<QStringList>("serials"); // root, intermediate, leaf, second leaf (if any)
    QTest::addColumn<QString>("leafKey");
    QTest::addColumn<Anchor>("anchor");
    // "<error|warning>: <rule>: <certificate: 0 root, 1 intermediate, 2 leaf, 3 second leaf>"
    QTest::addColumn<QStringList>("expected");

    const QStringList serials = {"1", "2", "3"};
    const Profile smpte = Profile::Smpte;
    const Profile interop = Profile::Interop;
    const QString cs = "CS.Signer";
    QTest::newRow("SHA-256 chain") << "sha256" << smpte << false << cs << serials << "leaf" << Anchor::None
                                   << QStringList();
    QTest::newRow("all SHA-1 under SMPTE")
        << "sha1" << smpte << false << cs << serials << "leaf" << Anchor::None
        << QStringList{"error: signature algorithm: 0", "error: signature algorithm: 1",
                       "error: signature algorithm: 2"};
    QTest::newRow("all SHA-1 under Interop")
        << "sha1" << interop << false << cs << serials << "leaf" << Anchor::None << QStringList();
    QTest::newRow("SHA-256 under Interop")
        << "sha256" << interop << false << cs << serials << "leaf" << Anchor::None << QStringList();
    const QStringList serial65Bits = {"1", "2", "0x10000000000000000"};
    QTest::newRow("leaf serial of 65 bits under SMPTE")
        << "sha256" << smpte << false << cs << serial65Bits << "leaf" << Anchor::None
        << QStringList{"error: serial number: 2"};
    QTest::newRow("leaf serial of 65 bits under Interop")
        << "sha256" << interop << false << cs << serial65Bits << "leaf" << Anchor::None << QStringList();
    QTest::newRow("leaf serial of 161 bits under Interop")
        << "sha256" << interop << false << cs << QStringList{"1", "2", "0x1" + QString(40, '0')} << "leaf"
        << Anchor::None << QStringList{"error: serial number: 2"};

    // Device certificates, recipients of key deliveries.
    for (const char* device : {"SM.Server-1234", "LE SPB MD FM SM.Server", "CS SM.Both"})
        QTest::newRow(qPrintable(QStringLiteral("device leaf %1").arg(QLatin1String(device))))
            << "sha256" << smpte << false << QString::fromLatin1(device) << serials << "leaf" << Anchor::None
            << QStringList();
    QTest::newRow("unknown role") << "sha256" << smpte << false << "XX.Device" << serials << "leaf"
                                  << Anchor::None << QStringList{"warning: common name role: 2"};
    QTest::newRow("signer: CS alone")
        << "sha256" << smpte << true << cs << serials << "leaf" << Anchor::None << QStringList();
    QTest::newRow("signer: CS and SM") << "sha256" << smpte << true << "CS SM.Both" << serials << "leaf"
                                       << Anchor::None << QStringList{"warning: common name role: 2"};
    QTest::newRow("signer: SM without CS") << "sha256" << smpte << true << "SM.Server" << serials << "leaf"
                                           << Anchor::None << QStringList{"error: common name role: 2"};

    QTest::newRow("root and intermediate both serial 1")
        << "sha256" << smpte << false << cs << QStringList{"1", "1", "3"} << "leaf" << Anchor::None
        << QStringList{"error: issuer and serial: 1"};
    QTest::newRow("two leaves with one serial")
        << "sha256" << smpte << false << cs << QStringList{"1", "2", "3", "3"} << "leaf" << Anchor::None
        << QStringList{"error: issuer and serial: 3"};
    QTest::newRow("the intermediate's key in the leaf")
        << "sha256" << smpte << false << cs << serials << "intermediate" << Anchor::None
        << QStringList{"error: distinct keys: 2"};

    QTest::newRow("trusted root: its own")
        << "sha256" << smpte << false << cs << serials << "leaf" << Anchor::OwnRoot << QStringList();
    QTest::newRow("trusted root given apart")
        << "sha256" << smpte << false << cs << serials << "leaf" << Anchor::OwnRootOnly << QStringList();
    QTest::newRow("trusted thumbprint: its own")
        << "sha256" << smpte << false << cs << serials << "leaf" << Anchor::OwnThumbprint << QStringList();
    QTest::newRow("trusted root: another") << "sha256" << smpte << false << cs << serials << "leaf"
                                           << Anchor::OtherRoot << QStringList{"error: trust anchor: 0"};
    QTest::newRow("trusted thumbprint: another")
        << "sha256" << smpte << false << cs << serials << "leaf" << Anchor::OtherThumbprint
        << QStringList{"error: trust anchor: 0"};
}

void TestVerifierJudge::opensslChains()
{
    QFETCH(QString, digest);
    QFETCH(Profile, profile);
    QFETCH(bool, signer);
    QFETCH(QString, leafName);
    QFETCH(QStringList, serials);
    QFETCH(QString, leafKey);
    QFETCH(Anchor, anchor);
    QFETCH(QStringList, expected);

    const QString row =
        QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
    std::vector<OpensslChain::Spec> specs(serials.size());
    specs[0] = {row + "-root", "root", {}, {}, ".Root", serials[0], 2, 3650, digest};
    specs[1] = {row + "-intermediate",
                "intermediate",
                specs[0].name,
                "root",
                ".Intermediate",
                serials[1],
                1,
                3000,
                digest};
    specs[2] = {row + "-leaf", leafKey, specs[1].name, "intermediate", leafName,
                serials[2],    -1,      2000,          digest};
    if (serials.size() > 3)
        specs[3] = {row + "-second", "leaf", specs[1].name, "intermediate", "CS.Second",
                    serials[3],      -1,     2000,          digest};
    std::vector<X509Ptr> chain;
    for (const OpensslChain::Spec& spec : specs)
    {
        QVERIFY2(mOpenssl->make(spec), qPrintable(mOpenssl->lastError()));
        chain.push_back(load(spec.name));
        QVERIFY(chain.back());
    }
    const X509Ptr other = load("other");

    ChainVerifyOptions options;
    options.profile = profile;
    options.signer = signer;
    std::vector<X509*> given;
    for (const X509Ptr& certificate : chain)
        given.push_back(certificate.get());
    switch (anchor)
    {
    case Anchor::None:
        break;
    case Anchor::OwnRootOnly:
        given.erase(given.begin());
        [[fallthrough]];
    case Anchor::OwnRoot:
        options.trustedRoot = chain[0].get();
        break;
    case Anchor::OwnThumbprint:
        options.trustedThumbprint = thumbprintOf(derOf(chain[0].get()));
        break;
    case Anchor::OtherRoot:
        options.trustedRoot = other.get();
        break;
    case Anchor::OtherThumbprint:
        options.trustedThumbprint = thumbprintOf(derOf(other.get()));
        break;
    }
    const ChainReport report = ChainVerifier::verifyCertificates(given, options);

    QStringList found;
    for (const ChainFinding& finding : report.findings)
    {
        QVERIFY2(!finding.ruleId.isEmpty(), qPrintable(finding.line()));
        int index = -1;
        for (size_t i = 0; i < chain.size(); ++i)
            if (finding.about && X509_cmp(finding.about, chain[i].get()) == 0)
                index = int(i);
        found << QStringLiteral("%1: %2: %3")
                     .arg(finding.isError() ? "error" : "warning", finding.rule,
                          index < 0 ? finding.certificate : QString::number(index));
    }
    QCOMPARE(QSet<QString>(found.begin(), found.end()), QSet<QString>(expected.begin(), expected.end()));
    // Without a trusted root, and with the chain's own, the report names the root it took.
    if (anchor == Anchor::OtherRoot || anchor == Anchor::OtherThumbprint)
        QVERIFY(!report.trustedRoot);
    else
        QVERIFY(report.trustedRoot && X509_cmp(report.trustedRoot, chain[0].get()) == 0);
    QCOMPARE(report.identities.size(), chain.size());
}

QTEST_GUILESS_MAIN(TestVerifierJudge)
#include "tst_verifierjudge.moc"
