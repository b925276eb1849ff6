#include "signernames.h"

#include <openssl/asn1.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/objects.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace
{

struct Attribute
{
    QByteArray type; // canonical: "#<nid>" for a known attribute, else the type in lower case
    QByteArray value;
    bool operator==(const Attribute& other) const { return type == other.type && value == other.value; }
};

// The attributes names are made of, for types written in another case than OpenSSL's
// ("CN" as "cn", "dnQualifier" as "DNQUALIFIER"), which OpenSSL's look-up would miss.
constexpr int kNameAttributes[] = {NID_countryName,
                                   NID_stateOrProvinceName,
                                   NID_localityName,
                                   NID_organizationName,
                                   NID_organizationalUnitName,
                                   NID_commonName,
                                   NID_dnQualifier,
                                   NID_serialNumber,
                                   NID_pkcs9_emailAddress,
                                   NID_domainComponent,
                                   NID_userId,
                                   NID_title,
                                   NID_givenName,
                                   NID_surname,
                                   NID_initials};

QByteArray canonicalType(QByteArray type)
{
    if (type.startsWith("OID.") || type.startsWith("oid."))
        type = type.mid(4);
    ERR_set_mark(); // an unknown name raises errors no caller asked for
    int nid = OBJ_txt2nid(type.constData());
    ERR_pop_to_mark();
    for (int candidate : kNameAttributes)
        if (nid == NID_undef && (qstricmp(type.constData(), OBJ_nid2sn(candidate)) == 0 ||
                                 qstricmp(type.constData(), OBJ_nid2ln(candidate)) == 0))
            nid = candidate;
    return nid != NID_undef ? "#" + QByteArray::number(nid) : type.toLower();
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isSeparator(char c)
{
    return c == ',' || c == ';' || c == '+';
}

// A "#hex" value is the BER encoding of the attribute's value: text types become their UTF-8
// text, so that they equal the same text written plainly; anything else stays as its encoding.
std::optional<QByteArray> encodedValue(const QByteArray& hex)
{
    if (hex.isEmpty() || hex.size() % 2 != 0)
        return std::nullopt;
    const QByteArray der = QByteArray::fromHex(hex);
    const unsigned char* cursor = reinterpret_cast<const unsigned char*>(der.constData());
    ERR_set_mark();
    const Asn1TypePtr value(d2i_ASN1_TYPE(nullptr, &cursor, long(der.size())));
    ERR_pop_to_mark();
    if (!value || cursor != reinterpret_cast<const unsigned char*>(der.constData()) + der.size())
        return std::nullopt;
    if (!(ASN1_tag2bit(value->type) & (B_ASN1_DIRECTORYSTRING | B_ASN1_IA5STRING | B_ASN1_VISIBLESTRING)))
        return der;
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, value->value.asn1_string);
    const OpenSslStringPtr owner(reinterpret_cast<char*>(utf8));
    if (length < 0)
        return std::nullopt;
    return QByteArray(owner.get(), length);
}

// RFC 2253 (and RFC 4514's escapes): "type=value" joined by "+" within one relative name and by
// "," (or ";") between them, values escaped with "\" or quoted. Empty when it is not that. The
// attributes come in the order written; which were joined by "+" is not kept (see sameSigner).
std::optional<std::vector<Attribute>> parseName(const QByteArray& text)
{
    std::vector<Attribute> names;
    const int n = int(text.size());
    int i = 0;
    const auto skipSpaces = [&]
    {
        while (i < n && text[i] == ' ')
            ++i;
    };
    skipSpaces();
    if (i == n)
        return names;
    for (;;)
    {
        skipSpaces();
        const int typeStart = i;
        while (i < n && text[i] != '=')
        {
            if (isSeparator(text[i]) || text[i] == '"' || text[i] == '\\')
                return std::nullopt;
            ++i;
        }
        const QByteArray type = text.mid(typeStart, i - typeStart).trimmed();
        if (i == n || type.isEmpty())
            return std::nullopt;
        ++i; // "="
        skipSpaces();

        QByteArray value;
        if (i < n && text[i] == '#')
        {
            const int hexStart = ++i;
            while (i < n && isHexDigit(text[i]))
                ++i;
            const std::optional<QByteArray> decoded = encodedValue(text.mid(hexStart, i - hexStart));
            if (!decoded)
                return std::nullopt;
            value = *decoded;
            skipSpaces();
        }
        else
        {
            const bool quoted = i < n && text[i] == '"';
            if (quoted)
                ++i;
            int kept = 0; // the value's length without unescaped trailing spaces
            while (i < n && (quoted ? text[i] != '"' : !isSeparator(text[i])))
            {
                if (text[i] == '\\')
                {
                    if (++i == n)
                        return std::nullopt;
                    if (i + 1 < n && isHexDigit(text[i]) && isHexDigit(text[i + 1]))
                    {
                        value += QByteArray::fromHex(text.mid(i, 2));
                        i += 2;
                    }
                    else
                        value += text[i++];
                    kept = int(value.size());
                }
                else if (text[i] == '"' && !quoted)
                    return std::nullopt;
                else
                {
                    value += text[i];
                    if (text[i++] != ' ' || quoted)
                        kept = int(value.size());
                }
            }
            if (quoted)
            {
                if (i == n)
                    return std::nullopt;
                ++i; // closing quote
                skipSpaces();
            }
            value.truncate(kept);
        }
        names.push_back({canonicalType(type), value});
        if (i == n)
            return names;
        if (!isSeparator(text[i++]))
            return std::nullopt;
    }
}

// Decimal digits without leading zeros ("0" stays); empty when it is not decimal digits.
QString canonicalSerial(const QString& serial)
{
    const QString trimmed = serial.trimmed();
    if (trimmed.isEmpty() ||
        !std::all_of(trimmed.begin(), trimmed.end(),
                     [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
        return QString();
    qsizetype first = 0;
    while (first + 1 < trimmed.size() && trimmed[first] == QLatin1Char('0'))
        ++first;
    return trimmed.mid(first);
}

} // namespace

IssuerSerial signerNames(const X509* certificate)
{
    IssuerSerial names;
    BioPtr text(BIO_new(BIO_s_mem()));
    // XN_FLAG_RFC2253 as xmlsec1 writes X509IssuerName, less the escaping of UTF-8 bytes: an
    // XML document carries them as they are.
    if (text && X509_NAME_print_ex(text.get(), X509_get_issuer_name(certificate), 0,
                                   XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) >= 0)
    {
        char* data = nullptr;
        const long length = BIO_get_mem_data(text.get(), &data);
        names.issuerName = QString::fromUtf8(data, qsizetype(length));
    }
    BigNumPtr serial(ASN1_INTEGER_to_BN(X509_get0_serialNumber(certificate), nullptr));
    OpenSslStringPtr decimal(serial ? BN_bn2dec(serial.get()) : nullptr);
    if (decimal)
        names.serial = QString::fromLatin1(decimal.get());
    return names;
}

bool sameSigner(const IssuerSerial& written, const IssuerSerial& expected)
{
    const QString serial = canonicalSerial(written.serial);
    if (serial.isEmpty() || serial != canonicalSerial(expected.serial))
        return false;
    const std::optional<std::vector<Attribute>> a = parseName(written.issuerName.toUtf8());
    const std::optional<std::vector<Attribute>> b = parseName(expected.issuerName.toUtf8());
    // In any order, as xmlsec1 finds a certificate by the pair: it sorts both names' attributes
    // before comparing, and the field's tools differ in the order they write.
    return a && b && a->size() == b->size() && std::is_permutation(a->begin(), a->end(), b->begin());
}

bool namesCertificate(const IssuerSerial& written, const X509* certificate)
{
    return sameSigner(written, signerNames(certificate));
}
