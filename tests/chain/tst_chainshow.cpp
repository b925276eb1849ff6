// talvane-chain show: every certificate of PEM, DER and PKCS#12 files in chain order, as text and
// as JSON, with the identity other tools of the field ask for computed here independently.

#include "certificatebuilder.h"
#include "chaincheck.h"
#include "chainfixtures.h"
#include "chainrunner.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <openssl/x509v3.h>

using namespace ChainFixtures;

namespace
{

const QDateTime kStart(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
const char kPassword[] = "show secret";

// The thumbprint of the field: Base64 of the SHA-1 of the DER TBSCertificate, here re-encoded
// by OpenSSL from a copy.
QString tbsThumbprint(X509* certificate)
{
    X509Ptr copy(X509_dup(certificate));
    unsigned char* der = nullptr;
    const int length = i2d_re_X509_tbs(copy.get(), &der);
    const QByteArray tbs(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    return QString::fromLatin1(QCryptographicHash::hash(tbs, QCryptographicHash::Sha1).toBase64());
}

// The dnQualifier a key gives: Base64 of the SHA-1 of the DER RSAPublicKey, which is the bit
// string inside the certificate's SubjectPublicKeyInfo.
QString keyDnQualifier(X509* certificate)
{
    const ASN1_BIT_STRING* bits = X509_get0_pubkey_bitstr(certificate);
    const QByteArray key(reinterpret_cast<const char*>(ASN1_STRING_get0_data(bits)),
                         ASN1_STRING_length(bits));
    return QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toBase64());
}

QString sha256Fingerprint(X509* certificate)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(derOf(certificate), QCryptographicHash::Sha256).toHex(':').toUpper());
}

// "label: value" of each "Certificate i of n" block.
QList<QMap<QString, QString>> textBlocks(const QByteArray& out)
{
    QList<QMap<QString, QString>> blocks;
    static const QRegularExpression row(QStringLiteral("^  ([^:]+): +(.*)$"));
    for (const QString& line : QString::fromUtf8(out).split('\n'))
    {
        if (line.startsWith("Certificate "))
            blocks.append(QMap<QString, QString>());
        const QRegularExpressionMatch match = row.match(line);
        if (match.hasMatch() && !blocks.isEmpty())
            blocks.last().insert(match.captured(1), match.captured(2));
    }
    return blocks;
}

} // namespace

class TestChainShow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void eachFormat_data();
    void eachFormat();
    void json();
    void dnQualifierNotTheKeys();
    void unreadableFiles_data();
    void unreadableFiles();
    void wrongPassword();

private:
    ChainRun show(const QStringList& arguments) const
    {
        return ChainRunner::run(QStringList{"show"} + arguments, mWork.path(),
                                {{"TALVANE_PASSWORD", kPassword}});
    }
    QString file(const QString& name) const { return mWork.filePath(name); }

    ChainKeys mKeys;
    std::vector<X509Ptr> mChain;
    QTemporaryDir mWork;
};

void TestChainShow::initTestCase()
{
    ChainCheck::initOpenSsl();
    QVERIFY(mWork.isValid());
    QVERIFY(mKeys.make());
    ChainLayout layout;
    for (int i = 0; i < 3; ++i)
    {
        layout.notBefore[i] = kStart.addDays(i);
        layout.notAfter[i] = kStart.addYears(5).addDays(-i);
    }
    mChain = CertificateBuilder::chain(mKeys, layout);
    QVERIFY(writeFile(file("leaf-first.pem"),
                      pemOf(mChain[2].get()) + pemOf(mChain[0].get()) + pemOf(mChain[1].get())));
    for (int i = 0; i < 3; ++i)
        QVERIFY(writeFile(file(QStringLiteral("%1.der").arg(i)), derOf(mChain[size_t(i)].get())));
    QVERIFY(writeFile(file("leaf.pfx"), classicPkcs12(mKeys.certificates[2].get(), mChain[2].get(),
                                                      {mChain[0].get(), mChain[1].get()}, kPassword)));
}

void TestChainShow::eachFormat_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<int>>("expected"); // positions in the chain, in the order shown

    QTest::newRow("PEM, leaf first") << QStringList{"leaf-first.pem"} << QList<int>{0, 1, 2};
    // The intermediate missing: the root still comes first.
    QTest::newRow("DER, leaf and root") << QStringList{"2.der", "0.der"} << QList<int>{0, 2};
    QTest::newRow("PKCS#12 with its chain") << QStringList{"leaf.pfx"} << QList<int>{0, 1, 2};
    QTest::newRow("all three, overlapping")
        << QStringList{"2.der", "leaf.pfx", "leaf-first.pem"} << QList<int>{0, 1, 2};
}

void TestChainShow::eachFormat()
{
    QFETCH(QStringList, files);
    QFETCH(QList<int>, expected);
    const ChainRun result = show(files);
    QVERIFY2(result.exitCode == 0 && !result.crashed && result.err.isEmpty(), describeRun(result));

    const QList<QMap<QString, QString>> blocks = textBlocks(result.out);
    QCOMPARE(blocks.size(), expected.size());
    for (int i = 0; i < blocks.size(); ++i)
    {
        X509* certificate = mChain[size_t(expected[i])].get();
        const QMap<QString, QString>& block = blocks[i];
        QCOMPARE(block.value("serial"), QStringLiteral("%1 (0x0%1)").arg(expected[i] + 1));
        QCOMPARE(block.value("thumbprint"), tbsThumbprint(certificate));
        QCOMPARE(block.value("dnQualifier"), keyDnQualifier(certificate));
        QCOMPARE(block.value("dnQualifier matches"), QStringLiteral("yes"));
        QCOMPARE(block.value("SHA-256 fingerprint"), sha256Fingerprint(certificate));
        QCOMPARE(block.value("O"), QString::fromLatin1(CertificateBuilder::kOrganization));
        QCOMPARE(block.value("OU"), QString::fromLatin1(CertificateBuilder::kOrganizationalUnit));
        QCOMPARE(block.value("valid from"), kStart.addDays(expected[i]).toString(Qt::ISODate));
        QCOMPARE(block.value("public key"), QStringLiteral("RSA, 2048 bits, exponent 65537"));
    }
    QVERIFY(result.out.contains("Certificate 1 of " + QByteArray::number(expected.size()) + "\n"));
}

void TestChainShow::json()
{
    const ChainRun result = show({"--json", "leaf.pfx"});
    QVERIFY2(result.exitCode == 0 && !result.crashed, describeRun(result));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(result.out, &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    const QJsonArray certificates = document.object().value("certificates").toArray();
    QCOMPARE(certificates.size(), 3);

    const char* const commonNames[] = {".Test Root", ".Test Intermediate", "CS.Test Signer"};
    const char* const issuers[] = {".Test Root", ".Test Root", ".Test Intermediate"};
    for (int i = 0; i < 3; ++i)
    {
        X509* certificate = mChain[size_t(i)].get();
        const QJsonObject shown = certificates[i].toObject();
        const QJsonObject subject = shown.value("subject").toObject();
        QCOMPARE(subject.value("CN").toString(), QString::fromLatin1(commonNames[i]));
        QCOMPARE(subject.value("dnQualifier").toString(), keyDnQualifier(certificate));
        QCOMPARE(shown.value("issuerCN").toString(), QString::fromLatin1(issuers[i]));
        QCOMPARE(shown.value("role").toString(), i == 2 ? QStringLiteral("CS") : QString());
        QCOMPARE(shown.value("serial").toObject().value("decimal").toString(), QString::number(i + 1));
        QCOMPARE(shown.value("notAfter").toString(), kStart.addYears(5).addDays(-i).toString(Qt::ISODate));
        QCOMPARE(shown.value("signatureAlgorithm").toString(), QStringLiteral("sha256WithRSAEncryption"));
        QCOMPARE(shown.value("publicKey").toObject().value("bits").toInt(), 2048);
        QCOMPARE(shown.value("publicKey").toObject().value("exponent").toInt(), 65537);
        QCOMPARE(shown.value("ca").toBool(), i < 2);
        // The builder's chain: path length 2 under the root, 1 under the intermediate, none for the leaf.
        if (i < 2)
            QCOMPARE(shown.value("pathLength").toInt(), 2 - i);
        else
            QVERIFY(shown.value("pathLength").isNull());
        const QVariantList usage =
            i < 2 ? QVariantList{"keyCertSign"} : QVariantList{"digitalSignature", "keyEncipherment"};
        QCOMPARE(shown.value("keyUsage").toArray().toVariantList(), usage);
        QCOMPARE(shown.value("dnQualifierMatchesKey").toBool(), true);
        QCOMPARE(shown.value("thumbprint").toString(), tbsThumbprint(certificate));
        QCOMPARE(shown.value("sha256Fingerprint").toString(), sha256Fingerprint(certificate));
    }
}

void TestChainShow::dnQualifierNotTheKeys()
{
    ChainLayout layout;
    layout.fault = Fault::WrongDnQualifier;
    layout.faulty = 0;
    layout.notBefore[0] = kStart;
    layout.notAfter[0] = kStart.addYears(1);
    const X509Ptr root = std::move(CertificateBuilder::chain(mKeys, layout).front());
    QVERIFY(writeFile(file("wrong.pem"), pemOf(root.get())));

    const ChainRun text = show({"wrong.pem"});
    QCOMPARE(text.exitCode, 0);
    QCOMPARE(textBlocks(text.out).value(0).value("dnQualifier matches"),
             "no: the key's is " + keyDnQualifier(root.get()));
    const ChainRun json = show({"wrong.pem", "--json"});
    const QJsonObject shown =
        QJsonDocument::fromJson(json.out).object().value("certificates").toArray()[0].toObject();
    QCOMPARE(shown.value("dnQualifierMatchesKey").toBool(true), false);
}

void TestChainShow::unreadableFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty: no such file
    QTest::addColumn<QString>("sentence");

    QTest::newRow("no such file") << "absent.pem" << QByteArray() << "The file %1 does not exist.";
    QTest::newRow("PEM without a readable certificate")
        << "broken.pem" << QByteArray("-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n")
        << "The file %1 holds no readable certificate.";
    QTest::newRow("neither a certificate nor a container")
        << "noise.bin" << QByteArray("no certificate in here")
        << "The file %1 is neither a certificate (PEM or DER) nor a PKCS#12 file.";
}

void TestChainShow::unreadableFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, sentence);
    if (!content.isEmpty())
        QVERIFY(writeFile(file(name), content));
    // The good file first: nothing is shown when one of the files cannot be read.
    const ChainRun result = show({"leaf-first.pem", file(name)});
    QVERIFY2(!result.crashed, describeRun(result));
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(QString::fromUtf8(result.err), sentence.arg(file(name)) + "\n");
    QVERIFY(result.out.isEmpty());
}

void TestChainShow::wrongPassword()
{
    const ChainRun wrong =
        ChainRunner::run({"show", "leaf.pfx"}, mWork.path(), {{"TALVANE_PASSWORD", "not it"}});
    QCOMPARE(wrong.exitCode, 1);
    QCOMPARE(QString::fromUtf8(wrong.err),
             "The file leaf.pfx cannot be read as a PKCS#12 file with the password given.\n");
}

QTEST_GUILESS_MAIN(TestChainShow)
#include "tst_chainshow.moc"
