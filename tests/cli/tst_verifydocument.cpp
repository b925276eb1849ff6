// talvane-chain verify as a mastering engineer runs it: on a playlist and a packing list signed by
// xmlsec1 with a chain this tool made (the README's way), with a trusted root, as JSON, strictly.

#include "chainfixtures.h"
#include "clirun.h"
#include "commandline.h"
#include "console.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace ChainFixtures;

namespace
{

const char kSmpteCpl[] = "http://www.smpte-ra.org/schemas/429-7/2006/CPL";
const char kSmptePkl[] = "http://www.smpte-ra.org/schemas/429-8/2007/PKL";

// A document with its Signer and the signature template xmlsec1 fills: the certificates it is
// given go into the one X509Data.
QByteArray unsignedDocument(const char* ns, const QByteArray& root, const QByteArray& issueDate,
                            const QJsonObject& signer)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + " xmlns=\"" + ns +
           "\" xmlns:dsig=\"http://www.w3.org/2000/09/xmldsig#\">\n"
           "  <Id>urn:uuid:3f1d7a0e-5c2b-4e6a-9b1f-2d8e4c6a0b13</Id>\n"
           "  <IssueDate>" +
           issueDate +
           "</IssueDate>\n  <ContentTitleText>Verified Reel</ContentTitleText>\n"
           "  <Signer><dsig:X509Data><dsig:X509IssuerSerial><dsig:X509IssuerName>" +
           signer["X509IssuerName"].toString().toHtmlEscaped().toUtf8() +
           "</dsig:X509IssuerName><dsig:X509SerialNumber>" + signer["X509SerialNumber"].toString().toUtf8() +
           "</dsig:X509SerialNumber></dsig:X509IssuerSerial></dsig:X509Data></Signer>\n"
           "  <dsig:Signature><dsig:SignedInfo>"
           "<dsig:CanonicalizationMethod Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
           "<dsig:SignatureMethod Algorithm=\"http://www.w3.org/2001/04/xmldsig-more#rsa-sha256\"/>"
           "<dsig:Reference URI=\"\"><dsig:Transforms><dsig:Transform "
           "Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/></dsig:Transforms>"
           "<dsig:DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/><dsig:DigestValue/>"
           "</dsig:Reference></dsig:SignedInfo><dsig:SignatureValue/>"
           "<dsig:KeyInfo><dsig:X509Data/></dsig:KeyInfo></dsig:Signature>\n</" +
           root + ">\n";
}

} // namespace

class TestVerifyDocument : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void signedDocuments_data();
    void signedDocuments();
    void machineReadableFindings();
    void trustAnchor();
    void strictFailsOnWarnings();

private:
    QString path(const QString& name) const { return mDir.filePath(name); }
    // The identity `show --json` gives the certificate in `file`: what a Signer names it by.
    QJsonObject identityOf(const QString& file) const;
    // Signed with the leaf's key; the whole chain in KeyInfo. Empty when xmlsec1 refused.
    QByteArray sign(const QByteArray& document) const;

    QTemporaryDir mDir;
};

QJsonObject TestVerifyDocument::identityOf(const QString& file) const
{
    const CliRun shown = RunCli({"show", file, "--json"});
    return QJsonDocument::fromJson(shown.out)["certificates"]
        .toArray()
        .last()
        .toObject()["xmlSignatureIdentity"]
        .toObject();
}

QByteArray TestVerifyDocument::sign(const QByteArray& document) const
{
    QFile::remove(path("signed.xml"));
    if (!writeFile(path("template.xml"), document))
        return {};
    QProcess xmlsec;
    xmlsec.start("xmlsec1", {"--sign", "--privkey-pem",
                             "leaf-key.pem,chain/leaf.pem,chain/intermediate.pem,chain/root.pem", "--output",
                             path("signed.xml"), path("template.xml")});
    if (!xmlsec.waitForFinished(60000) || xmlsec.exitCode() != 0)
        return {};
    return readFile(path("signed.xml"));
}

void TestVerifyDocument::initTestCase()
{
    QVERIFY(mDir.isValid());
    QVERIFY(QDir::setCurrent(mDir.path()));
    QVERIFY(writeFile("password", "document secret\n"));
    for (const char* folder : {"chain", "other"})
    {
        const CliRun made = RunCli({"chain", "--out-dir", folder, "--root-name", ".Studio", "--organization",
                                    ".Mastering", "--serial", "random", "--password-file", "password"});
        QVERIFY2(made.status == 0, Describe(made));
    }
    const CliRun exported = RunCli({"export", "chain/leaf.pfx", "--input-password-file", "password",
                                    "--key-pem", "leaf-key.pem", "--no-encrypt"});
    QVERIFY2(exported.status == 0, Describe(exported));
}

void TestVerifyDocument::signedDocuments_data()
{
    QTest::addColumn<QByteArray>("root");
    QTest::addColumn<QString>("signerOf"); // the certificate the Signer names
    QTest::addColumn<QByteArray>("issueDate");
    QTest::addColumn<bool>("changed"); // a byte of the content changed after signing
    QTest::addColumn<QString>("rule"); // the finding expected; empty: none
    QTest::addColumn<QString>("ruleId");

    const QByteArray today = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toUtf8();
    QTest::newRow("playlist") << QByteArray("CompositionPlaylist") << "chain/leaf.pem" << today << false
                              << QString() << QString();
    QTest::newRow("packing list") << QByteArray("PackingList") << "chain/leaf.pem" << today << false
                                  << QString() << QString();
    QTest::newRow("a byte changed") << QByteArray("CompositionPlaylist") << "chain/leaf.pem" << today << true
                                    << "xml signature"
                                    << "XMLDSig";
    QTest::newRow("Signer names another certificate")
        << QByteArray("CompositionPlaylist") << "chain/intermediate.pem" << today << false << "signer"
        << "XMLDSig";
    // Judged at the document's date, when the chain had ended (3,649 days from now at the most).
    const QDateTime late =
        QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC).addDays(3700);
    QTest::newRow("issued after the chain ended")
        << QByteArray("CompositionPlaylist") << "chain/leaf.pem" << late.toString(Qt::ISODate).toUtf8()
        << false << "validity at " + late.toString(Qt::ISODate) << "ST 430-2 6.2 step 9";
}

void TestVerifyDocument::signedDocuments()
{
    QFETCH(QByteArray, root);
    QFETCH(QString, signerOf);
    QFETCH(QByteArray, issueDate);
    QFETCH(bool, changed);
    QFETCH(QString, rule);
    QFETCH(QString, ruleId);

    const char* ns = root == "PackingList" ? kSmptePkl : kSmpteCpl;
    QByteArray document = sign(unsignedDocument(ns, root, issueDate, identityOf(signerOf)));
    QVERIFY(!document.isEmpty());
    if (changed)
        document.replace("Verified Reel", "Verified Reek");
    QVERIFY(writeFile("judged.xml", document));

    const CliRun result = RunCli({"verify", "judged.xml", "--json"});
    QCOMPARE(result.status, rule.isEmpty() ? 0 : 1);
    const QJsonArray findings = QJsonDocument::fromJson(result.out)["findings"].toArray();
    if (rule.isEmpty())
    {
        QVERIFY2(findings.isEmpty(), Describe(result));
        return;
    }
    bool found = false;
    for (const QJsonValue& finding : findings)
        found =
            found || (finding["rule"].toString() == rule && finding["ruleId"].toString().startsWith(ruleId) &&
                      finding["severity"].toString() == "error");
    QVERIFY2(found, Describe(result));
}

// Every finding carries its severity, rule and rule identifier; every certificate its identity.
void TestVerifyDocument::machineReadableFindings()
{
    // A leaf that the profile of signers refuses beside its issuer: a chain of two roots' leaves.
    const CliRun result =
        RunCli({"verify", "chain/chain.pem", "other/leaf.pem", "--json", "--at", "2020-01-01T00:00:00Z"});
    QCOMPARE(result.status, 1);
    const QJsonDocument report = QJsonDocument::fromJson(result.out);
    QVERIFY2(!report["findings"].toArray().isEmpty(), Describe(result));
    for (const QJsonValue& finding : report["findings"].toArray())
    {
        QVERIFY(!finding["ruleId"].toString().isEmpty());
        QVERIFY(QStringList({"error", "warning"}).contains(finding["severity"].toString()));
    }
    QCOMPARE(report["certificates"].toArray().size(), 4);
    for (const QJsonValue& certificate : report["certificates"].toArray())
        QVERIFY(!certificate["thumbprint"].toString().isEmpty());
    QCOMPARE(report["passed"].toBool(), false);
}

// --root and --root-thumbprint say which root the chain must lead to.
void TestVerifyDocument::trustAnchor()
{
    CliRun result = RunCli({"verify", "chain/chain.pem", "--root", "chain/root.pem"});
    QVERIFY2(result.status == 0, Describe(result));
    QVERIFY(result.out.contains("trusted root as given: "));

    result = RunCli({"verify", "chain/chain.pem", "--root", "other/root.pem"});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.out.contains("error: trust anchor: "), Describe(result));

    const QString thumbprint =
        QJsonDocument::fromJson(
            RunCli({"show", "other/root.pem", "--json"}).out)["certificates"][0]["thumbprint"]
            .toString();
    result = RunCli({"verify", "chain/chain.pem", "--root-thumbprint", thumbprint});
    QCOMPARE(result.status, 1);
    result = RunCli({"verify", "other/chain.pem", "--root-thumbprint", thumbprint, "--json"});
    QCOMPARE(result.status, 0);
    QCOMPARE(QJsonDocument::fromJson(result.out)["trustedRoot"]["thumbprint"].toString(), thumbprint);
}

// A certificate ending within the warning's days is a warning: the run fails with --strict only.
void TestVerifyDocument::strictFailsOnWarnings()
{
    CliRun result = RunCli({"verify", "chain/chain.pem", "--warn-days", "4000"});
    QVERIFY2(result.status == 0 && result.out.contains("warning: expiry"), Describe(result));
    result = RunCli({"verify", "chain/chain.pem", "--warn-days", "4000", "--strict"});
    QCOMPARE(result.status, 1);
}

QTEST_GUILESS_MAIN(TestVerifyDocument)
#include "tst_verifydocument.moc"
