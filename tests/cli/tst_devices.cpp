// Device certificates: leaves with roles other than a content signer's, certificate requests made
// here and by openssl, signed by an authority that rebuilds what they propose, and many leaves in
// one run. openssl, the verifier and the chain checker are the judges.

#include "chaincheck.h"
#include "chainfixtures.h"
#include "clirun.h"
#include "commandline.h"
#include "console.h"

#include <QDir>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

using namespace ChainFixtures;

namespace
{

const QByteArray kPassword = "device secret";

struct ToolRun
{
    int status = -1;
    QByteArray out;
};

ToolRun openssl(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("openssl", arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput()};
}

// A request by openssl's own command line, its subject from a configuration so that a "+" in a
// value is taken as text; `extra` adds to the command (-sha1, -addext ...).
bool opensslRequest(const QString& out, const QString& keyOptions, const QByteArray& subject,
                    const QStringList& extra = {}, const QByteArray& stringMask = "nombstr")
{
    const QString config = out + ".cnf";
    if (!writeFile(config, "[req]\nprompt = no\ndistinguished_name = dn\nstring_mask = " + stringMask +
                               "\n[dn]\n" + subject))
        return false;
    const ToolRun made = openssl(
        QStringList{"req", "-new", "-config", config, "-out", out, "-nodes", "-keyout", out + ".key"} +
        keyOptions.split(' ', Qt::SkipEmptyParts) + extra);
    return made.status == 0;
}

// A request of `version` for `key`, its CN `commonName`, self-signed with SHA-256 and written as
// DER to `out`.
bool writeRequest(const QString& out, EVP_PKEY* key, long version, const char* commonName)
{
    X509ReqPtr request(X509_REQ_new());
    if (!request || X509_REQ_set_version(request.get(), version) != 1)
        return false;
    X509_NAME_add_entry_by_NID(X509_REQ_get_subject_name(request.get()), NID_commonName, MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    if (X509_REQ_set_pubkey(request.get(), key) != 1 || X509_REQ_sign(request.get(), key, EVP_sha256()) <= 0)
        return false;
    unsigned char* der = nullptr;
    const int length = i2d_X509_REQ(request.get(), &der);
    const bool written = length > 0 && writeFile(out, QByteArray(reinterpret_cast<char*>(der), length));
    OPENSSL_free(der);
    return written;
}

// A request of any version, which openssl's command line does not make.
bool requestOfVersion(const QString& out, long version)
{
    const EvpPkeyPtr key(EVP_RSA_gen(2048));
    return key && writeRequest(out, key.get(), version, "SM.Old");
}

// A request signed by an RSA key whose modulus has the factor 3: it signs and verifies, and only
// the public-key check tells it apart.
bool requestOfWeakModulus(const QString& out)
{
    const BigNumPtr p(BN_new()), q(BN_new()), e(BN_new()), n(BN_new()), d(BN_new()), pm1(BN_new()),
        qm1(BN_new()), phi(BN_new()), dmp1(BN_new()), dmq1(BN_new()), iqmp(BN_new());
    const std::unique_ptr<BN_CTX, OsslDeleter<BN_CTX_free>> context(BN_CTX_new());
    // q of 2046 bits with its two top bits set makes 3q exactly 2048 bits long.
    if (!BN_set_word(p.get(), 3) || !BN_set_word(e.get(), RSA_F4) ||
        !BN_generate_prime_ex(q.get(), 2046, 0, nullptr, nullptr, nullptr) ||
        !BN_mul(n.get(), p.get(), q.get(), context.get()) || !BN_sub(pm1.get(), p.get(), BN_value_one()) ||
        !BN_sub(qm1.get(), q.get(), BN_value_one()) ||
        !BN_mul(phi.get(), pm1.get(), qm1.get(), context.get()) ||
        !BN_mod_inverse(d.get(), e.get(), phi.get(), context.get()) ||
        !BN_mod(dmp1.get(), d.get(), pm1.get(), context.get()) ||
        !BN_mod(dmq1.get(), d.get(), qm1.get(), context.get()) ||
        !BN_mod_inverse(iqmp.get(), q.get(), p.get(), context.get()) || BN_num_bits(n.get()) != 2048)
        return false;
    const std::unique_ptr<OSSL_PARAM_BLD, OsslDeleter<OSSL_PARAM_BLD_free>> build(OSSL_PARAM_BLD_new());
    const std::pair<const char*, BIGNUM*> values[] = {{OSSL_PKEY_PARAM_RSA_N, n.get()},
                                                      {OSSL_PKEY_PARAM_RSA_E, e.get()},
                                                      {OSSL_PKEY_PARAM_RSA_D, d.get()},
                                                      {OSSL_PKEY_PARAM_RSA_FACTOR1, p.get()},
                                                      {OSSL_PKEY_PARAM_RSA_FACTOR2, q.get()},
                                                      {OSSL_PKEY_PARAM_RSA_EXPONENT1, dmp1.get()},
                                                      {OSSL_PKEY_PARAM_RSA_EXPONENT2, dmq1.get()},
                                                      {OSSL_PKEY_PARAM_RSA_COEFFICIENT1, iqmp.get()}};
    for (const auto& [name, value] : values)
        if (!build || OSSL_PARAM_BLD_push_BN(build.get(), name, value) != 1)
            return false;
    const std::unique_ptr<OSSL_PARAM, OsslDeleter<OSSL_PARAM_free>> parameters(
        OSSL_PARAM_BLD_to_param(build.get()));
    const EvpPkeyCtxPtr maker(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    EVP_PKEY* raw = nullptr;
    if (!parameters || !maker || EVP_PKEY_fromdata_init(maker.get()) != 1 ||
        EVP_PKEY_fromdata(maker.get(), &raw, EVP_PKEY_KEYPAIR, parameters.get()) != 1)
        return false;
    const EvpPkeyPtr key(raw);
    return writeRequest(out, key.get(), X509_REQ_VERSION_1, "SM.Weak");
}

QString commonNameOf(const QString& pem)
{
    const auto certificates = ChainCheck::loadPemCertificates(pem);
    return certificates.empty() ? QString() : subjectEntry(certificates.front().get(), NID_commonName);
}

} // namespace

class TestDevices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void rolesOfALeaf_data();
    void rolesOfALeaf();
    void rolesOfAChainsLeaf();
    void requestsGiveLeavesOfTheProfile_data();
    void requestsGiveLeavesOfTheProfile();
    void refusedRequests_data();
    void refusedRequests();
    void batchOfTwelve();
    void refusedBatchLines_data();
    void refusedBatchLines();
    void batchOptionsApart();

private:
    QString fixture(const QString& name) const { return mFixtures.filePath(name); }
    QStringList issuedBy() const
    {
        return {"--issuer",          fixture("root.pfx"), "--issuer-password-file",
                fixture("password"), "--serial",          "random"};
    }
    QStringList password() const { return {"--password-file", fixture("password")}; }

    QTemporaryDir mFixtures;
    std::unique_ptr<QTemporaryDir> mWork;
};

void TestDevices::initTestCase()
{
    QVERIFY(mFixtures.isValid());
    QVERIFY(QDir::setCurrent(mFixtures.path()));
    QVERIFY(writeFile(fixture("password"), kPassword + "\n"));
    const CliRun result =
        RunCli(QStringList{"root", "--out", "root", "--root-name", ".Devices.Example", "--organization",
                           ".Line", "--entity", "Authority", "--days", "1000"} +
               password());
    QVERIFY2(result.status == 0, Describe(result));
}

void TestDevices::init()
{
    mWork = std::make_unique<QTemporaryDir>();
    QVERIFY(mWork->isValid());
    QVERIFY(QDir::setCurrent(mWork->path()));
}

void TestDevices::rolesOfALeaf_data()
{
    QTest::addColumn<QString>("roles");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("commonName"); // on success; else a word of the refusal
    QTest::newRow("a media block") << "LE SPB MD FM SM" << 0 << "LE SPB MD FM SM.Device";
    QTest::newRow("spaces around") << "  PR  " << 0 << "PR.Device";
    QTest::newRow("unknown role") << "LE XX" << 2 << "XX";
    QTest::newRow("a role twice") << "SM MD SM" << 2 << "SM";
    QTest::newRow("signer beside a device role") << "CS SM" << 2 << "CS";
    QTest::newRow("no role") << " " << 2 << "--roles";
    QTest::newRow("lower case is another role") << "sm" << 2 << "sm";
}

void TestDevices::rolesOfALeaf()
{
    QFETCH(QString, roles);
    QFETCH(int, status);
    QFETCH(QString, commonName);
    const CliRun result =
        RunCli(QStringList{"leaf", "--out", "device", "--entity", "Device", "--roles", roles} + issuedBy() +
               password());
    QVERIFY2(result.status == status, Describe(result));
    if (status != 0)
    {
        QVERIFY2(result.err.contains(commonName.toUtf8()), Describe(result));
        QCOMPARE(QDir().entryList(QDir::Files), QStringList());
        return;
    }
    QCOMPARE(commonNameOf("device.pem"), commonName);
    const QStringList findings = ChainCheck::checkDevicePemFiles({fixture("root.pem"), "device.pem"});
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
    // A device passes as a device and is refused as the signer of a playlist.
    const QStringList verify{"verify", fixture("root.pem"), "device.pem"};
    CliRun judged = RunCli(verify);
    QVERIFY2(judged.status == 0, Describe(judged));
    judged = RunCli(verify + QStringList{"--signer"});
    QVERIFY2(judged.status == 1, Describe(judged));
}

// The chain's leaf takes the roles too; the authorities above it never carry one.
void TestDevices::rolesOfAChainsLeaf()
{
    CliRun result = RunCli(QStringList{"chain", "--out-dir", "lab", "--root-name", ".R", "--organization",
                                       ".O", "--roles", "SM", "--leaf-entity", "Block"} +
                           password());
    QVERIFY2(result.status == 0, Describe(result));
    QCOMPARE(commonNameOf("lab/leaf.pem"), QString("SM.Block"));
    QCOMPARE(commonNameOf("lab/root.pem"), QString(".Root"));
    result = RunCli(QStringList{"chain", "--out-dir", "bad", "--root-name", ".R", "--organization", ".O",
                                "--roles", "SM CS"} +
                    password());
    QCOMPARE(result.status, 2);
    QVERIFY(!QFileInfo::exists("bad"));
}

void TestDevices::requestsGiveLeavesOfTheProfile_data()
{
    QTest::addColumn<QString>("maker");
    QTest::addColumn<QString>("entity"); // the CN after "CS."
    QTest::newRow("made by request") << "request"
                                     << "Block";
    QTest::newRow("openssl, PrintableString") << "profile"
                                              << "Mover";
    QTest::newRow("openssl, UTF8String and CA:TRUE asked") << "utf8"
                                                           << "Shaper";
}

// Whoever made the request, the leaf has the issuer's O and OU, the CN of the authority's roles,
// the key's dnQualifier and the profile's extensions; every judge accepts it.
void TestDevices::requestsGiveLeavesOfTheProfile()
{
    QFETCH(QString, maker);
    QFETCH(QString, entity);
    if (maker == "request")
    {
        const CliRun made = RunCli(
            QStringList{"request", "--out", "device", "--entity", entity, "--organization", ".Proposed"} +
            password());
        QVERIFY2(made.status == 0, Describe(made));
        QVERIFY(QFileInfo("device.pfx").permissions() ==
                (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser));
        QCOMPARE(openssl({"req", "-in", "device.csr", "-noout", "-verify"}).status, 0);
        // The key is in its container under the password.
        QCOMPARE(
            openssl({"pkcs12", "-in", "device.pfx", "-nocerts", "-nodes", "-passin", "pass:" + kPassword})
                .status,
            0);
    }
    else if (maker == "profile")
        QVERIFY(opensslRequest("device.csr", "-newkey rsa:2048",
                               "O = Proposed\nOU = .Proposed\nCN = CS." + entity.toUtf8()));
    else
        QVERIFY(opensslRequest(
            "device.csr", "-newkey rsa:2048", "O = Größe\nCN = LE." + entity.toUtf8(),
            {"-utf8", "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=keyCertSign"},
            "utf8only"));
    const CliRun signedRun = RunCli(QStringList{"sign", "device.csr", "--out-dir", "signed"} + issuedBy());
    QVERIFY2(signedRun.status == 0, Describe(signedRun));
    QCOMPARE(signedRun.out.count('\n'), 2);
    if (maker == "utf8")
        QVERIFY2(signedRun.err.contains("basicConstraints"), Describe(signedRun));

    const auto leaf = ChainCheck::loadPemCertificates("signed/device.pem");
    QVERIFY(!leaf.empty());
    QCOMPARE(subjectEntry(leaf.front().get(), NID_commonName), "CS." + entity);
    QCOMPARE(subjectEntry(leaf.front().get(), NID_organizationName), QString(".Devices.Example"));
    QCOMPARE(subjectEntry(leaf.front().get(), NID_organizationalUnitName), QString(".Line"));
    QCOMPARE(ChainCheck::loadPemCertificates("signed/device-chain.pem").size(), size_t(2));
    const QStringList findings = ChainCheck::checkPemFiles({fixture("root.pem"), "signed/device.pem"});
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
    const ToolRun strict =
        openssl({"verify", "-x509_strict", "-CAfile", fixture("root.pem"), "signed/device.pem"});
    QVERIFY2(strict.status == 0, strict.out);
    const CliRun judged = RunCli({"verify", "--signer", "signed/device-chain.pem"});
    QVERIFY2(judged.status == 0, Describe(judged));
}

void TestDevices::refusedRequests_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("names"); // a word of the refusal
    QTest::newRow("a certificate, not a request") << "certificate" << QStringList() << "PKCS#10";
    QTest::newRow("too large") << "large" << QStringList() << "larger";
    QTest::newRow("signature broken") << "broken" << QStringList() << "signature";
    QTest::newRow("signed with SHA-1") << "sha1" << QStringList() << "SHA-256";
    QTest::newRow("version 2") << "version" << QStringList() << "version 1";
    QTest::newRow("RSA-1024") << "rsa1024" << QStringList() << "2048";
    QTest::newRow("exponent 3") << "exponent" << QStringList() << "65537";
    QTest::newRow("an EC key") << "ec" << QStringList() << "not RSA";
    QTest::newRow("a modulus with a small factor") << "weak" << QStringList() << "public-key check";
    QTest::newRow("dnQualifier of another key") << "dnq" << QStringList() << "dnQualifier";
    QTest::newRow("the issuer's key") << "issuer" << QStringList() << "issuer";
    QTest::newRow("one key twice") << "twice" << QStringList() << "same key";
    QTest::newRow("no entity after the roles") << "noentity" << QStringList() << "--entity";
    QTest::newRow("an entity no checker reads") << "utf8entity" << QStringList() << "bad.csr";
    QTest::newRow("an unknown role") << "good" << QStringList{"--roles", "CS XX"} << "XX";
}

// One refused request among good ones: its file and reason named, nothing issued, the folder as
// it was.
void TestDevices::refusedRequests()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, extra);
    QFETCH(QString, names);
    QVERIFY(opensslRequest("good.csr", "-newkey rsa:2048", "CN = SM.Good"));
    QString bad = "bad.csr";
    if (kind == "certificate")
        QVERIFY(QFile::copy(fixture("root.pem"), bad));
    else if (kind == "large")
        QVERIFY(writeFile(bad, QByteArray(70000, 'A')));
    else if (kind == "broken")
    {
        QVERIFY(opensslRequest("b.csr", "-newkey rsa:2048", "CN = SM.Broken", {"-outform", "DER"}));
        QByteArray der = readFile("b.csr");
        der[der.size() - 10] = char(der[der.size() - 10] ^ 0x01);
        QVERIFY(writeFile(bad, der));
    }
    else if (kind == "sha1")
        QVERIFY(opensslRequest(bad, "-newkey rsa:2048 -sha1", "CN = SM.Old"));
    else if (kind == "version")
        QVERIFY(requestOfVersion(bad, 1));
    else if (kind == "rsa1024")
        QVERIFY(opensslRequest(bad, "-newkey rsa:1024", "CN = SM.Small"));
    else if (kind == "exponent")
    {
        QCOMPARE(openssl({"genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-pkeyopt",
                          "rsa_keygen_pubexp:3", "-out", "e3.pem"})
                     .status,
                 0);
        QVERIFY(opensslRequest(bad, "-key e3.pem", "CN = SM.Three"));
    }
    else if (kind == "weak")
        QVERIFY(requestOfWeakModulus(bad));
    else if (kind == "ec")
        QVERIFY(opensslRequest(bad, "-newkey ec -pkeyopt ec_paramgen_curve:P-256", "CN = SM.Curve"));
    else if (kind == "dnq")
        QVERIFY(opensslRequest(bad, "-newkey rsa:2048",
                               "CN = SM.Other\ndnQualifier = 8Q+b/cL0tW2yJ0rKbbgYrG4kJ9E="));
    else if (kind == "issuer")
    {
        QCOMPARE(openssl({"pkcs12", "-in", fixture("root.pfx"), "-nocerts", "-nodes", "-legacy", "-passin",
                          "pass:" + kPassword, "-out", "issuer.key"})
                     .status,
                 0);
        QVERIFY(opensslRequest(bad, "-key issuer.key", "CN = SM.Mine"));
    }
    else if (kind == "twice")
        QVERIFY(QFile::copy("good.csr", bad));
    else if (kind == "noentity")
        QVERIFY(opensslRequest(bad, "-newkey rsa:2048", "CN = SM."));
    else if (kind == "utf8entity")
        QVERIFY(opensslRequest(bad, "-newkey rsa:2048", "CN = Größe", {"-utf8"}, "utf8only"));
    else
        bad.clear();

    QVERIFY(QDir().mkdir("signed"));
    QVERIFY(writeFile("signed/kept.txt", "kept"));
    QStringList requests{"good.csr"};
    if (!bad.isEmpty())
        requests << bad;
    const CliRun result =
        RunCli(QStringList{"sign"} + requests + QStringList{"--out-dir", "signed"} + issuedBy() + extra);
    QVERIFY2(result.status != 0, Describe(result));
    QVERIFY2(result.err.contains(names.toUtf8()), Describe(result));
    if (!bad.isEmpty() && kind != "twice")
        QVERIFY2(result.err.contains(bad.toUtf8()), Describe(result));
    QVERIFY(result.out.isEmpty());
    QCOMPARE(QDir("signed").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"kept.txt"});
}

// Twelve leaves in one run: twelve keys, serials and names, one password, every one a leaf of the
// profile under the issuer.
void TestDevices::batchOfTwelve()
{
    QByteArray batch = "# the line's devices\nname,entity,roles\n";
    for (int i = 1; i <= 12; ++i)
        batch +=
            "unit-" + QByteArray::number(i) + ",Unit " + QByteArray::number(i) + (i % 2 ? ",SM MD\n" : ",\n");
    QVERIFY(writeFile("line.csv", batch));
    const CliRun result =
        RunCli(QStringList{"leaf", "--batch", "line.csv", "--out-dir", "line"} + issuedBy() + password());
    QVERIFY2(result.status == 0, Describe(result));
    QCOMPARE(result.out.count('\n'), 24);

    QSet<QString> keys, serials, names;
    for (int i = 1; i <= 12; ++i)
    {
        const QString pem = QString("line/unit-%1.pem").arg(i);
        const auto leaf = ChainCheck::loadPemCertificates(pem);
        QVERIFY(!leaf.empty());
        names << subjectEntry(leaf.front().get(), NID_commonName);
        keys << subjectEntry(leaf.front().get(), NID_dnQualifier);
        serials << QString::fromLatin1(openssl({"x509", "-in", pem, "-noout", "-serial"}).out);
        const QStringList findings = ChainCheck::checkDevicePemFiles({fixture("root.pem"), pem});
        QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
        const ToolRun opened = openssl({"pkcs12", "-in", QString("line/unit-%1.pfx").arg(i), "-legacy",
                                        "-nokeys", "-passin", "pass:" + kPassword});
        QVERIFY2(opened.status == 0, opened.out);
    }
    QCOMPARE(keys.size(), 12);
    QCOMPARE(serials.size(), 12);
    QCOMPARE(names.size(), 12);
    QVERIFY(names.contains("SM MD.Unit 1"));
    QVERIFY(names.contains("CS.Unit 2"));
}

void TestDevices::refusedBatchLines_data()
{
    QTest::addColumn<QByteArray>("lines"); // after the header
    QTest::addColumn<QString>("line");     // the line number the refusal names
    QTest::newRow("a name twice") << QByteArray("a,A,SM\nb,B,SM\na,C,SM\n") << "line 5";
    QTest::newRow("an unknown role") << QByteArray("a,A,SM\nb,B,SM XX\n") << "line 4";
    QTest::newRow("a name out of the folder") << QByteArray("a,A,SM\n../b,B,SM\n") << "line 4";
    QTest::newRow("a character no checker reads") << QByteArray("a,A,SM\nb,Größe,SM\n") << "line 4";
    QTest::newRow("two fields") << QByteArray("a,A,SM\nb,B\n") << "line 4";
    QTest::newRow("no entity") << QByteArray("a,A,SM\nb, ,SM\n") << "line 4";
    QTest::newRow("the role given twice") << QByteArray("a,A,SM\nb,SM.B,SM\n") << "line 4";
}

// A bad line anywhere stops the whole run before a key is made; the folder stays as it was.
void TestDevices::refusedBatchLines()
{
    QFETCH(QByteArray, lines);
    QFETCH(QString, line);
    QVERIFY(writeFile("line.csv", "# devices\nname,entity,roles\n" + lines));
    QVERIFY(QDir().mkdir("line"));
    QVERIFY(writeFile("line/kept.txt", "kept"));
    const CliRun result =
        RunCli(QStringList{"leaf", "--batch", "line.csv", "--out-dir", "line"} + issuedBy() + password());
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(line.toUtf8()), Describe(result));
    QVERIFY(result.out.isEmpty());
    QCOMPARE(QDir("line").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"kept.txt"});
    // A file without its header loses no leaf to it.
    QVERIFY(writeFile("headless.csv", lines));
    QCOMPARE(
        RunCli(QStringList{"leaf", "--batch", "headless.csv", "--out-dir", "line"} + issuedBy() + password())
            .status,
        1);
}

// A single leaf's options and a batch's do not mix: the command line is wrong (status 2).
void TestDevices::batchOptionsApart()
{
    QVERIFY(writeFile("line.csv", "name,entity,roles\na,A,SM\n"));
    const QList<QStringList> rows{{"leaf", "--batch", "line.csv", "--out-dir", "line", "--entity", "A"},
                                  {"leaf", "--batch", "line.csv", "--out-dir", "line", "--roles", "SM"},
                                  {"leaf", "--batch", "line.csv"},
                                  {"leaf", "--out", "one", "--entity", "A", "--out-dir", "line"}};
    for (const QStringList& arguments : rows)
    {
        const CliRun result = RunCli(arguments + issuedBy() + password());
        QVERIFY2(result.status == 2, Describe(result));
    }
    QCOMPARE(QDir().entryList(QDir::Files), QStringList{"line.csv"});
}

QTEST_GUILESS_MAIN(TestDevices)
#include "tst_devices.moc"
