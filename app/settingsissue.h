#pragma once

#include "certificatesettings.h"

#include <QString>

class ZIDCertificate;

// The certificate types in the order of the form's type list.
enum CertificateType
{
    RootCertificate = 0,
    IntermediateCertificate = 1,
    LeafCertificate = 2
};

// The entity text as a certificate's CN: a leading "." when it has none, and for a leaf the
// role "CS" in front of that. The window's form stores the entity name this way.
QString EntityNameWithRoles(const QString& entity, bool leaf);

// Gives `certificate` (borrowed) every parameter of `settings` for the given form type and
// issues it: a fresh key pair, the issuer read from settings.issuerFileName (a self-signed
// certificate when that is empty), signed. False when issuing failed. The board is not
// seeded here; callers seed it right before.
bool IssueFromSettings(ZIDCertificate& certificate, const CertificateSettings& settings, int certComboIndex);
