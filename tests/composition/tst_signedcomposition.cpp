// Signed playlists and packing lists as xmlsec1 signs them with a chain made in the test, with
// the KeyInfo the field's tools write; xmlsec1 --verify and openssl are the judges throughout.

#include "certificatebuilder.h"
#include "compositionreader.h"
#include "filecontent.h"
#include "signernames.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/provider.h>

#include <algorithm>

Q_DECLARE_METATYPE(SignedComposition::Failure)
Q_DECLARE_METATYPE(SignedComposition::Type)
Q_DECLARE_METATYPE(SignedComposition::Dialect)

namespace
{

using Failure = SignedComposition::Failure;

const char kSmpteCpl[] = "http://www.smpte-ra.org/schemas/429-7/2006/CPL";
const char kSmptePkl[] = "http://www.smpte-ra.org/schemas/429-8/2007/PKL";
const char kInteropCpl[] = "http://www.digicine.com/PROTO-ASDCP-CPL-20040511#";
const char kRsaSha256[] = "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256";
const char kRsaSha1[] = "http://www.w3.org/2000/09/xmldsig#rsa-sha1";
const char kSha256[] = "http://www.w3.org/2001/04/xmlenc#sha256";
const char kSha1[] = "http://www.w3.org/2000/09/xmldsig#sha1";

struct Run
{
    int exitCode = -1;
    QByteArray out;
};

Run run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    return result;
}

// What a document is made of before it is signed.
struct Plan
{
    const char* ns = kSmpteCpl;
    QByteArray root = "CompositionPlaylist";
    QByteArray issueDate = "2024-03-05T14:30:00+01:00";
    const char* signatureMethod = kRsaSha256;
    const char* digestMethod = kSha256;
    IssuerSerial signer; // empty: no Signer element
};

QByteArray escaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

QByteArray issuerSerialXml(const IssuerSerial& names)
{
    return "<dsig:X509IssuerSerial><dsig:X509IssuerName>" + escaped(names.issuerName) +
           "</dsig:X509IssuerName><dsig:X509SerialNumber>" + names.serial.toLatin1() +
           "</dsig:X509SerialNumber></dsig:X509IssuerSerial>";
}

QByteArray unsignedDocument(const Plan& plan)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + plan.root + " xmlns=\"" + plan.ns +
                     "\" xmlns:dsig=\"http://www.w3.org/2000/09/xmldsig#\">\n"
                     "  <Id>urn:uuid:8a2e9e53-3b1c-4a55-9d2b-0e0c2b8c1f01</Id>\n"
                     "  <IssueDate>" +
                     plan.issueDate +
                     "</IssueDate>\n"
                     "  <ContentTitleText>Talvane Test Reel</ContentTitleText>\n";
    if (!plan.signer.issuerName.isEmpty())
        xml += "  <Signer><dsig:X509Data>" + issuerSerialXml(plan.signer) + "</dsig:X509Data></Signer>\n";
    return xml + "SIGNATURE</" + plan.root + ">\n";
}

QByteArray signatureTemplate(const Plan& plan)
{
    return QByteArray("<dsig:Signature><dsig:SignedInfo>"
                      "<dsig:CanonicalizationMethod "
                      "Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315#WithComments\"/>"
                      "<dsig:SignatureMethod Algorithm=\"") +
           plan.signatureMethod +
           "\"/><dsig:Reference URI=\"\"><dsig:Transforms><dsig:Transform "
           "Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/></dsig:Transforms>"
           "<dsig:DigestMethod Algorithm=\"" +
           plan.digestMethod +
           "\"/><dsig:DigestValue/></dsig:Reference></dsig:SignedInfo>"
           "<dsig:SignatureValue/></dsig:Signature>\n";
}

} // namespace

class TestSignedComposition : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir folder;
    EvpPkeyPtr keys[3];
    X509Ptr chain[3]; // root, intermediate, leaf
    QString pem[3];
    QString keyPem[3];
    IssuerSerial byOpenssl[3]; // each certificate named by `openssl x509 -nameopt RFC2253`

    QString path(const QString& name) const { return folder.filePath(name); }

    QString write(const QString& name, const QByteArray& content) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(name));
        return file.fileName();
    }

    // The field's KeyInfo: one X509Data per certificate, leaf first, each with its issuer and
    // serial beside it. KeyInfo is outside what the signature covers, so it is added after signing.
    QByteArray withKeyInfo(QByteArray signedXml, const std::vector<int>& order) const
    {
        QByteArray keyInfo = "<dsig:KeyInfo>";
        for (int i : order)
        {
            int length = i2d_X509(chain[i].get(), nullptr);
            QByteArray der(length, '\0');
            auto* cursor = reinterpret_cast<unsigned char*>(der.data());
            i2d_X509(chain[i].get(), &cursor);
            keyInfo += "<dsig:X509Data>" + issuerSerialXml(byOpenssl[i]) + "<dsig:X509Certificate>" +
                       der.toBase64() + "</dsig:X509Certificate></dsig:X509Data>";
        }
        return signedXml.replace("</dsig:SignatureValue>",
                                 "</dsig:SignatureValue>" + keyInfo + "</dsig:KeyInfo>");
    }

    // Signed by xmlsec1 with the key of chain[signer]; empty when xmlsec1 refused.
    QByteArray sign(const Plan& plan, int signer = 2, const std::vector<int>& keyInfo = {2, 1, 0}) const
    {
        const QString input = write(QStringLiteral("template.xml"),
                                    unsignedDocument(plan).replace("SIGNATURE", signatureTemplate(plan)));
        const QString output = path(QStringLiteral("signed.xml"));
        QFile::remove(output);
        if (run(QStringLiteral("xmlsec1"), {QStringLiteral("--sign"), QStringLiteral("--privkey-pem"),
                                            keyPem[signer], QStringLiteral("--output"), output, input})
                .exitCode != 0)
            return QByteArray();
        return withKeyInfo(readAll(output), keyInfo);
    }

    bool xmlsec1Verifies(const QByteArray& document, const QStringList& extra = {}) const
    {
        const QString file = write(QStringLiteral("judged.xml"), document);
        return run(QStringLiteral("xmlsec1"),
                   QStringList{QStringLiteral("--verify"), QStringLiteral("--trusted-pem"), pem[0]} << extra
                                                                                                    << file)
                   .exitCode == 0;
    }

    SignedComposition readDocument(const QByteArray& document) const
    {
        return CompositionReader::read(write(QStringLiteral("read.xml"), document));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
        const CertificateSpec specs[3] = {
            {".Test Root", 1, 2, start, start.addYears(2), nullptr, EVP_sha256()},
            {".Test Intermediate", 2, 1, start, start.addYears(1), nullptr, EVP_sha256()},
            // A serial over 63 bits, which a long cannot hold.
            {"CS.Test Signer", 3, -1, start, start.addDays(100), nullptr, EVP_sha256(), Fault::None, false,
             false, "F000000000000001"},
        };
        for (int i = 0; i < 3; ++i)
        {
            keys[i] = CertificateBuilder::rsaKey(2048);
            QVERIFY(keys[i]);
            CertificateSpec spec = specs[i];
            spec.key = keys[i].get();
            chain[i] = CertificateBuilder::make(spec, i ? chain[i - 1].get() : nullptr,
                                                i ? keys[i - 1].get() : nullptr);
            QVERIFY(chain[i]);

            BioPtr certificate(BIO_new(BIO_s_mem()));
            BioPtr key(BIO_new(BIO_s_mem()));
            QVERIFY(PEM_write_bio_X509(certificate.get(), chain[i].get()));
            QVERIFY(
                PEM_write_bio_PrivateKey(key.get(), keys[i].get(), nullptr, nullptr, 0, nullptr, nullptr));
            char* data = nullptr;
            long length = BIO_get_mem_data(certificate.get(), &data);
            pem[i] = write(QStringLiteral("certificate%1.pem").arg(i), QByteArray(data, int(length)));
            length = BIO_get_mem_data(key.get(), &data);
            keyPem[i] = write(QStringLiteral("key%1.pem").arg(i), QByteArray(data, int(length)));

            const Run names =
                run(QStringLiteral("openssl"),
                    {QStringLiteral("x509"), QStringLiteral("-in"), pem[i], QStringLiteral("-noout"),
                     QStringLiteral("-issuer"), QStringLiteral("-serial"), QStringLiteral("-nameopt"),
                     QStringLiteral("RFC2253")});
            QCOMPARE(names.exitCode, 0);
            const QList<QByteArray> lines = names.out.trimmed().split('\n');
            QCOMPARE(lines.size(), 2);
            BIGNUM* serial = nullptr;
            QVERIFY(BN_hex2bn(&serial, lines[1].mid(int(strlen("serial="))).constData()));
            char* decimal = BN_bn2dec(serial);
            byOpenssl[i] = {QString::fromUtf8(lines[0].mid(int(strlen("issuer=")))),
                            QString::fromLatin1(decimal)};
            OPENSSL_free(decimal);
            BN_free(serial);
        }
        QCOMPARE(byOpenssl[2].serial, QStringLiteral("17293822569102704641"));
    }

    void signedDocuments_data()
    {
        QTest::addColumn<QByteArray>("ns");
        QTest::addColumn<QByteArray>("root");
        QTest::addColumn<bool>("sha1");
        QTest::addColumn<SignedComposition::Type>("type");
        QTest::addColumn<SignedComposition::Dialect>("dialect");
        QTest::addColumn<QByteArray>("issueDate");
        QTest::addColumn<QDateTime>("utc");

        using T = SignedComposition::Type;
        using D = SignedComposition::Dialect;
        QTest::newRow("playlist, an hour east of UTC")
            << QByteArray(kSmpteCpl) << QByteArray("CompositionPlaylist") << false << T::CompositionPlaylist
            << D::Smpte << QByteArray("2024-03-05T14:30:00+01:00")
            << QDateTime(QDate(2024, 3, 5), QTime(13, 30), Qt::UTC);
        QTest::newRow("packing list in UTC")
            << QByteArray(kSmptePkl) << QByteArray("PackingList") << false << T::PackingList << D::Smpte
            << QByteArray("2023-12-31T23:59:59Z")
            << QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59), Qt::UTC);
        QTest::newRow("interop playlist, sha-1, west of UTC across midnight")
            << QByteArray(kInteropCpl) << QByteArray("CompositionPlaylist") << true << T::CompositionPlaylist
            << D::Interop << QByteArray("2012-06-30T22:00:00-05:00")
            << QDateTime(QDate(2012, 7, 1), QTime(3, 0), Qt::UTC);
    }

    void signedDocuments()
    {
        QFETCH(QByteArray, ns);
        QFETCH(QByteArray, root);
        QFETCH(bool, sha1);
        QFETCH(QByteArray, issueDate);
        QFETCH(QDateTime, utc);
        Plan plan;
        plan.ns = ns.constData();
        plan.root = root;
        plan.issueDate = issueDate;
        plan.signatureMethod = sha1 ? kRsaSha1 : kRsaSha256;
        plan.digestMethod = sha1 ? kSha1 : kSha256;
        plan.signer = byOpenssl[2];
        const QByteArray document = sign(plan);
        QVERIFY(!document.isEmpty());
        QVERIFY(xmlsec1Verifies(document));

        const SignedComposition read = readDocument(document);
        QVERIFY2(read.verified(), qPrintable(read.detail));
        QTEST(read.type, "type");
        QTEST(read.dialect, "dialect");
        QCOMPARE(read.id, QStringLiteral("urn:uuid:8a2e9e53-3b1c-4a55-9d2b-0e0c2b8c1f01"));
        QCOMPARE(read.issueDate, utc);
        QCOMPARE(read.issueDate.timeSpec(), Qt::UTC);
        QCOMPARE(read.signatureMethod, sha1 ? SignedComposition::SignatureMethod::RsaSha1
                                            : SignedComposition::SignatureMethod::RsaSha256);
        QCOMPARE(read.digestMethod,
                 sha1 ? SignedComposition::DigestMethod::Sha1 : SignedComposition::DigestMethod::Sha256);
        QVERIFY(read.signer);
        QVERIFY(namesCertificate(*read.signer, chain[2].get()));
        // Leaf first, as written; each X509Data's issuer and serial beside its certificate.
        QCOMPARE(read.certificates.size(), size_t(3));
        for (int i = 0; i < 3; ++i)
        {
            const KeyInfoCertificate& entry = read.certificates[size_t(i)];
            QCOMPARE(X509_cmp(entry.certificate.get(), chain[2 - i].get()), 0);
            QCOMPARE(entry.x509Data, i);
            QVERIFY(entry.issuerSerial);
            QVERIFY(namesCertificate(*entry.issuerSerial, chain[2 - i].get()));
        }
        QCOMPARE(X509_cmp(read.signingCertificate(), chain[2].get()), 0);
        QCOMPARE(ERR_peek_error(), 0UL);
        // libxmlsec1's set-up left the providers the containers need in place.
        QVERIFY(OSSL_PROVIDER_available(nullptr, "legacy"));
        EVP_CIPHER* rc2 = EVP_CIPHER_fetch(nullptr, "RC2-40-CBC", nullptr);
        QVERIFY(rc2);
        EVP_CIPHER_free(rc2);
    }

    // xmlsec1 filling an X509Data template itself: the whole chain in one X509Data, the template's
    // X509IssuerSerial left empty (xmlsec1 1.2.37 writes none); and a document without a Signer.
    void chainAsXmlsec1WritesIt()
    {
        const Plan plan;
        QByteArray document = unsignedDocument(plan).replace("SIGNATURE", signatureTemplate(plan));
        document.replace("</dsig:Signature>", "<dsig:KeyInfo><dsig:X509Data><dsig:X509IssuerSerial/"
                                              "><dsig:X509Certificate/></dsig:X509Data></dsig:KeyInfo>"
                                              "</dsig:Signature>");
        const QString input = write(QStringLiteral("template.xml"), document);
        const QString output = path(QStringLiteral("signed.xml"));
        QCOMPARE(run(QStringLiteral("xmlsec1"),
                     {QStringLiteral("--sign"), QStringLiteral("--privkey-pem"),
                      QStringList{keyPem[2], pem[2], pem[1], pem[0]}.join(QLatin1Char(',')),
                      QStringLiteral("--output"), output, input})
                     .exitCode,
                 0);
        const SignedComposition read = CompositionReader::read(output);
        QVERIFY2(read.verified(), qPrintable(read.detail));
        QVERIFY(!read.signer);
        QCOMPARE(read.certificates.size(), size_t(3));
        for (const KeyInfoCertificate& entry : read.certificates)
        {
            QCOMPARE(entry.x509Data, 0);
            QVERIFY(!entry.issuerSerial);
        }
        QCOMPARE(X509_cmp(read.signingCertificate(), chain[2].get()), 0);
    }

    void signingCertificateChoice_data()
    {
        QTest::addColumn<QList<int>>("keyInfo"); // chain indices, in document order
        QTest::addColumn<int>("signer");         // whose names the Signer carries; -1: no Signer
        QTest::addColumn<Failure>("failure");
        QTest::newRow("root first") << QList<int>{0, 1, 2} << 2 << Failure::None;
        QTest::newRow("a certificate given twice") << QList<int>{2, 2, 1, 0} << 2 << Failure::None;
        QTest::newRow("leaf alone, no Signer") << QList<int>{2} << -1 << Failure::None;
        // Without the intermediate the root issues none of the others: two leaves.
        QTest::newRow("intermediate left out, Signer names the leaf")
            << QList<int>{2, 0} << 2 << Failure::None;
        QTest::newRow("intermediate left out, no Signer")
            << QList<int>{2, 0} << -1 << Failure::NoSigningCertificate;
    }

    void signingCertificateChoice()
    {
        QFETCH(QList<int>, keyInfo);
        QFETCH(int, signer);
        Plan plan;
        if (signer >= 0)
            plan.signer = byOpenssl[signer];
        const SignedComposition read =
            readDocument(sign(plan, 2, std::vector<int>(keyInfo.begin(), keyInfo.end())));
        QTEST(read.failure, "failure");
        if (read.verified())
            QCOMPARE(X509_cmp(read.signingCertificate(), chain[2].get()), 0);
        else
            QVERIFY(!read.signingCertificate());
    }

    void changedDocuments_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<int>("signer");
        QTest::addColumn<Failure>("failure");
        QTest::newRow("a byte of the content")
            << QByteArray("Test Reel") << QByteArray("Test Real") << 2 << Failure::DigestMismatch;
        QTest::newRow("a byte of the signature value")
            << QByteArray("<dsig:SignatureValue>") << QByteArray("<dsig:SignatureValue>AAAA") << 2
            << Failure::SignatureMismatch;
        QTest::newRow("signed by the intermediate's key")
            << QByteArray() << QByteArray() << 1 << Failure::SignatureMismatch;
    }

    void changedDocuments()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(int, signer);
        Plan plan;
        plan.signer = byOpenssl[2];
        QByteArray document = sign(plan, signer);
        QVERIFY(!document.isEmpty());
        if (!from.isEmpty())
        {
            // Replace the first four characters after `from` (a Base64 quartet stays Base64).
            const int at = int(document.indexOf(from));
            QVERIFY(at >= 0);
            document = from.endsWith('>') ? document.replace(at + from.size(), 4, to.mid(from.size()))
                                          : document.replace(at, from.size(), to);
        }
        QVERIFY(!xmlsec1Verifies(document));
        const SignedComposition read = readDocument(document);
        QTEST(read.failure, "failure");
        // What was read before the signature is all there, for the chain to be judged too.
        QCOMPARE(read.certificates.size(), size_t(3));
        QCOMPARE(X509_cmp(read.signingCertificate(), chain[2].get()), 0);
        QVERIFY(read.issueDate.isValid());
    }

    void signerNamingAnotherCertificate()
    {
        Plan plan;
        plan.signer = byOpenssl[1];
        const QByteArray document = sign(plan);
        QVERIFY(xmlsec1Verifies(document));
        const SignedComposition read = readDocument(document);
        QVERIFY2(read.verified(), qPrintable(read.detail));
        QCOMPARE(X509_cmp(read.signingCertificate(), chain[2].get()), 0);
        QVERIFY(read.signer);
        QVERIFY(!namesCertificate(*read.signer, read.signingCertificate()));
        QVERIFY(namesCertificate(*read.signer, chain[1].get()));
    }

    // Ways of writing the leaf's issuer and serial. Where xmlsec1 reads the form, it is the judge:
    // it looks the certificate up by exactly this pair when KeyInfo carries nothing else. The
    // forms 1.2.37 does not read (quotes, escapes, "#" encodings, types in other case) are
    // expected by RFC 2253.
    void signerWritings_data()
    {
        QTest::addColumn<QString>("issuerName");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<bool>("names");
        QTest::addColumn<bool>("judged");
        const QString name = byOpenssl[2].issuerName;
        const QString serial = byOpenssl[2].serial;
        const auto with = [&](const char* from, const char* to)
        { return QString(name).replace(QLatin1String(from), QLatin1String(to)); };
        QTest::newRow("as openssl writes it") << name << serial << true << true;
        QTest::newRow("as this library writes it")
            << signerNames(chain[2].get()).issuerName << signerNames(chain[2].get()).serial << true << true;
        QTest::newRow("spaces after the commas") << with(",", ", ") << serial << true << true;
        QTest::newRow("types by number")
            << with("CN=", "2.5.4.3=").replace(QStringLiteral(",O="), QStringLiteral(",2.5.4.10=")) << serial
            << true << true;
        QTest::newRow("serial with leading zeros") << name << QStringLiteral("000") + serial << true << true;
        QStringList reversed = name.split(QLatin1Char(','));
        std::reverse(reversed.begin(), reversed.end());
        QTest::newRow("attributes in the other order")
            << reversed.join(QLatin1Char(',')) << serial << true << true;
        QTest::newRow("the intermediate's serial") << name << byOpenssl[1].serial << false << true;
        QTest::newRow("the root as issuer") << byOpenssl[1].issuerName << serial << false << true;
        QTest::newRow("a value in other case") << with("Quality", "quality") << serial << false << true;
        QTest::newRow("one attribute less") << name.section(QLatin1Char(','), 1) << serial << false << true;
        QTest::newRow("a quoted value") << with("OU=Quality", "OU=\"Quality\"") << serial << true << false;
        QTest::newRow("a character as hex") << with("OU=Quality", "OU=\\51uality") << serial << true << false;
        QTest::newRow("a value as its encoding")
            << with("OU=Quality", "OU=#13075175616c697479") << serial << true << false;
        QTest::newRow("a type in lower case") << with("OU=", "ou=") << serial << true << false;
        QTest::newRow("not a name") << with("OU=", "OU") << serial << false << false;
    }

    void signerWritings()
    {
        QFETCH(QString, issuerName);
        QFETCH(QString, serial);
        QFETCH(bool, judged);
        const IssuerSerial written{issuerName, serial};
        if (judged)
        {
            Plan plan;
            plan.signer = byOpenssl[2];
            QByteArray document = sign(plan);
            const int from = int(document.indexOf("<dsig:KeyInfo>"));
            const int to = int(document.indexOf("</dsig:KeyInfo>"));
            document.replace(from, to - from,
                             "<dsig:KeyInfo><dsig:X509Data>" + issuerSerialXml(written) + "</dsig:X509Data>");
            QTEST(xmlsec1Verifies(document, {QStringLiteral("--untrusted-pem"), pem[1],
                                             QStringLiteral("--untrusted-pem"), pem[2]}),
                  "names");
        }
        QTEST(namesCertificate(written, chain[2].get()), "names");
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<Failure>("failure");
        const QByteArray reference = "<dsig:Reference URI=\"\">";
        QTest::newRow("an external entity") << QByteArray("<CompositionPlaylist")
                                            << QByteArray("<!DOCTYPE CompositionPlaylist [<!ENTITY e SYSTEM "
                                                          "\"/etc/hostname\">]>\n<CompositionPlaylist")
                                            << Failure::UnsafeXml;
        QTest::newRow("another namespace")
            << QByteArray("429-7/2006/CPL") << QByteArray("2067-3/2016") << Failure::NotComposition;
        QTest::newRow("no signature")
            << QByteArray("dsig:Signature>") << QByteArray("dsig:Unsigned>") << Failure::NoSignature;
        QTest::newRow("issue date without a time")
            << QByteArray("2024-03-05T14:30:00+01:00") << QByteArray("2024-03-05") << Failure::BadField;
        QTest::newRow("signer serial in hex")
            << QByteArray("17293822569102704641") << QByteArray("F000000000000001") << Failure::BadField;
        QTest::newRow("a reference to an element")
            << reference << QByteArray("<dsig:Reference URI=\"#reel\">") << Failure::NotEnveloped;
        QTest::newRow("a second reference")
            << QByteArray("</dsig:SignedInfo>") << QByteArray("<dsig:Reference URI=\"\"/></dsig:SignedInfo>")
            << Failure::NotEnveloped;
        QTest::newRow("an xpath filter")
            << QByteArray("</dsig:Transforms>")
            << QByteArray("<dsig:Transform Algorithm=\"http://www.w3.org/TR/1999/"
                          "REC-xpath-19991116\"/></dsig:Transforms>")
            << Failure::NotEnveloped;
        QTest::newRow("an object in the signature")
            << QByteArray("</dsig:Signature>") << QByteArray("<dsig:Object/></dsig:Signature>")
            << Failure::NotEnveloped;
        QTest::newRow("hmac") << QByteArray(kRsaSha256)
                              << QByteArray("http://www.w3.org/2000/09/xmldsig#hmac-sha1")
                              << Failure::UnsupportedAlgorithm;
        QTest::newRow("md5 digest") << QByteArray(kSha256)
                                    << QByteArray("http://www.w3.org/2001/04/xmldsig-more#md5")
                                    << Failure::UnsupportedAlgorithm;
        QTest::newRow("a certificate that is not DER")
            << QByteArray("<dsig:X509Certificate>") << QByteArray("<dsig:X509Certificate>AAAA")
            << Failure::BadCertificate;
        QTest::newRow("no certificate")
            << QByteArray("X509Certificate>") << QByteArray("X509SKI>") << Failure::BadCertificate;
    }

    void refusals()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        Plan plan;
        plan.signer = byOpenssl[2];
        QByteArray document = sign(plan);
        QVERIFY(document.contains(from));
        document.replace(from, to);
        const SignedComposition read = readDocument(document);
        QTEST(read.failure, "failure");
        QVERIFY(!read.detail.isEmpty() || read.failure == Failure::NoSignature);
        QCOMPARE(ERR_peek_error(), 0UL);
    }

    void files_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<Failure>("failure");
        QTest::newRow("missing") << QStringLiteral("missing.xml") << qint64(-1) << Failure::Unreadable;
        QTest::newRow("a folder") << QStringLiteral(".") << qint64(-1) << Failure::Unreadable;
        QTest::newRow("empty") << QStringLiteral("empty.xml") << qint64(0) << Failure::NotXml;
        QTest::newRow("one byte over the bound")
            << QStringLiteral("large.xml") << CompositionReader::kMaxFileBytes + 1 << Failure::TooLarge;
    }

    void files()
    {
        QFETCH(QString, name);
        QFETCH(qint64, size);
        if (size >= 0)
        {
            QFile file(path(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size)); // sparse: no disk spent
        }
        QTEST(CompositionReader::read(path(name)).failure, "failure");
    }

    // Unsigned documents: the header is read before the missing signature stops the reading.
    void issueDates_data()
    {
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QDateTime>("utc"); // invalid: refused
        const QDateTime noon(QDate(2024, 3, 5), QTime(12, 0), Qt::UTC);
        QTest::newRow("offset zero written negative") << QByteArray("2024-03-05T12:00:00-00:00") << noon;
        QTest::newRow("half-hour offset") << QByteArray("2024-03-05T17:30:00+05:30") << noon;
        QTest::newRow("fraction of a second") << QByteArray("2024-03-05T12:00:00.250Z") << noon.addMSecs(250);
        QTest::newRow("no offset, taken as UTC") << QByteArray("2024-03-05T12:00:00") << noon;
        QTest::newRow("offset without colon") << QByteArray("2024-03-05T13:00:00+0100") << QDateTime();
        QTest::newRow("no such day") << QByteArray("2023-02-29T12:00:00Z") << QDateTime();
    }

    void issueDates()
    {
        QFETCH(QByteArray, written);
        QFETCH(QDateTime, utc);
        Plan plan;
        plan.issueDate = written;
        const SignedComposition read = readDocument(unsignedDocument(plan).replace("SIGNATURE", ""));
        QCOMPARE(read.failure, utc.isValid() ? Failure::NoSignature : Failure::BadField);
        if (utc.isValid())
            QCOMPARE(read.issueDate, utc);
    }
};

QTEST_GUILESS_MAIN(TestSignedComposition)
#include "tst_signedcomposition.moc"
