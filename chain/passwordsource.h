#pragma once

#include "chaincommand.h"

#include <QByteArray>
#include <QString>

// A password held only as long as needed; its bytes are wiped when it goes.
class Secret
{
public:
    Secret() = default;
    ~Secret();
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;

    void assign(const char* data, int size);
    const char* data() const { return mBytes.constData(); }
    bool isEmpty() const { return mBytes.isEmpty(); }

private:
    QByteArray mBytes;
};

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
