#include "faultcases.h"

#include <QTest>

using namespace ChainPosition;

const std::vector<FaultCase>& sharedFaultCases()
{
    static const std::vector<FaultCase> cases = {
        {"version 1", Fault::Version1, intermediate, "version"},
        {"wrong dnQualifier", Fault::WrongDnQualifier, leaf, "dnQualifier"},
        {"UTF8String name", Fault::Utf8Name, intermediate, "name string type"},
        {"'@' in a PrintableString", Fault::NonPrintableCharacter, leaf, "name string type"},
        {"two OU entries", Fault::TwoOrganizationalUnits, root, "subject attributes"},
        {"role in an authority's CN", Fault::RoleInAuthorityName, intermediate, "common name role"},
        {"leaf with a path length", Fault::LeafPathLength, leaf, "basicConstraints"},
        {"leaf with CA:TRUE", Fault::LeafCa, leaf, "basicConstraints"},
        {"path length equal to the parent's", Fault::PathLengthNotBelowParent, intermediate,
         "basicConstraints"},
        {"authority with digitalSignature too", Fault::ExtraKeyUsage, intermediate, "keyUsage"},
        {"leaf with nonRepudiation too", Fault::ExtraKeyUsage, leaf, "keyUsage"},
        {"missing SKI", Fault::MissingSubjectKeyId, intermediate, "subjectKeyIdentifier"},
        {"root without AKI", Fault::MissingAuthorityKeyId, root, "authorityKeyIdentifier"},
        {"AKI keyid mismatch", Fault::AuthorityKeyIdMismatch, leaf, "authorityKeyIdentifier"},
        {"AKI issuer is the parent's subject", Fault::AuthorityIssuerIsParentSubject, leaf,
         "authorityKeyIdentifier"},
        {"mixed signature algorithms", Fault::Sha1Signature, leaf, "signature algorithm"},
        {"signed and outer algorithms differ", Fault::OuterAlgorithmDiffers, intermediate,
         "signature algorithm"},
        {"1024-bit key", Fault::SmallKey, leaf, "public key"},
        {"exponent 3", Fault::Exponent3, intermediate, "public key"},
        {"end one second after the parent's", Fault::ValidityOutsideParent, leaf, "validity"},
        {"GeneralizedTime in 2024", Fault::GeneralizedTimeBefore2050, intermediate, "validity"},
        {"issuer name not the parent's subject", Fault::IssuerNotParentSubject, leaf, "issuer name"},
        {"root issuer name not its subject", Fault::IssuerNotParentSubject, root, "issuer name"},
        {"bad signature", Fault::BadSignature, intermediate, "signature"},
        {"bad self-signature", Fault::BadSignature, root, "signature"},
        {"serial 0", Fault::SerialZero, leaf, "serial number"},
        {"serial of 65 bits", Fault::SerialOver64Bits, leaf, "serial number"},
    };
    return cases;
}

void addFaultColumns()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("faulty");
    QTest::addColumn<QString>("rule");
}

void addFaultRows(const std::vector<FaultCase>& cases)
{
    for (const FaultCase& fault : cases)
        QTest::newRow(fault.name) << fault.fault << fault.faulty << QString::fromUtf8(fault.rule);
}
