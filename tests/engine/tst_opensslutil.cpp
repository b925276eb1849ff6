// The certificate primitives: keys, names, extensions, fields, thumbprint, Base64 and the
// self-signed certificate in one call.

// The interface under test hands RSA objects around; OpenSSL 3 deprecates the calls on them.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "diagnosticcapture.h"
#include "enginetestsupport.h"
#include "keypool.h"
#include "opensslutil.h"

#include <QTest>

#include <openssl/bn.h>
#include <openssl/objects.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

#include <functional>

using namespace EngineTest;
using Call = std::function<int()>;
Q_DECLARE_METATYPE(Call)
Q_DECLARE_METATYPE(std::vector<NameEntry>)

class TestOpenSSLUtil : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void rsaCreate2048();
    void keyPoolGivesEachKeyOnce();
    void extractRsaPublicKey();

    void setAttribute_data();
    void setAttribute();
    void nameStringTypes_data();
    void nameStringTypes();
    void dnQualifierDropsTheLastCharacterOfTheSubjectOnly();
    void extractAttribute_data();
    void extractAttribute();
    void wholeName();

    void serialNumber_data();
    void serialNumber();
    void basicConstraints_data();
    void basicConstraints();
    void validityText_data();
    void validityText();

    void signatureAlgorithm_data();
    void signatureAlgorithm();
    void thumbprintIsSha1OfTheTbsCertificate();
    void thumbprintRefusesAnOversizedTbsCertificate();

    void addExtension();
    void replaceExtension_data();
    void replaceExtension();
    void keyIdentifiers();

    void base64Encode_data();
    void base64Encode();
    void base64RoundTripAndRefusals();

    void createDcCertificate();

    void nullArguments_data();
    void nullArguments();

private:
    X509Ptr quickCertificate(std::vector<NameEntry> subject = names("Name"),
                             const EVP_MD* digest = EVP_sha256());

    EvpPkeyPtr mKey;
    EvpPkeyPtr mOtherKey;
};

void TestOpenSSLUtil::initTestCase()
{
    mKey = makeRsaKey();
    mOtherKey = makeRsaKey();
    QVERIFY(mKey && mOtherKey);
}

X509Ptr TestOpenSSLUtil::quickCertificate(std::vector<NameEntry> subject, const EVP_MD* digest)
{
    CertificateRecipe recipe;
    recipe.subject = std::move(subject);
    recipe.key = mKey.get();
    recipe.digest = digest;
    return makeCertificate(recipe);
}

void TestOpenSSLUtil::rsaCreate2048()
{
    Outputs outputs;
    RSA*& key = outputs.rsa;
    QCOMPARE(OpenSSLUtil::RSACreate2048(&key), 1);
    QVERIFY_OPENSSL_QUEUE_EMPTY();
    QVERIFY(key != nullptr);
    QCOMPARE(RSA_bits(key), 2048);
    const BIGNUM* exponent = nullptr;
    RSA_get0_key(key, nullptr, &exponent, nullptr);
    QCOMPARE(BN_get_word(exponent), 65537UL);
    QCOMPARE(RSA_check_key(key), 1);

    // A second call replaces the key and frees the first (the sanitizer build sees a leak).
    QCOMPARE(OpenSSLUtil::RSACreate2048(&key), 1);
}

// The pool searches for its last keys on every thread and takes the first found: still exactly
// the keys asked for, each different, each a checked RSA-2048 key of exponent 65537. A pool let
// go of with searches under way ends them (the sanitizer build sees a leak or a race).
void TestOpenSSLUtil::keyPoolGivesEachKeyOnce()
{
    KeyPool pool(3);
    std::vector<BigNumPtr> moduli;
    for (int i = 0; i < 3; ++i)
    {
        const EvpPkeyPtr key = pool.next();
        QVERIFY(key);
        QCOMPARE(EVP_PKEY_get_bits(key.get()), 2048);
        BIGNUM* modulus = nullptr;
        BIGNUM* exponent = nullptr;
        QVERIFY(EVP_PKEY_get_bn_param(key.get(), "n", &modulus));
        QVERIFY(EVP_PKEY_get_bn_param(key.get(), "e", &exponent));
        const BigNumPtr ownedExponent(exponent);
        QCOMPARE(BN_get_word(exponent), 65537UL);
        for (const BigNumPtr& earlier : moduli)
            QVERIFY(BN_cmp(earlier.get(), modulus) != 0);
        moduli.emplace_back(modulus);
    }
    QVERIFY(!pool.next());

    KeyPool abandoned(5);
    QVERIFY(abandoned.next());
}

void TestOpenSSLUtil::extractRsaPublicKey()
{
    X509Ptr certificate = quickCertificate();
    Outputs outputs;
    RSA*& out = outputs.rsa;
    QCOMPARE(OpenSSLUtil::ExtractRSAPublicKey(certificate.get(), &out), 1);
    QVERIFY_OPENSSL_QUEUE_EMPTY();
    QVERIFY(out != nullptr);
    const BIGNUM* modulus = nullptr;
    RSA_get0_key(out, &modulus, nullptr, nullptr);
    BIGNUM* expected = nullptr;
    QVERIFY(EVP_PKEY_get_bn_param(mKey.get(), "n", &expected));
    const BigNumPtr ownedExpected(expected);
    QCOMPARE(BN_cmp(modulus, expected), 0);
    // The previous key is freed, not overwritten (a leak under the sanitizer otherwise).
    QCOMPARE(OpenSSLUtil::ExtractRSAPublicKey(certificate.get(), &out), 1);
}

void TestOpenSSLUtil::setAttribute_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("subject");

    // The certificate starts as CN=Name/O=Org/OU=Unit.
    QTest::newRow("empty text removes the entry") << "O" << QByteArray() << 1 << "CN=Name/OU=Unit";
    QTest::newRow("replaced O keeps index 1")
        << "O" << QByteArray("New Org") << 1 << "CN=Name/O=New Org/OU=Unit";
    QTest::newRow("65-character CN is refused and leaves no CN")
        << "CN" << QByteArray(65, 'c') << 0 << "O=Org/OU=Unit";
    QTest::newRow("64-character CN is taken")
        << "CN" << QByteArray(64, 'c') << 1 << "CN=" + QString(64, 'c') + "/O=Org/OU=Unit";
    QTest::newRow("OU replaced at the end") << "OU" << QByteArray("Other") << 1 << "CN=Name/O=Org/OU=Other";
    QTest::newRow("absent dnQualifier is appended (line feed dropped)")
        << "dnQualifier" << QByteArray("abc=\n") << 1 << "CN=Name/O=Org/OU=Unit/dnQualifier=abc=";
}

void TestOpenSSLUtil::setAttribute()
{
    QFETCH(QString, operation);
    QFETCH(QByteArray, text);
    QFETCH(int, result);
    QFETCH(QString, subject);

    X509Ptr certificate = quickCertificate();
    const std::string value = text.toStdString();
    int got = -99;
    if (operation == "CN")
        got = OpenSSLUtil::X509SetSubjectCommonName(certificate.get(), value);
    else if (operation == "O")
        got = OpenSSLUtil::X509SetSubjectOrganizationName(certificate.get(), value);
    else if (operation == "OU")
        got = OpenSSLUtil::X509SetSubjectOrganizationUnitName(certificate.get(), value);
    else if (operation == "dnQualifier")
        got = OpenSSLUtil::X509SetSubjectDnQualifier(certificate.get(), value);
    QCOMPARE(got, result);
    QVERIFY_OPENSSL_QUEUE_EMPTY();
    QCOMPARE(nameText(X509_get_subject_name(certificate.get())), subject);
    // The issuer name is a separate object and stays as it was.
    QCOMPARE(nameText(X509_get_issuer_name(certificate.get())), QString("CN=Name/O=Org/OU=Unit"));
}

void TestOpenSSLUtil::nameStringTypes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("typed");

    QTest::newRow("letters, digits and space are printable")
        << QByteArray("Acme Cinema 7") << QByteArray("O:P=Acme Cinema 7");
    QTest::newRow("every printable punctuation")
        << QByteArray("a'()+,-./:=?") << QByteArray("O:P=a'()+,-./:=?");
    QTest::newRow("an ampersand makes T61String") << QByteArray("A&B") << QByteArray("O:T=A&B");
    QTest::newRow("an at sign makes T61String") << QByteArray("a@b") << QByteArray("O:T=a@b");
    QTest::newRow("a Latin-1 byte makes T61String") << QByteArray("M\xfcller") << QByteArray("O:T=M\xfcller");
}

void TestOpenSSLUtil::nameStringTypes()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, typed);

    X509Ptr certificate = quickCertificate({});
    QCOMPARE(OpenSSLUtil::X509SetSubjectOrganizationName(certificate.get(), text.toStdString()), 1);
    QCOMPARE(nameText(X509_get_subject_name(certificate.get()), true).toLatin1(), typed);
    QCOMPARE(OpenSSLUtil::X509SetIssuerOrganizationName(certificate.get(), text.toStdString()), 1);
    QCOMPARE(nameText(X509_get_issuer_name(certificate.get()), true).toLatin1(), typed);
}

void TestOpenSSLUtil::dnQualifierDropsTheLastCharacterOfTheSubjectOnly()
{
    X509Ptr certificate = quickCertificate({});
    QCOMPARE(OpenSSLUtil::X509SetSubjectDnQualifier(certificate.get(), "q+/9=\n"), 1);
    QCOMPARE(OpenSSLUtil::X509SetIssuerDnQualifier(certificate.get(), "q+/9="), 1);
    QCOMPARE(nameText(X509_get_subject_name(certificate.get()), true), QString("dnQualifier:P=q+/9="));
    QCOMPARE(nameText(X509_get_issuer_name(certificate.get()), true), QString("dnQualifier:P=q+/9="));
    // dnQualifier is PrintableString only: other characters are refused.
    QCOMPARE(OpenSSLUtil::X509SetIssuerDnQualifier(certificate.get(), "a*b"), 0);
    QCOMPARE(nameText(X509_get_issuer_name(certificate.get())), QString());
    QVERIFY_OPENSSL_QUEUE_EMPTY();
}

void TestOpenSSLUtil::extractAttribute_data()
{
    QTest::addColumn<std::vector<NameEntry>>("subject");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("present") << names("Name") << 4 << QByteArray("Name");
    QTest::newRow("absent gives -1 and keeps the output")
        << std::vector<NameEntry>{{NID_organizationName, "Org"}} << -1 << QByteArray("untouched");
    QTest::newRow("present but empty gives 0")
        << std::vector<NameEntry>{{NID_commonName, "", V_ASN1_PRINTABLESTRING}} << 0 << QByteArray();
    QTest::newRow("300 characters come back as 255")
        << std::vector<NameEntry>{{NID_commonName, QByteArray(300, 'x'), V_ASN1_PRINTABLESTRING}} << 255
        << QByteArray(255, 'x');
    QTest::newRow("the first of two entries")
        << std::vector<NameEntry>{{NID_commonName, "one"}, {NID_commonName, "two"}} << 3 << QByteArray("one");
}

void TestOpenSSLUtil::extractAttribute()
{
    QFETCH(std::vector<NameEntry>, subject);
    QFETCH(int, result);
    QFETCH(QByteArray, text);

    CertificateRecipe recipe;
    recipe.subject = subject;
    recipe.issuer = subject;
    recipe.key = mKey.get();
    X509Ptr certificate = makeCertificate(recipe);
    QVERIFY(certificate);

    std::string subjectOut = "untouched";
    std::string issuerOut = "untouched";
    QCOMPARE(OpenSSLUtil::X509ExtractSubjectCommonName(certificate.get(), &subjectOut), result);
    QCOMPARE(OpenSSLUtil::X509ExtractIssuerCommonName(certificate.get(), &issuerOut), result);
    QCOMPARE(QByteArray::fromStdString(subjectOut), text);
    QCOMPARE(QByteArray::fromStdString(issuerOut), text);
    if (result > 0)
        QVERIFY_OPENSSL_QUEUE_EMPTY();
}

void TestOpenSSLUtil::wholeName()
{
    X509Ptr certificate = quickCertificate({{NID_commonName, "a,b"},
                                            {NID_organizationName, "Org"},
                                            {NID_organizationalUnitName, "Unit"},
                                            {NID_dnQualifier, "q="}});
    std::string out;
    const std::string unescaped = "dnQualifier=q=,OU=Unit,O=Org,CN=a,b";
    QCOMPARE(OpenSSLUtil::X509ExtractSubjectName(certificate.get(), &out, false), int(unescaped.size()));
    QCOMPARE(out, unescaped);
    const std::string escaped = "dnQualifier=q=,OU=Unit,O=Org,CN=a\\,b";
    QCOMPARE(OpenSSLUtil::X509ExtractIssuerName(certificate.get(), &out, true), int(escaped.size()));
    QCOMPARE(out, escaped);
    QVERIFY_OPENSSL_QUEUE_EMPTY();
}

void TestOpenSSLUtil::serialNumber_data()
{
    QTest::addColumn<QByteArray>("serialHex");
    QTest::addColumn<int>("expected");

    QTest::newRow("1") << QByteArray("01") << 1;
    QTest::newRow("0") << QByteArray("00") << 0;
    QTest::newRow("largest 32-bit 2147483647") << QByteArray("7FFFFFFF") << 2147483647;
    QTest::newRow("2147483648 does not fit") << QByteArray("80000000") << -1;
    QTest::newRow("4294967297 does not fit") << QByteArray("0100000001") << -1;
    QTest::newRow("twenty bytes") << QByteArray("7F112233445566778899AABBCCDDEEFF00112233") << -1;
    QTest::newRow("negative -2147483648 fits") << QByteArray("-80000000") << int(-2147483647 - 1);
}

void TestOpenSSLUtil::serialNumber()
{
    QFETCH(QByteArray, serialHex);
    QFETCH(int, expected);

    CertificateRecipe recipe;
    recipe.subject = names("Name");
    recipe.key = mKey.get();
    recipe.serialHex = serialHex;
    X509Ptr certificate = makeCertificate(recipe);
    int out = 12345;
    QCOMPARE(OpenSSLUtil::X509ExtractSerialNumber(certificate.get(), &out), 1);
    QCOMPARE(out, expected);
    QVERIFY_OPENSSL_QUEUE_EMPTY();
}

void TestOpenSSLUtil::basicConstraints_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("ca");
    QTest::addColumn<int>("pathLength");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("CA with path length 3")
        << QByteArray("critical,CA:TRUE,pathlen:3") << 1 << true << 3 << QByteArray();
    QTest::newRow("absent path length reads as 0")
        << QByteArray("critical,CA:TRUE") << 1 << true << 0 << QByteArray();
    QTest::newRow("leaf") << QByteArray("critical,CA:FALSE") << 1 << false << 0 << QByteArray();
    QTest::newRow("no extension fails, outputs unchanged")
        << QByteArray() << 0 << true << 77
        << QByteArray("OpenSSLUtil::X509ExtractBasicConstraints(): Reading Basic Constraints failed!\n");
}

void TestOpenSSLUtil::basicConstraints()
{
    QFETCH(QByteArray, value);
    QFETCH(int, result);
    QFETCH(bool, ca);
    QFETCH(int, pathLength);
    QFETCH(QByteArray, output);

    CertificateRecipe recipe;
    recipe.subject = names("Name");
    recipe.key = mKey.get();
    if (!value.isEmpty())
        recipe.extensions = {{NID_basic_constraints, value}};
    X509Ptr certificate = makeCertificate(recipe);

    bool gotCa = true;
    int gotPathLength = 77;
    DiagnosticCapture capture;
    QCOMPARE(OpenSSLUtil::X509ExtractBasicConstraints(certificate.get(), &gotCa, &gotPathLength), result);
    QCOMPARE(capture.take(), output);
    QCOMPARE(gotCa, ca);
    QCOMPARE(gotPathLength, pathLength);
    QVERIFY_OPENSSL_QUEUE_EMPTY();
}

void TestOpenSSLUtil::validityText_data()
{
    QTest::addColumn<QByteArray>("time");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("one-digit day gets two spaces")
        << QByteArray("250101010000Z") << QByteArray("Jan  1 01:00:00 2025 GMT");
    QTest::newRow("two-digit day") << QByteArray("301224130509Z") << QByteArray("Dec 24 13:05:09 2030 GMT");
    QTest::newRow("GeneralizedTime from 2050")
        << QByteArray("20500301000000Z") << QByteArray("Mar  1 00:00:00 2050 GMT");
    QTest::newRow("malformed time is still text")
        << QByteArray("2501XX010000Z") << QByteArray("Bad time value");
}

void TestOpenSSLUtil::validityText()
{
    QFETCH(QByteArray, time);
    QFETCH(QByteArray, text);

    X509Ptr certificate = quickCertificate(names("Name"), nullptr);
    // Set raw, without validation, so that a malformed time can be stored.
    ASN1_TIME* notBefore = X509_getm_notBefore(certificate.get());
    ASN1_TIME* notAfter = X509_getm_notAfter(certificate.get());
    const int type = time.size() == 13 ? V_ASN1_UTCTIME : V_ASN1_GENERALIZEDTIME;
    for (ASN1_TIME* field : {notBefore, notAfter})
    {
        ASN1_STRING_set(field, time.constData(), int(time.size()));
        field->type = type;
    }
    std::string start, end;
    QCOMPARE(OpenSSLUtil::X509ExtractValidityStart(certificate.get(), &start), 1);
    QCOMPARE(OpenSSLUtil::X509ExtractValidityEnd(certificate.get(), &end), 1);
    QCOMPARE(QByteArray::fromStdString(start), text);
    QCOMPARE(QByteArray::fromStdString(end), text);
    QVERIFY_OPENSSL_QUEUE_EMPTY();
}

void TestOpenSSLUtil::signatureAlgorithm_data()
{
    QTest::addColumn<QString>("digest");
    QTest::addColumn<int>("sha1");
    QTest::addColumn<int>("sha256");

    QTest::newRow("signed with SHA-256") << "SHA256" << 0 << 1;
    QTest::newRow("signed with SHA-1") << "SHA1" << 1 << 0;
    QTest::newRow("signed with SHA-384 is neither") << "SHA384" << 0 << 0;
}

void TestOpenSSLUtil::signatureAlgorithm()
{
    QFETCH(QString, digest);
    QFETCH(int, sha1);
    QFETCH(int, sha256);

    X509Ptr certificate = quickCertificate(names("Name"), EVP_get_digestbyname(qPrintable(digest)));
    QVERIFY(certificate);
    QCOMPARE(OpenSSLUtil::X509IsSHAN(certificate.get(), 1), sha1);
    QCOMPARE(OpenSSLUtil::X509IsSHAN(certificate.get(), 256), sha256);
    QCOMPARE(OpenSSLUtil::X509IsSHAN(certificate.get(), 512), 0);
    QCOMPARE(OpenSSLUtil::X509IsSHAN(certificate.get(), 0), 0);
    QVERIFY_OPENSSL_QUEUE_EMPTY();

    // Unsigned: the algorithm identifier is unset.
    X509Ptr unsignedCertificate = quickCertificate(names("Name"), nullptr);
    DiagnosticCapture capture;
    QCOMPARE(OpenSSLUtil::X509IsSHAN(unsignedCertificate.get(), 256), 0);
    QCOMPARE(capture.take(),
             QByteArray("OpenSSLUtil::X509IsSHAN(): Certificate signature algorithm is missing!\n"));
}

void TestOpenSSLUtil::thumbprintIsSha1OfTheTbsCertificate()
{
    X509Ptr certificate = quickCertificate();
    // The TBSCertificate is the first element of the certificate's outer SEQUENCE.
    const QByteArray whole = der(certificate.get());
    const auto* cursor = reinterpret_cast<const unsigned char*>(whole.constData());
    long length = 0;
    int tag = 0, objectClass = 0;
    QVERIFY(!(ASN1_get_object(&cursor, &length, &tag, &objectClass, whole.size()) & 0x80));
    const unsigned char* tbsStart = cursor;
    QVERIFY(!(ASN1_get_object(&cursor, &length, &tag, &objectClass, whole.size()) & 0x80));
    const QByteArray tbs(reinterpret_cast<const char*>(tbsStart), int(cursor - tbsStart) + int(length));

    unsigned char out[20] = {};
    QCOMPARE(OpenSSLUtil::X509GetThumbprintSHA1(certificate.get(), out), 20);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(out), 20), sha1(tbs));
    QVERIFY_OPENSSL_QUEUE_EMPTY();
}

void TestOpenSSLUtil::thumbprintRefusesAnOversizedTbsCertificate()
{
    CertificateRecipe recipe;
    recipe.subject = names("Name");
    recipe.key = mKey.get();
    recipe.extensions = {{NID_netscape_comment, QByteArray(9000, 'c')}};
    X509Ptr certificate = makeCertificate(recipe);
    QVERIFY(certificate);
    unsigned char out[20];
    std::memset(out, 0xAB, sizeof out);
    QCOMPARE(OpenSSLUtil::X509GetThumbprintSHA1(certificate.get(), out), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(out), 20), QByteArray(20, char(0xAB)));
}

void TestOpenSSLUtil::addExtension()
{
    X509Ptr certificate = quickCertificate(names("Name"), nullptr);
    QCOMPARE(OpenSSLUtil::X509AddV3Extension(certificate.get(), certificate.get(), NID_basic_constraints,
                                             "critical,CA:TRUE,pathlen:2"),
             1);
    QCOMPARE(
        OpenSSLUtil::X509AddV3Extension(certificate.get(), certificate.get(), NID_key_usage, "keyCertSign"),
        1);
    QVERIFY_OPENSSL_QUEUE_EMPTY();
    QCOMPARE(extensionOrder(certificate.get()), QString("basicConstraints,keyUsage"));
    QCOMPARE(X509_EXTENSION_get_critical(X509_get_ext(certificate.get(), 0)), 1);
    QCOMPARE(X509_EXTENSION_get_critical(X509_get_ext(certificate.get(), 1)), 0);

    DiagnosticCapture capture;
    QCOMPARE(
        OpenSSLUtil::X509AddV3Extension(certificate.get(), certificate.get(), NID_key_usage, "noSuchBit"), 0);
    QCOMPARE(capture.take(),
             QByteArray("OpenSSLUtil::X509AddV3Extension(): X509V3_EXT_conf_nid() failed!\n"));
    QVERIFY_OPENSSL_QUEUE_EMPTY();
    QCOMPARE(extensionOrder(certificate.get()), QString("basicConstraints,keyUsage"));
}

void TestOpenSSLUtil::replaceExtension_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("order");
    QTest::addColumn<int>("bits");

    QTest::newRow("replaced where it stood")
        << QByteArray("digitalSignature") << 1 << "basicConstraints,keyUsage,subjectKeyIdentifier"
        << int(KU_DIGITAL_SIGNATURE);
    QTest::newRow("rejected value removes the old one")
        << QByteArray("noSuchBit") << 0 << "basicConstraints,subjectKeyIdentifier" << -1;
}

void TestOpenSSLUtil::replaceExtension()
{
    QFETCH(QByteArray, value);
    QFETCH(int, result);
    QFETCH(QString, order);
    QFETCH(int, bits);

    CertificateRecipe recipe;
    recipe.subject = names("Name");
    recipe.key = mKey.get();
    recipe.digest = nullptr;
    recipe.extensions = {{NID_basic_constraints, "critical,CA:FALSE"},
                         {NID_key_usage, "keyCertSign"},
                         {NID_subject_key_identifier, "hash"}};
    X509Ptr certificate = makeCertificate(recipe);
    QCOMPARE(OpenSSLUtil::X509ReplaceV3Extension(certificate.get(), certificate.get(), NID_key_usage,
                                                 value.constData()),
             result);
    QVERIFY_OPENSSL_QUEUE_EMPTY();
    QCOMPARE(extensionOrder(certificate.get()), order);
    if (bits >= 0)
    {
        const BitStringPtr usage(static_cast<ASN1_BIT_STRING*>(
            X509_get_ext_d2i(certificate.get(), NID_key_usage, nullptr, nullptr)));
        QVERIFY(usage);
        QCOMPARE(ASN1_BIT_STRING_get_bit(usage.get(), 0), 1);
        QCOMPARE(ASN1_BIT_STRING_get_bit(usage.get(), 5), 0);
    }

    // Absent before: appended.
    QCOMPARE(OpenSSLUtil::X509ReplaceV3Extension(certificate.get(), certificate.get(),
                                                 NID_authority_key_identifier, "keyid:always"),
             1);
    QVERIFY(extensionOrder(certificate.get()).endsWith("authorityKeyIdentifier"));
}

void TestOpenSSLUtil::keyIdentifiers()
{
    CertificateRecipe rootRecipe;
    rootRecipe.subject = names(".root");
    rootRecipe.key = mOtherKey.get();
    rootRecipe.serial = 77;
    rootRecipe.extensions = {{NID_subject_key_identifier, "hash"}};
    X509Ptr root = makeCertificate(rootRecipe);

    X509Ptr child = quickCertificate(names(".child"), nullptr);
    X509_set_issuer_name(child.get(), X509_get_subject_name(root.get()));
    QCOMPARE(OpenSSLUtil::X509AddV3Extension(root.get(), child.get(), NID_subject_key_identifier, "hash"), 1);
    QCOMPARE(OpenSSLUtil::X509AddV3Extension(root.get(), child.get(), NID_authority_key_identifier,
                                             "keyid,issuer:always"),
             1);
    QVERIFY_OPENSSL_QUEUE_EMPTY();

    // "hash": SHA-1 of the subject's RSAPublicKey.
    OctetStringPtr subjectId(static_cast<ASN1_OCTET_STRING*>(
        X509_get_ext_d2i(child.get(), NID_subject_key_identifier, nullptr, nullptr)));
    QVERIFY(subjectId);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(ASN1_STRING_get0_data(subjectId.get())),
                        ASN1_STRING_length(subjectId.get())),
             keyThumbprint(mKey.get()));

    OctetStringPtr rootId(static_cast<ASN1_OCTET_STRING*>(
        X509_get_ext_d2i(root.get(), NID_subject_key_identifier, nullptr, nullptr)));
    const AuthorityKeyIdPtr authority(static_cast<AUTHORITY_KEYID*>(
        X509_get_ext_d2i(child.get(), NID_authority_key_identifier, nullptr, nullptr)));
    QVERIFY(authority && rootId);
    QCOMPARE(ASN1_OCTET_STRING_cmp(authority->keyid, rootId.get()), 0);
    QVERIFY(authority->issuer && sk_GENERAL_NAME_num(authority->issuer) == 1);
    const GENERAL_NAME* issuerName = sk_GENERAL_NAME_value(authority->issuer, 0);
    QCOMPARE(issuerName->type, GEN_DIRNAME);
    QCOMPARE(X509_NAME_cmp(issuerName->d.directoryName, X509_get_issuer_name(root.get())), 0);
    QCOMPARE(ASN1_INTEGER_get(authority->serial), 77L);
}

void TestOpenSSLUtil::base64Encode_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("length");

    QTest::newRow("20 bytes: 28 characters and a line feed") << 20 << 29;
    QTest::newRow("48 bytes: one full line") << 48 << 65;
    QTest::newRow("49 bytes: a second line") << 49 << 70;
    QTest::newRow("1 byte: padding") << 1 << 5;
}

void TestOpenSSLUtil::base64Encode()
{
    QFETCH(int, bytes);
    QFETCH(int, length);

    QByteArray data(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        data[i] = char(i * 37 + 11);
    char* out = nullptr;
    QCOMPARE(OpenSSLUtil::Base64Encode(reinterpret_cast<const unsigned char*>(data.constData()), &out, bytes),
             length);
    QVERIFY_OPENSSL_QUEUE_EMPTY();
    const QByteArray text(out);
    delete[] out;
    QCOMPARE(text.size(), length);
    QVERIFY(text.endsWith('\n'));
    for (const QByteArray& line : text.split('\n'))
        QVERIFY(line.size() <= 64);
    QCOMPARE(QByteArray(text).replace('\n', QByteArray()), data.toBase64());
}

void TestOpenSSLUtil::base64RoundTripAndRefusals()
{
    const QByteArray data("\x00\x01\xfe\xff certificate", 16);
    char* text = nullptr;
    const int textLength = OpenSSLUtil::Base64Encode(reinterpret_cast<const unsigned char*>(data.constData()),
                                                     &text, int(data.size()));
    QVERIFY(textLength > 0);
    char* decoded = nullptr;
    QCOMPARE(OpenSSLUtil::Base64Decode(text, &decoded, textLength), int(data.size()));
    QVERIFY_OPENSSL_QUEUE_EMPTY();
    QCOMPARE(QByteArray(decoded, int(data.size())), data);
    QCOMPARE(decoded[data.size()], '\0');

    DiagnosticCapture capture;
    // An output that already holds a buffer is refused rather than leaked.
    QCOMPARE(OpenSSLUtil::Base64Encode(reinterpret_cast<const unsigned char*>(data.constData()), &text, 4),
             0);
    QCOMPARE(OpenSSLUtil::Base64Decode(text, &decoded, textLength), 0);
    QCOMPARE(OpenSSLUtil::Base64Encode(reinterpret_cast<const unsigned char*>(data.constData()), nullptr, 4),
             0);
    char* fresh = nullptr;
    QCOMPARE(OpenSSLUtil::Base64Encode(nullptr, &fresh, 4), 0);
    QCOMPARE(OpenSSLUtil::Base64Encode(reinterpret_cast<const unsigned char*>(data.constData()), &fresh, 0),
             0);
    QCOMPARE(OpenSSLUtil::Base64Decode("AAAA\n", &fresh, 0), 0);
    QCOMPARE(capture.take(), QByteArray("OpenSSLUtil::Base64Encode()->Invalid input!\n"
                                        "OpenSSLUtil::Base64Decode()->Invalid input!\n"
                                        "OpenSSLUtil::Base64Encode()->Invalid input!\n"
                                        "OpenSSLUtil::Base64Encode()->Invalid input!\n"
                                        "OpenSSLUtil::Base64Encode()->Invalid input!\n"
                                        "OpenSSLUtil::Base64Decode()->Invalid input!\n"));
    // Text that decodes to nothing leaves the output alone.
    QCOMPARE(OpenSSLUtil::Base64Decode("!!!!\n", &fresh, 5), 0);
    QVERIFY(fresh == nullptr);
    delete[] text;
    delete[] decoded;
}

void TestOpenSSLUtil::createDcCertificate()
{
    const X509Ptr owner(X509_new()); // filled in place
    X509* certificate = owner.get();
    int serial = 4711;
    int days = 100;
    const std::int64_t before = std::time(nullptr);
    QCOMPARE(OpenSSLUtil::X509CreateDCCertificate(&certificate, mKey.get(), &serial, "Issuer CN",
                                                  "Subject CN", &days),
             1);
    const std::int64_t after = std::time(nullptr);
    QVERIFY_OPENSSL_QUEUE_EMPTY();

    QCOMPARE(X509_get_version(certificate), long(X509_VERSION_3));
    QCOMPARE(ASN1_INTEGER_get(X509_get0_serialNumber(certificate)), 4711L);
    QCOMPARE(nameText(X509_get_issuer_name(certificate), true), QString("CN:P=Issuer CN"));
    QCOMPARE(nameText(X509_get_subject_name(certificate), true), QString("CN:P=Subject CN"));
    const std::int64_t notBefore = seconds(X509_get0_notBefore(certificate));
    QVERIFY(notBefore >= before && notBefore <= after);
    QCOMPARE(seconds(X509_get0_notAfter(certificate)) - notBefore, std::int64_t(100) * 86400);

    QCOMPARE(extensionOrder(certificate),
             QString("basicConstraints,subjectKeyIdentifier,authorityKeyIdentifier,keyUsage"));
    const BasicConstraintsPtr constraints(static_cast<BASIC_CONSTRAINTS*>(
        X509_get_ext_d2i(certificate, NID_basic_constraints, nullptr, nullptr)));
    QVERIFY(constraints && constraints->ca && ASN1_INTEGER_get(constraints->pathlen) == 10);
    QCOMPARE(X509_get_key_usage(certificate), uint32_t(KU_KEY_CERT_SIGN | KU_CRL_SIGN));
    // Its own key identifier, as 0.9.8 wrote it, and then no issuer name.
    const AuthorityKeyIdPtr authority(static_cast<AUTHORITY_KEYID*>(
        X509_get_ext_d2i(certificate, NID_authority_key_identifier, nullptr, nullptr)));
    QVERIFY(authority && authority->keyid);
    QCOMPARE(ASN1_OCTET_STRING_cmp(authority->keyid, X509_get0_subject_key_id(certificate)), 0);
    QVERIFY(authority->issuer == nullptr);
    QCOMPARE(X509_get_signature_nid(certificate), NID_sha256WithRSAEncryption);
    QCOMPARE(X509_verify(certificate, mKey.get()), 1);
}

void TestOpenSSLUtil::nullArguments_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QByteArray>("output");

    static std::string text;
    static unsigned char bytes[20];
    static bool flag;
    static int number;
    static RSA* rsa;
    static X509* none = nullptr;
    const QByteArray prefix = "OpenSSLUtil::";
    auto row = [&](const char* name, Call call, const char* output)
    { QTest::newRow(name) << call << (output[0] != '\0' ? prefix + output : QByteArray()); };
    row(
        "RSACreate2048", [] { return OpenSSLUtil::RSACreate2048(nullptr); },
        "RSACreate2048(): Invalid input!\n");
    row(
        "ExtractRSAPublicKey", [] { return OpenSSLUtil::ExtractRSAPublicKey(none, &rsa); },
        "ExtractRSAPublicKey(): Invalid input!\n");
    row(
        "X509ExtractIssuerCommonName", [] { return OpenSSLUtil::X509ExtractIssuerCommonName(none, &text); },
        "X509ExtractIssuerCommonName(): Certificate not set!\n");
    row(
        "X509ExtractIssuerOrganizationName",
        [] { return OpenSSLUtil::X509ExtractIssuerOrganizationName(none, &text); },
        "X509ExtractIssuerOrganizationName(): Certificate not set!\n");
    row(
        "X509ExtractIssuerOrganizationUnitName",
        [] { return OpenSSLUtil::X509ExtractIssuerOrganizationUnitName(none, &text); },
        "X509ExtractIssuerOrganizationUnitName(): Certificate not set!\n");
    row(
        "X509ExtractSubjectCommonName", [] { return OpenSSLUtil::X509ExtractSubjectCommonName(none, &text); },
        "");
    row(
        "X509ExtractSubjectOrganizationName",
        [] { return OpenSSLUtil::X509ExtractSubjectOrganizationName(none, &text); }, "");
    row(
        "X509ExtractSubjectOrganizationUnitName",
        [] { return OpenSSLUtil::X509ExtractSubjectOrganizationUnitName(none, &text); }, "");
    row(
        "X509SetIssuerCommonName", [] { return OpenSSLUtil::X509SetIssuerCommonName(none, "x"); },
        "X509SetIssuerCommonName(): Certificate not set!\n");
    row(
        "X509SetIssuerOrganizationName", [] { return OpenSSLUtil::X509SetIssuerOrganizationName(none, "x"); },
        "X509SetIssuerOrganizationName(): Certificate not set!\n");
    row(
        "X509SetIssuerOrganizationUnitName",
        [] { return OpenSSLUtil::X509SetIssuerOrganizationUnitName(none, "x"); },
        "X509SetIssuerOrganizationUnitName(): Certificate not set!\n");
    row(
        "X509SetIssuerDnQualifier", [] { return OpenSSLUtil::X509SetIssuerDnQualifier(none, "x"); },
        "X509SetIssuerDnQualifier(): Certificate not set!\n");
    row(
        "X509SetSubjectDnQualifier", [] { return OpenSSLUtil::X509SetSubjectDnQualifier(none, "x"); },
        "X509SetSubjectDnQualifier(): Certificate not set!\n");
    row(
        "X509SetSubjectCommonName", [] { return OpenSSLUtil::X509SetSubjectCommonName(none, "x"); }, "");
    row(
        "X509SetSubjectOrganizationName",
        [] { return OpenSSLUtil::X509SetSubjectOrganizationName(none, "x"); }, "");
    row(
        "X509SetSubjectOrganizationUnitName",
        [] { return OpenSSLUtil::X509SetSubjectOrganizationUnitName(none, "x"); }, "");
    row(
        "X509ExtractIssuerName", [] { return OpenSSLUtil::X509ExtractIssuerName(none, &text, true); },
        "X509ExtractIssuerName(): Certificate not set!\n");
    row(
        "X509ExtractSubjectName", [] { return OpenSSLUtil::X509ExtractSubjectName(none, &text, false); },
        "X509ExtractSubjectName(): Certificate not set!\n");
    row(
        "X509ExtractSerialNumber", [] { return OpenSSLUtil::X509ExtractSerialNumber(none, &number); },
        "X509ExtractSerialNumber(): Invalid input!\n");
    row(
        "X509ExtractBasicConstraints",
        [] { return OpenSSLUtil::X509ExtractBasicConstraints(none, &flag, &number); },
        "X509ExtractBasicConstraints(): Certificate not set!\n");
    row(
        "X509ExtractValidityStart", [] { return OpenSSLUtil::X509ExtractValidityStart(none, &text); },
        "X509ExtractValidityStart(): Invalid input!\n");
    row(
        "X509ExtractValidityEnd", [] { return OpenSSLUtil::X509ExtractValidityEnd(none, &text); },
        "X509ExtractValidityEnd(): Invalid input!\n");
    row(
        "X509IsSHAN", [] { return OpenSSLUtil::X509IsSHAN(none, 256); },
        "X509IsSHAN(): Certificate not set!\n");
    row(
        "X509GetThumbprintSHA1", [] { return OpenSSLUtil::X509GetThumbprintSHA1(none, bytes); },
        "X509GetThumbprintSHA1(): Invalid input!\n");
    row(
        "X509AddV3Extension", [] { return OpenSSLUtil::X509AddV3Extension(none, none, NID_key_usage, "x"); },
        "X509AddV3Extension()\t->\tInvalid input!\n");
    row(
        "X509ReplaceV3Extension",
        [] { return OpenSSLUtil::X509ReplaceV3Extension(none, none, NID_key_usage, "x"); },
        "X509ReplaceV3Extension()\t->\tInvalid input!\n");
    row(
        "X509CreateDCCertificate",
        [] { return OpenSSLUtil::X509CreateDCCertificate(nullptr, nullptr, &number, "a", "b", &number); },
        "X509CreateDCCertificate(): Invalid input!\n");
}

void TestOpenSSLUtil::nullArguments()
{
    QFETCH(Call, call);
    QFETCH(QByteArray, output);
    DiagnosticCapture capture;
    QCOMPARE(call(), 0);
    QCOMPARE(capture.take(), output);
    QVERIFY_OPENSSL_QUEUE_EMPTY();
}

QTEST_GUILESS_MAIN(TestOpenSSLUtil)
#include "tst_opensslutil.moc"
