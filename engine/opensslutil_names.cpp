// Issuer and subject name attributes: reading, replacing in place, printing.

#include "enginediagnostics.h"
#include "engineinit.h"
#include "opensslutil.h"
#include "osslptr.h"

#include <openssl/objects.h>

#include <cstring>

namespace
{

// Name attributes are read into a buffer of this size (at most 255 characters come back).
constexpr int kAttributeBufferSize = 256;

// XN_FLAG_RFC2253 without its string escaping and conversion flags: same layout, raw values.
constexpr unsigned long kUnescapedNameFlags =
    XN_FLAG_SEP_COMMA_PLUS | XN_FLAG_DN_REV | XN_FLAG_FN_SN | XN_FLAG_DUMP_UNKNOWN_FIELDS;
static_assert(kUnescapedNameFlags == 0x1110000, "name print flags");

enum class Side
{
    Issuer,
    Subject
};

X509_NAME* NameOf(X509* cert, Side side)
{
    return side == Side::Issuer ? X509_get_issuer_name(cert) : X509_get_subject_name(cert);
}

// notSetMessage may be null: some operations fail silently on a missing certificate.
int ExtractAttribute(X509* cert, Side side, int nid, std::string* out, const char* notSetMessage)
{
    ErrorQueueScope errors;
    if (cert == nullptr)
    {
        if (notSetMessage != nullptr)
            Diagnose("%s", notSetMessage);
        return 0;
    }
    X509_NAME* name = NameOf(cert, side);
    if (name == nullptr || out == nullptr)
        return 0;
    char buffer[kAttributeBufferSize] = {};
    const int length = X509_NAME_get_text_by_NID(name, nid, buffer, sizeof buffer);
    if (length >= 0)
        out->assign(buffer, static_cast<std::size_t>(length));
    return length;
}

int SetAttribute(X509* cert, Side side, int nid, const std::string& text, std::size_t length,
                 const char* notSetMessage)
{
    ErrorQueueScope errors;
    if (cert == nullptr)
    {
        if (notSetMessage != nullptr)
            Diagnose("%s", notSetMessage);
        return 0;
    }
    // Name texts must be encoded as PrintableString where possible, which needs the string mask.
    EnsureEngineInitialised();
    X509_NAME* name = NameOf(cert, side);
    if (name == nullptr)
        return 0;

    const int index = X509_NAME_get_index_by_NID(name, nid, -1);
    if (index >= 0)
        X509_NAME_ENTRY_free(X509_NAME_delete_entry(name, index));
    if (text.empty())
        return 1;
    // Encoded length fits: entries of more than 64 characters are refused anyway.
    const int encodedLength = length > 0x7fffffff ? 0x7fffffff : static_cast<int>(length);
    return X509_NAME_add_entry_by_NID(name, nid, MBSTRING_ASC,
                                      reinterpret_cast<const unsigned char*>(text.data()), encodedLength,
                                      index, 0);
}

int ExtractWholeName(X509* cert, Side side, std::string* out, bool escaped, const char* notSetMessage)
{
    ErrorQueueScope errors;
    if (cert == nullptr)
    {
        Diagnose("%s", notSetMessage);
        return 0;
    }
    X509_NAME* name = NameOf(cert, side);
    BioPtr memory(BIO_new(BIO_s_mem()));
    if (name == nullptr || !memory || out == nullptr)
        return 0;
    X509_NAME_print_ex(memory.get(), name, 0, escaped ? XN_FLAG_RFC2253 : kUnescapedNameFlags);
    char* data = nullptr;
    const long length = BIO_get_mem_data(memory.get(), &data);
    if (length <= 0)
        return 0;
    out->assign(data, static_cast<std::size_t>(length));
    return static_cast<int>(length);
}

} // namespace

int OpenSSLUtil::X509ExtractIssuerCommonName(X509* cert, std::string* out)
{
    return ExtractAttribute(cert, Side::Issuer, NID_commonName, out,
                            "OpenSSLUtil::X509ExtractIssuerCommonName(): Certificate not set!\n");
}

int OpenSSLUtil::X509ExtractIssuerOrganizationName(X509* cert, std::string* out)
{
    return ExtractAttribute(cert, Side::Issuer, NID_organizationName, out,
                            "OpenSSLUtil::X509ExtractIssuerOrganizationName(): Certificate not set!\n");
}

int OpenSSLUtil::X509ExtractIssuerOrganizationUnitName(X509* cert, std::string* out)
{
    return ExtractAttribute(cert, Side::Issuer, NID_organizationalUnitName, out,
                            "OpenSSLUtil::X509ExtractIssuerOrganizationUnitName(): Certificate not set!\n");
}

int OpenSSLUtil::X509ExtractSubjectCommonName(X509* cert, std::string* out)
{
    return ExtractAttribute(cert, Side::Subject, NID_commonName, out, nullptr);
}

int OpenSSLUtil::X509ExtractSubjectOrganizationName(X509* cert, std::string* out)
{
    return ExtractAttribute(cert, Side::Subject, NID_organizationName, out, nullptr);
}

int OpenSSLUtil::X509ExtractSubjectOrganizationUnitName(X509* cert, std::string* out)
{
    return ExtractAttribute(cert, Side::Subject, NID_organizationalUnitName, out, nullptr);
}

int OpenSSLUtil::X509SetIssuerCommonName(X509* cert, const std::string& text)
{
    return SetAttribute(cert, Side::Issuer, NID_commonName, text, text.size(),
                        "OpenSSLUtil::X509SetIssuerCommonName(): Certificate not set!\n");
}

int OpenSSLUtil::X509SetIssuerOrganizationName(X509* cert, const std::string& text)
{
    return SetAttribute(cert, Side::Issuer, NID_organizationName, text, text.size(),
                        "OpenSSLUtil::X509SetIssuerOrganizationName(): Certificate not set!\n");
}

int OpenSSLUtil::X509SetIssuerOrganizationUnitName(X509* cert, const std::string& text)
{
    return SetAttribute(cert, Side::Issuer, NID_organizationalUnitName, text, text.size(),
                        "OpenSSLUtil::X509SetIssuerOrganizationUnitName(): Certificate not set!\n");
}

int OpenSSLUtil::X509SetIssuerDnQualifier(X509* cert, const std::string& text)
{
    return SetAttribute(cert, Side::Issuer, NID_dnQualifier, text, text.size(),
                        "OpenSSLUtil::X509SetIssuerDnQualifier(): Certificate not set!\n");
}

int OpenSSLUtil::X509SetSubjectCommonName(X509* cert, const std::string& text)
{
    return SetAttribute(cert, Side::Subject, NID_commonName, text, text.size(), nullptr);
}

int OpenSSLUtil::X509SetSubjectOrganizationName(X509* cert, const std::string& text)
{
    return SetAttribute(cert, Side::Subject, NID_organizationName, text, text.size(), nullptr);
}

int OpenSSLUtil::X509SetSubjectOrganizationUnitName(X509* cert, const std::string& text)
{
    return SetAttribute(cert, Side::Subject, NID_organizationalUnitName, text, text.size(), nullptr);
}

int OpenSSLUtil::X509SetSubjectDnQualifier(X509* cert, const std::string& text)
{
    // The text comes from Base64Encode, whose last character is a line feed.
    const std::size_t length = text.empty() ? 0 : text.size() - 1;
    return SetAttribute(cert, Side::Subject, NID_dnQualifier, text, length,
                        "OpenSSLUtil::X509SetSubjectDnQualifier(): Certificate not set!\n");
}

int OpenSSLUtil::X509ExtractIssuerName(X509* cert, std::string* out, bool escaped)
{
    return ExtractWholeName(cert, Side::Issuer, out, escaped,
                            "OpenSSLUtil::X509ExtractIssuerName(): Certificate not set!\n");
}

int OpenSSLUtil::X509ExtractSubjectName(X509* cert, std::string* out, bool escaped)
{
    return ExtractWholeName(cert, Side::Subject, out, escaped,
                            "OpenSSLUtil::X509ExtractSubjectName(): Certificate not set!\n");
}
