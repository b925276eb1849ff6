#pragma once

#include "chaincommand.h"
#include "secret.h"

#include <QString>

// Where one password comes from, tried in this order: the file named by an option (its first
// line), the environment variable, a prompt without echo when standard input is a terminal.
struct PasswordSource
{
    QString file;        // empty: the option was not given
    const char* environmentVariable = nullptr;
    QString fileOption;  // "--password-file", for messages
    QString purpose;     // "the new PKCS#12 file out.pfx", for messages and the prompt
    bool confirm = false; // a typed password is asked twice
};

// Fills `secret`; false with `error` set when there is no password to be had.
bool ObtainPassword(const PasswordSource& source, Secret& secret, CommandError& error);
