#pragma once

#include <openssl/x509.h>

// A certificate as it reads back from a classic container this engine wrote: with the bag
// attributes every such bag carries (friendlyName "friendlyname", the certificate's SHA-1 as
// localKeyID) where it has none. One issued in memory goes into the next container with the same
// attributes as one read from its file, so that both ways give the same container. `certificate`
// is borrowed; the caller owns the result (a new reference or a copy); null on failure.
X509* CopyAsReadFromContainer(X509* certificate);
