#pragma once

#include <QStringList>

// Option names of talvane-chain, shared by the commands.
namespace ChainOption
{
constexpr char Out[] = "out";
constexpr char Issuer[] = "issuer";
constexpr char RootName[] = "root-name";
constexpr char Organization[] = "organization";
constexpr char Entity[] = "entity";
constexpr char Serial[] = "serial";
constexpr char PathLength[] = "path-length";
constexpr char Start[] = "start";
constexpr char End[] = "end";
constexpr char Sha1[] = "sha1";
constexpr char Force[] = "force";
constexpr char PasswordFile[] = "password-file";
constexpr char IssuerPasswordFile[] = "issuer-password-file";
constexpr char At[] = "at";
constexpr char WarnDays[] = "warn-days";
constexpr char Json[] = "json";
constexpr char KeyPem[] = "key-pem";
constexpr char NoEncrypt[] = "no-encrypt";
constexpr char ChainPem[] = "chain-pem";
constexpr char LeafFirst[] = "leaf-first";
constexpr char Pkcs12[] = "pkcs12";
constexpr char OutDir[] = "out-dir";
constexpr char Intermediates[] = "intermediates";
constexpr char RootEntity[] = "root-entity";
constexpr char IntermediateEntity[] = "intermediate-entity";
constexpr char LeafEntity[] = "leaf-entity";
} // namespace ChainOption

// Parses the arguments (program name first), refuses what does not fit the command and runs
// it. Returns the exit status.
int RunCommandLine(const QStringList& arguments);
