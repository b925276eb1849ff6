#pragma once

#include "command.h"
#include "secret.h"

#include <QString>

class Console;

// The longest password taken, in bytes. One rule turns every source into a password's bytes: the
// first line of a file (without its line end), the environment variable or the typed line, byte
// for byte, never converted, so that a file makes the same password for writing a container as
// for reading it. Longer is refused, never cut.
constexpr int kMostPasswordBytes = 1024;

// Where one password comes from, tried in this order: the file named by an option (its first
// line; "-" is standard input), the environment variable, a prompt without echo when standard
// input is a terminal.
struct PasswordSource
{
    QString file; // empty: the option was not given
    const char* environmentVariable = nullptr;
    Option fileOption = Option::PasswordFile; // for sentences
    QString purpose;                          // "the new PKCS#12 file out.pfx", for sentences and the prompt
    bool confirm = false;                     // a typed password is asked twice
};

// Fills `secret`, or says why there is no password to be had.
Refusal ObtainPassword(Console& console, const PasswordSource& source, Secret& secret);

// While it lives the process cannot be dumped (no core file, no debugger of the same user), so
// that the passwords and keys it holds never land on disk. Undone when it goes.
class SecretsHeld
{
public:
    SecretsHeld();
    ~SecretsHeld();
    SecretsHeld(const SecretsHeld&) = delete;
    SecretsHeld& operator=(const SecretsHeld&) = delete;

private:
    int mWasDumpable = -1;
};
