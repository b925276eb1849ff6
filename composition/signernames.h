#pragma once

#include "signedcomposition.h"

#include <openssl/x509.h>

// How a signature's Signer or X509IssuerSerial would name this certificate: its issuer as an
// RFC 2253 string the way xmlsec1 writes it (most specific attribute first, "," between,
// specials escaped, UTF-8 left as it is) and its serial in decimal. `certificate` is borrowed.
IssuerSerial signerNames(const X509* certificate);

// Whether two X509IssuerSerial name the same certificate, as xmlsec1 decides when it looks a
// certificate up by them. Names are compared attribute by attribute after their RFC 2253 escapes
// and quotes are undone: the same attributes with byte-equal values, in any order (xmlsec1 sorts
// them; tools of the field write both orders), an attribute's type given by short or long name
// (in any case) or by number. Spaces around "," "+" and "=" do not count. Serials are compared
// as numbers, so leading zeros do not count. A name that is not RFC 2253 names nothing.
bool sameSigner(const IssuerSerial& written, const IssuerSerial& expected);

// sameSigner(written, signerNames(certificate)); `certificate` is borrowed.
bool namesCertificate(const IssuerSerial& written, const X509* certificate);
