// From a settings record to a signed certificate: the one place that maps the record's fields
// onto the certificate profile, for the window and the command line alike.

#include "settingsissue.h"

#include "certificaterules.h"
#include "certificatetype.h"
#include "pkcs12attributes.h"
#include "secret.h"
#include "zidcertificate.h"

#include <string>
#include <vector>

namespace
{

constexpr unsigned kKeyUsageAuthority = ZIDCertificate::KeyCertSign;
constexpr unsigned kKeyUsageLeaf = ZIDCertificate::DigitalSignature | ZIDCertificate::KeyEncipherment;

// An empty text is handed to the engine as "not given", which leaves the certificate's own
// value as it is.
const char* givenOrNull(const std::string& text)
{
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

namespace
{

// Every parameter of the record except the issuer.
void applySettings(ZIDCertificate& certificate, const CertificateSettings& settings, int certComboIndex)
{
    // A refused combination keeps the constraints the certificate was made with; the
    // certificate is still issued.
    certificate.SetBasicConstraints(settings.ca, settings.pathLength);

    using CertificateRules::engineText;
    const std::string rootName = engineText(settings.rootName).toStdString();
    const std::string organizationName = engineText(settings.organizationName).toStdString();
    const std::string entityName = engineText(settings.entityName).toStdString();
    switch (CertificateType(certComboIndex))
    {
    case CertificateType::Root: // the form's root name is the O, its organisation name the OU
        certificate.SetSubjectNames(givenOrNull(rootName), givenOrNull(organizationName),
                                    givenOrNull(entityName), nullptr);
        break;
    case CertificateType::Intermediate: // intermediate and leaf take their O from the issuer
    case CertificateType::Leaf:
        certificate.SetSubjectNames(nullptr, givenOrNull(organizationName), givenOrNull(entityName), nullptr);
        break;
    default:
        break;
    }

    // The window refuses a serial past its 32-bit range before it issues, so such a serial comes
    // from the command line's 63-bit draw or its --serial N: written whole, never wrapped into a
    // negative number. Below it both ways write the same bytes.
    if (settings.serialNumber > CertificateRules::kLargestSerial)
        certificate.SetWideSerialNumber(settings.serialNumber);
    else
        certificate.SetSerialNumber(settings.serialNumber);
    certificate.SetSigningAlgorithm(settings.signingAlgorithm);
    // The record always holds the start it wants: 1970-01-01T00:00:00Z is that time, not "now".
    certificate.SetValidityStartExact(settings.validityStart.toSecsSinceEpoch());
    certificate.SetValidityEnd(settings.validityEnd.toSecsSinceEpoch());
    certificate.SetKeyUsage(settings.ca ? kKeyUsageAuthority : kKeyUsageLeaf, true);
}

} // namespace

bool IssueFromSettings(ZIDCertificate& certificate, const CertificateSettings& settings, int certComboIndex,
                       const Secret& issuerPassword, EVP_PKEY* key)
{
    applySettings(certificate, settings, certComboIndex);
    const std::string issuerFileName = settings.issuerFileName.toStdString();
    const char* password = issuerPassword.isEmpty() ? nullptr : issuerPassword.data();
    return certificate.IssueCertificate(password, givenOrNull(issuerFileName), key) != 0;
}

bool IssueFromSettings(ZIDCertificate& certificate, const CertificateSettings& settings, int certComboIndex,
                       const IssuerObjects& issuer, EVP_PKEY* key)
{
    applySettings(certificate, settings, certComboIndex);
    return certificate.IssueCertificateFrom(issuer.certificate.get(), issuer.key.get(), issuer.chain.get(),
                                            key) != 0;
}

IssuerObjects IssuerObjectsOf(const ZIDCertificate& issued)
{
    // Every certificate as its container would give it back, so that the containers below it are
    // the same as when the issuer is read from its file.
    IssuerObjects issuer;
    if (issued.mpX509 == nullptr || issued.mpKey == nullptr)
        return issuer;
    issuer.certificate.reset(CopyAsReadFromContainer(issued.mpX509));
    if (EVP_PKEY_up_ref(issued.mpKey) == 1)
        issuer.key.reset(issued.mpKey);
    issuer.chain.reset(sk_X509_new_null());
    if (!issuer.valid())
        return IssuerObjects();
    // The chain its own container holds: the chain above its issuer, then the issuer (none for a
    // self-signed certificate).
    std::vector<X509*> above;
    for (int i = 0; i < sk_X509_num(issued.mpChain); ++i)
        above.push_back(sk_X509_value(issued.mpChain, i));
    if (issued.mpIssuerX509 != nullptr && issued.mpIssuerX509 != issued.mpX509)
        above.push_back(issued.mpIssuerX509);
    for (X509* certificate : above)
    {
        X509Ptr copy(CopyAsReadFromContainer(certificate));
        if (!copy || sk_X509_push(issuer.chain.get(), copy.get()) <= 0)
            return IssuerObjects();
        copy.release(); // the stack owns it now
    }
    return issuer;
}
