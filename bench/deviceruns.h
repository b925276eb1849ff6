#pragma once

#include "benchstats.h"

#include <string>

// A device maker's work: certificate requests signed in bulk, and leaves made many at a time.
// Each is done by talvane-chain in one process and by the openssl command line one certificate
// at a time, as shell scripts of the field do it.

// In `folder`: a root made by `tool` (root.pem, root.pfx and its key as root.key for openssl),
// `requests` requests of fresh RSA-2048 keys made on every core (requests/unit-N.csr), the
// extension file of the profile's leaf and a batch file of `leaves` leaves.
bool prepareDeviceRuns(const std::string& tool, const std::string& folder, int requests, int leaves);

// talvane-chain sign of every request in one run, into `out`.
bool signRequestsWithTool(const std::string& tool, const std::string& folder, const std::string& out);
// One openssl x509 -req -CA run per request, into `out`.
bool signRequestsWithCommandLine(const std::string& folder, const std::string& out, int requests);

// talvane-chain leaf --batch of the batch file, into `out`.
bool batchWithTool(const std::string& tool, const std::string& folder, const std::string& out);
// genrsa + req + x509 -req for each leaf, one after the other, into `out`.
bool batchWithCommandLine(const std::string& folder, const std::string& out, int leaves);
