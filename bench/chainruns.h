#pragma once

#include <openssl/evp.h>

#include <array>
#include <string>

// The chain the benchmark makes, the same way each time: root (path length 3), intermediate
// (2) from the root's PKCS#12 file, leaf from the intermediate's, each written as PEM and
// PKCS#12 into `folder`.

// With the engine, as the program does it: the board seeds the generator before each
// certificate. `keys` holds root, intermediate and leaf keys made beforehand (borrowed; each
// certificate takes its own reference), or nulls to have the engine make new ones.
bool issueChainWithEngine(const std::string& folder, const std::array<EVP_PKEY*, 3>& keys);

// With the openssl command line, as shell-script chain generators do it: genpkey, the
// dnQualifier through a pipe, req/x509 with an extension file, pkcs12 -export -legacy.
// With `reuseKeys`, keys already in `folder` (from an earlier run there) are used again.
bool issueChainWithCommandLine(const std::string& folder, bool reuseKeys = false);

// With the command-line companion `tool` (talvane-chain), one process per certificate.
bool issueChainWithTool(const std::string& tool, const std::string& folder);
// talvane-chain verify of the leaf's container that issueChainWithTool wrote.
bool verifyWithTool(const std::string& tool, const std::string& folder);

// One RSA-2048 key from the engine's generator (caller owns the result; null on failure).
EVP_PKEY* makeEngineKey();
