#pragma once

#include <QString>
#include <QStringList>

// Every option of talvane-chain, identified by value. A command names the ones it takes; its
// parser knows those only.
enum class Option
{
    Out,
    OutDir,
    Issuer,
    RootName,
    Organization,
    Entity,
    RootEntity,
    IntermediateEntity,
    LeafEntity,
    Intermediates,
    Serial,
    PathLength,
    Start,
    End,
    Days,
    Sha1,
    Force,
    PasswordFile,
    IssuerPasswordFile,
    InputPasswordFile,
    At,
    WarnDays,
    Json,
    KeyPem,
    NoEncrypt,
    ChainPem,
    LeafFirst,
    Pkcs12,
    Verbose,
    Manual,
    All,
    Profile,
    Signer,
    Root,
    RootThumbprint,
    Strict,
    Chain,
    NewKey,
    InPasswordFile,
    Within,
    Roles,
    Batch,
    Token,
    Module,
    PinFile,
    IssuerCert,
};

struct OptionSpec
{
    Option option;
    const char* name;        // "out", written --out
    const char* alias;       // a second spelling that means the same, or null
    const char* valueName;   // "NAME"; null for a switch
    const char* description; // what it does wherever a command does not say otherwise
};

// The entry of `option`; every Option has one.
const OptionSpec& SpecOf(Option option);

// "--out"
QString OptionText(Option option);

// Every name (and alias) of every option, for telling a misplaced option from an unknown one.
QStringList AllOptionNames();
