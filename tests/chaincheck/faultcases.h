#pragma once

#include "certificatebuilder.h"

#include <vector>

// Certificates of a root → intermediate → leaf chain that each break one rule, and the rule a
// judge must name for the broken one. Both judges are tried on these: the tests' checker
// ChainCheck (tst_chaincheck) and `talvane-chain verify` (tst_chainverify).
struct FaultCase
{
    const char* name; // of the data row
    Fault fault;
    int faulty; // the certificate that breaks the rule: a ChainPosition
    const char* rule;
};

// Indices into the chain CertificateBuilder::chain() makes.
namespace ChainPosition
{
constexpr int root = 0;
constexpr int intermediate = 1;
constexpr int leaf = 2;
} // namespace ChainPosition

// The cases both judges are tried on alike; each suite adds the ones it places elsewhere.
const std::vector<FaultCase>& sharedFaultCases();

// The columns of a fault table, for a test's _data function: fault (Fault), faulty (int) and
// rule (QString).
void addFaultColumns();
void addFaultRows(const std::vector<FaultCase>& cases);
