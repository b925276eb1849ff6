#pragma once

// The three kinds of certificate, numbered as the window's type list orders them; the number
// travels as an int in CreateCertificatePressed(int) and in the controller's slot. Any int
// converts to this type (its underlying type is int): a value outside the three names no
// kind, and every helper below answers false for it.
enum class CertificateType : int
{
    Root = 0,         // self-signed
    Intermediate = 1, // an authority signed by a root or another intermediate
    Leaf = 2          // signs content, never certificates
};

// Roots and intermediates sign certificates: they carry CA:TRUE and a path length.
constexpr bool isAuthority(CertificateType type)
{
    return type == CertificateType::Root || type == CertificateType::Intermediate;
}

// Intermediates and leaves are signed by an issuing certificate read from a PKCS#12 file.
constexpr bool isDerived(CertificateType type)
{
    return type == CertificateType::Intermediate || type == CertificateType::Leaf;
}

// One of the three kinds (the window's type list has no other entry).
constexpr bool isKnownType(CertificateType type)
{
    return isAuthority(type) || type == CertificateType::Leaf;
}
