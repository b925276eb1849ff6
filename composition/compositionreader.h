#pragma once

#include "signedcomposition.h"

#include <QByteArray>
#include <QString>

// Reads a signed composition playlist or packing list, SMPTE or Interop, and checks its XML
// signature with libxmlsec1 using only the public key of the signing certificate: xmlsec never
// builds or trusts a chain here, and never reads KeyInfo itself.
//
// The signing certificate is the leaf of KeyInfo's certificates: the one whose subject is no
// other certificate's issuer. Where several are (certificates of separate chains), the one the
// Signer names is taken; where none of them is named, the reading stops at NoSigningCertificate.
// The Signer is not held to the leaf here: comparing them is the caller's finding to make, with
// signerNames() (signernames.h).
//
// Input limits: a file larger than kMaxFileBytes is refused before it is read; the parser loads
// nothing from outside the file (no network, no external subset, no entity substitution, no
// XInclude) and a document type declaration is refused outright, since these documents never
// carry one. References must be the single enveloped one over the whole document, so xmlsec
// resolves no URI either.
//
// Thread-safe: libxmlsec1 is set up once per process (see signaturecheck.h).
class CompositionReader
{
public:
    // 64 MiB: a playlist of several hundred reels with its markers stays under 2 MiB, and the
    // signature part is a few KiB; the bound keeps a hostile file from costing memory.
    static constexpr qint64 kMaxFileBytes = qint64(64) * 1024 * 1024;

    static SignedComposition read(const QString& path);
    // The same for a document already in memory (of at most kMaxFileBytes).
    static SignedComposition parse(const QByteArray& content);
};
