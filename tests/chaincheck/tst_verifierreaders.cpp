// What the verifier's readers make of the files a user may hand them: PEM, DER and PKCS#12
// told apart by content, damaged PEM blocks named, files too large refused without being read
// whole, and PKCS#12 files whose iteration counts would hold a reader for minutes refused
// before any key is derived (by the engine's container reader too).

#include "chainverifier.h"
#include "opensslchain.h"
#include "opensslutil.h"
#include "pkcs12work.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <openssl/pkcs12.h>

namespace
{

using Kind = ChainVerifier::CertificateFile::Kind;
using Outcome = ChainVerifier::Pkcs12Contents::Outcome;
const char kPassword[] = "pfx secret";
constexpr long kHours = 0x7FFFFFFF; // 2^31-1: minutes of work for each derivation

enum class Count
{
    Mac,
    CertificateSafe,
    KeyBag,
};

// Sets the iteration count of an algorithm identifier with PBEParameter (the classic PKCS#12
// schemes), leaving everything encrypted with the old count as it is.
bool setPbeIterations(X509_ALGOR* algorithm, long iterations)
{
    PbeParamPtr pbe(
        static_cast<PBEPARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBEPARAM), algorithm->parameter)));
    return pbe && ASN1_INTEGER_set(pbe->iter, iterations) &&
           ASN1_TYPE_pack_sequence(ASN1_ITEM_rptr(PBEPARAM), pbe.get(), &algorithm->parameter);
}

// A copy of a classic container (`openssl pkcs12 -legacy`) with one count set to `iterations`,
// as a hostile file would carry it.
QByteArray withCount(const QByteArray& der, Count which, long iterations)
{
    const auto* cursor = reinterpret_cast<const unsigned char*>(der.constData());
    Pkcs12Ptr container(d2i_PKCS12(nullptr, &cursor, long(der.size())));
    if (!container)
        return QByteArray();
    if (which == Count::Mac)
    {
        const ASN1_INTEGER* count = nullptr;
        PKCS12_get0_mac(nullptr, nullptr, nullptr, &count, container.get());
        if (!count || !ASN1_INTEGER_set(const_cast<ASN1_INTEGER*>(count), iterations))
            return QByteArray();
    }
    else
    {
        Pkcs7StackPtr safes(PKCS12_unpack_authsafes(container.get()));
        bool changed = false;
        for (int i = 0; safes && i < sk_PKCS7_num(safes.get()); ++i)
        {
            PKCS7* safe = sk_PKCS7_value(safes.get(), i);
            const int type = OBJ_obj2nid(safe->type);
            if (which == Count::CertificateSafe && type == NID_pkcs7_encrypted)
                changed = setPbeIterations(safe->d.encrypted->enc_data->algorithm, iterations);
            if (which == Count::KeyBag && type == NID_pkcs7_data)
            {
                SafeBagStackPtr bags(PKCS12_unpack_p7data(safe));
                for (int b = 0; bags && b < sk_PKCS12_SAFEBAG_num(bags.get()); ++b)
                {
                    PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags.get(), b);
                    if (PKCS12_SAFEBAG_get_nid(bag) != NID_pkcs8ShroudedKeyBag)
                        continue;
                    const X509_ALGOR* algorithm = nullptr;
                    X509_SIG_get0(PKCS12_SAFEBAG_get0_pkcs8(bag), &algorithm, nullptr);
                    changed = setPbeIterations(const_cast<X509_ALGOR*>(algorithm), iterations);
                }
                // sk_PKCS7_set returns what it stores, so the replaced safe is freed from before.
                if (PKCS7* repacked = changed ? PKCS12_pack_p7data(bags.get()) : nullptr)
                {
                    sk_PKCS7_set(safes.get(), i, repacked);
                    PKCS7_free(safe);
                }
            }
        }
        // A MAC anew, so that a reader gets past it to the count.
        if (!changed || !PKCS12_pack_authsafes(container.get(), safes.get()) ||
            !PKCS12_set_mac(container.get(), kPassword, -1, nullptr, 0, 2048, EVP_sha1()))
            return QByteArray();
    }
    unsigned char* out = nullptr;
    const int length = i2d_PKCS12(container.get(), &out);
    const QByteArray bytes(reinterpret_cast<const char*>(out), length);
    OPENSSL_free(out);
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(Count)

class TestVerifierReaders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fileKinds_data();
    void fileKinds();
    void pkcs12Outcomes_data();
    void pkcs12Outcomes();
    void engineRefusesIterations_data();
    void engineRefusesIterations();

private:
    QString path(const QString& name) const { return mFolder.filePath(name); }
    bool runOpenssl(const QStringList& arguments);

    QTemporaryDir mFolder;
    QByteArray mChainPem; // root, intermediate, leaf
    QByteArray mClassic;  // `openssl pkcs12 -export -legacy` of the leaf with its chain
};

bool TestVerifierReaders::runOpenssl(const QStringList& arguments)
{
    QProcess openssl;
    openssl.setWorkingDirectory(mFolder.path());
    openssl.start("openssl", arguments);
    return openssl.waitForFinished(-1) && openssl.exitStatus() == QProcess::NormalExit &&
           openssl.exitCode() == 0;
}

void TestVerifierReaders::initTestCase()
{
    QVERIFY(mFolder.isValid());
    OpensslChain openssl(mFolder.path());
    for (const char* key : {"root", "intermediate", "leaf"})
        QVERIFY2(openssl.makeKey(QLatin1String(key)), qPrintable(openssl.lastError()));
    QVERIFY(openssl.make({"root", "root", {}, {}, ".Root", "1", 2, 3650, "sha256"}));
    QVERIFY(openssl.make(
        {"intermediate", "intermediate", "root", "root", ".Intermediate", "2", 1, 3000, "sha256"}));
    QVERIFY(
        openssl.make({"leaf", "leaf", "intermediate", "intermediate", "CS.Signer", "3", -1, 2000, "sha256"}));
    for (const char* name : {"root", "intermediate", "leaf"})
        mChainPem += readFile(openssl.pemPath(QLatin1String(name)));
    QVERIFY(writeFile(path("above.pem"),
                      readFile(openssl.pemPath("root")) + readFile(openssl.pemPath("intermediate"))));
    const QString pass = QStringLiteral("pass:") + kPassword;
    QVERIFY(runOpenssl({"pkcs12", "-export", "-legacy", "-in", "leaf.pem", "-inkey", "leaf.key", "-certfile",
                        "above.pem", "-passout", pass, "-out", "classic.p12"}));
    QVERIFY(runOpenssl({"pkcs12", "-export", "-iter", "10000", "-in", "leaf.pem", "-inkey", "leaf.key",
                        "-certfile", "above.pem", "-passout", pass, "-out", "current.p12"}));
    QVERIFY(runOpenssl({"x509", "-in", "leaf.pem", "-outform", "DER", "-out", "leaf.der"}));
    mClassic = readFile(path("classic.p12"));
    QVERIFY(!mClassic.isEmpty());
}

void TestVerifierReaders::fileKinds_data()
{
    QTest::addColumn<QString>("file"); // a path as it stands (starting with "/"), else a name in the folder
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("damagedBlock");
    QTest::addColumn<int>("certificates");

    const QByteArray chain = mChainPem;
    const int thirdBlock = chain.lastIndexOf("-----BEGIN ");
    const int secondBlock = chain.lastIndexOf("-----BEGIN ", thirdBlock - 1);
    QByteArray badBase64 = chain;
    badBase64[secondBlock + 100] = '!';
    QByteArray notACertificate = chain;
    const int secondBody = chain.indexOf('\n', secondBlock) + 1;
    notACertificate.replace(secondBody, chain.indexOf("-----END", secondBody) - secondBody,
                            "aGVsbG8gd29ybGQh\n");

    QTest::newRow("PEM chain") << "chain.pem" << chain << Kind::Pem << 0 << 3;
    QTest::newRow("last block cut") << "cut.pem" << chain.left(chain.size() - 200) << Kind::Damaged << 3 << 2;
    QTest::newRow("cut inside the last BEGIN line")
        << "begin.pem" << chain + "-----BEGIN CERT" << Kind::Damaged << 4 << 3;
    QTest::newRow("bad Base64 in the middle block") << "base64.pem" << badBase64 << Kind::Damaged << 2 << 1;
    QTest::newRow("middle block holds no certificate")
        << "der.pem" << notACertificate << Kind::Damaged << 2 << 1;
    QTest::newRow("70 KB of text before the blocks")
        << "text.pem" << QByteArray(70 * 1024, 'x').replace(0, 1, "#") + "\n" + chain << Kind::Pem << 0 << 3;
    QTest::newRow("empty file") << "empty.pem" << QByteArray() << Kind::Empty << 0 << 0;
    QTest::newRow("PKCS#12 container") << "classic.p12" << QByteArray() << Kind::Pkcs12 << 0 << 0;
    QTest::newRow("DER certificate") << "leaf.der" << QByteArray() << Kind::Der << 0 << 1;
    QTest::newRow("text without a block")
        << "notes.txt" << QByteArray("no certificate here\n") << Kind::Other << 0 << 0;
    QTest::newRow("absent") << "absent.pem" << QByteArray() << Kind::Unreadable << 0 << 0;
    QTest::newRow("/dev/zero") << "/dev/zero" << QByteArray() << Kind::TooLarge << 0 << 0;
    QTest::newRow("/dev/urandom") << "/dev/urandom" << QByteArray() << Kind::TooLarge << 0 << 0;
    QTest::newRow("sparse file of 4 GiB") << "sparse.pem" << QByteArray() << Kind::TooLarge << 0 << 0;
}

void TestVerifierReaders::fileKinds()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(Kind, kind);
    QFETCH(int, damagedBlock);
    QFETCH(int, certificates);
    const QString where = file.startsWith('/') ? file : path(file);
    if (!content.isEmpty() || file == "empty.pem")
        QVERIFY(writeFile(where, content));
    if (file == "sparse.pem")
    {
        QFile sparse(where);
        if (!sparse.open(QIODevice::WriteOnly) || !sparse.resize(qint64(4) << 30))
            QSKIP("the file system takes no sparse file of 4 GiB");
    }

    const ChainVerifier::CertificateFile read = ChainVerifier::loadCertificateFile(where);
    QCOMPARE(read.kind, kind);
    QCOMPARE(read.damagedBlock, damagedBlock);
    QCOMPARE(int(read.certificates.size()), certificates);
    if (file == "sparse.pem")
        QFile::remove(where);
}

void TestVerifierReaders::pkcs12Outcomes_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content"); // empty: the file as it is
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<Outcome>("outcome");

    QTest::newRow("classic container")
        << "classic.p12" << QByteArray() << QByteArray(kPassword) << Outcome::Ok;
    QTest::newRow("10,000 iterations")
        << "current.p12" << QByteArray() << QByteArray(kPassword) << Outcome::Ok;
    QTest::newRow("wrong password") << "classic.p12" << QByteArray() << QByteArray("not it")
                                    << Outcome::WrongPassword;
    QTest::newRow("MAC count 2^31-1") << "mac.p12" << withCount(mClassic, Count::Mac, kHours)
                                      << QByteArray(kPassword) << Outcome::IterationsTooHigh;
    QTest::newRow("certificate safe count 2^31-1")
        << "safe.p12" << withCount(mClassic, Count::CertificateSafe, kHours) << QByteArray(kPassword)
        << Outcome::IterationsTooHigh;
    QTest::newRow("key bag count 2^31-1") << "key.p12" << withCount(mClassic, Count::KeyBag, kHours)
                                          << QByteArray(kPassword) << Outcome::IterationsTooHigh;
    QTest::newRow("MAC count one above the bound")
        << "above.p12" << withCount(mClassic, Count::Mac, kPkcs12MostIterations + 1) << QByteArray(kPassword)
        << Outcome::IterationsTooHigh;
    QTest::newRow("a PEM file") << "chain.pem" << mChainPem << QByteArray(kPassword) << Outcome::NotPkcs12;
    QTest::newRow("/dev/zero") << "/dev/zero" << QByteArray() << QByteArray(kPassword) << Outcome::TooLarge;
}

void TestVerifierReaders::pkcs12Outcomes()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, password);
    QFETCH(Outcome, outcome);
    const QString where = file.startsWith('/') ? file : path(file);
    if (!content.isEmpty())
        QVERIFY(writeFile(where, content));

    const ChainVerifier::Pkcs12Contents read = ChainVerifier::loadPkcs12(where, password);
    QCOMPARE(read.outcome, outcome);
    QCOMPARE(read.ok(), outcome == Outcome::Ok);
    QCOMPARE(bool(read.certificate), outcome == Outcome::Ok);
    if (outcome == Outcome::Ok)
        QCOMPARE(read.chain.size(), size_t(2));
}

void TestVerifierReaders::engineRefusesIterations_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("refused");

    QTest::newRow("classic container") << mClassic << false;
    QTest::newRow("MAC count 2^31-1") << withCount(mClassic, Count::Mac, kHours) << true;
    QTest::newRow("certificate safe count 2^31-1")
        << withCount(mClassic, Count::CertificateSafe, kHours) << true;
    QTest::newRow("key bag count 2^31-1") << withCount(mClassic, Count::KeyBag, kHours) << true;
}

// The issuing path (`leaf --issuer`, the window's issuer) reads containers with the engine.
void TestVerifierReaders::engineRefusesIterations()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, refused);
    QVERIFY(!content.isEmpty());
    const QString file = path("engine.p12");
    QVERIFY(writeFile(file, content));
    const QByteArray name = QFile::encodeName(file);

    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    STACK_OF(X509)* chain = nullptr;
    QCOMPARE(OpenSSLUtil::PKCS12Extract(name.constData(), &key, &certificate, &chain, kPassword),
             refused ? 0 : 1);
    QCOMPARE(key == nullptr, refused);
    EVP_PKEY_free(key);
    X509_free(certificate);
    sk_X509_pop_free(chain, X509_free);
    QCOMPARE(OpenSSLUtil::PKCS12IterationsTooHigh(name.constData(), kPassword), refused ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestVerifierReaders)
#include "tst_verifierreaders.moc"
