#pragma once

// A token as a command reaches it: the URI an option gives, the module chosen, the user logged in
// with a PIN that never comes from the command line.

#include "command.h"
#include "pkcs11uri.h"
#include "tokensession.h"

#include <QString>

#include <memory>

class Console;

struct TokenAccess
{
    QString uriText; // as given, for sentences
    Pkcs11Uri uri;
    QString module;
    std::shared_ptr<TokenSession> session; // set once opened and logged in
    // The key found in it, for storing a certificate beside it.
    QString keyLabel;
    QByteArray keyId;
};

// Reads the URI `text` that `option` gave, then opens the token it names through the module of
// --module, the URI's module-path, TALVANE_PKCS11_MODULE or p11-kit's proxy, and logs in once with
// the PIN of --pin-file, else TALVANE_PIN, else a prompt. Needs the token's label and the
// object's label or id in the URI.
Refusal OpenToken(const Invocation& invocation, const QString& text, Option option, TokenAccess& access);

// OpenToken for a key to be made: the URI names its label, and no object of the token has it yet.
// Called before anything else is spent, so that a label already taken changes nothing, not even
// the serial-number trace.
Refusal OpenTokenForNewKey(const Invocation& invocation, const QString& text, Option option,
                           TokenAccess& access);

// The sentence of a token's finding.
CommandError TokenRefusal(TokenFinding finding, const TokenAccess& access);

// Mixes 32 bytes of the board-seeded generator into the token's own, so that a key made inside
// the token draws on the board as every other key does; says so when the token takes no seed.
void SeedToken(Console& console, const TokenAccess& access);
