// The console password prompt, reached only when an operation is given no password.

#include "consolepassword.h"
#include "diagnosticsink.h"
#include "enginediagnostics.h"
#include "opensslutil.h"
#include "passwordbuffer.h"

#include <openssl/crypto.h>

#include <cstdio>

#ifdef _WIN32
#include <conio.h>
#include <io.h>
#else
#include <cerrno>
#include <csignal>
#include <optional>
#include <termios.h>
#include <unistd.h>
#endif

namespace
{

constexpr int kEndOfInput = -1;
constexpr int kBackspace = 8;
constexpr char kPrompt[] = "Enter password:\n";

#ifndef _WIN32

// A signal that ended the process while echo is off would leave the user's terminal without
// echo. During the prompt these signals give the terminal back first and then end the process as
// they would have. A handler reaches only static state, so this serves one prompt at a time.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kEndingSignalCount = sizeof kEndingSignals / sizeof kEndingSignals[0];
termios gTerminalToRestore;
struct sigaction gPreviousActions[kEndingSignalCount];
bool gHandled[kEndingSignalCount];

extern "C" void RestoreTerminalAndEnd(int signal)
{
    const int savedErrno = errno;
    tcsetattr(STDIN_FILENO, TCSANOW, &gTerminalToRestore);
    for (int i = 0; i < kEndingSignalCount; ++i)
        if (kEndingSignals[i] == signal)
            sigaction(signal, &gPreviousActions[i], nullptr);
    // Delivered again once this handler returns, now as it was before the prompt.
    raise(signal);
    errno = savedErrno;
}

// For as long as it lives, the ending signals restore `settings` before they take effect.
// A signal that was ignored stays ignored.
class TerminalGuard
{
public:
    explicit TerminalGuard(const termios& settings)
    {
        gTerminalToRestore = settings;
        struct sigaction action = {};
        action.sa_handler = RestoreTerminalAndEnd;
        sigfillset(&action.sa_mask);
        for (int i = 0; i < kEndingSignalCount; ++i)
        {
            gHandled[i] = sigaction(kEndingSignals[i], nullptr, &gPreviousActions[i]) == 0 &&
                          ((gPreviousActions[i].sa_flags & SA_SIGINFO) != 0 ||
                           gPreviousActions[i].sa_handler != SIG_IGN) &&
                          sigaction(kEndingSignals[i], &action, nullptr) == 0;
        }
    }
    ~TerminalGuard()
    {
        for (int i = 0; i < kEndingSignalCount; ++i)
            if (gHandled[i])
                sigaction(kEndingSignals[i], &gPreviousActions[i], nullptr);
    }
    TerminalGuard(const TerminalGuard&) = delete;
    TerminalGuard& operator=(const TerminalGuard&) = delete;
};

#endif

// Single keystrokes from the console without echo, for as long as the object lives. Without a
// console (a program started from a desktop, standard input redirected) there is nothing to read.
class ConsoleKeys
{
public:
#ifdef _WIN32
    // _getch reads each key without echo and changes no setting of the console that outlives the
    // call: an interrupt during the prompt has nothing to give back.
    ConsoleKeys() : mAvailable(_isatty(_fileno(stdin)) != 0) {}
    ~ConsoleKeys() = default;

    int next()
    {
        int key = _getch();
        // Function and arrow keys arrive as a prefix and a second code: drop both.
        while (key == 0 || key == 0xE0)
        {
            _getch();
            key = _getch();
        }
        return key;
    }
#else
    ConsoleKeys()
    {
        if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &mSaved) != 0)
            return;
        mGuard.emplace(mSaved);
        termios quiet = mSaved;
        // Keystrokes one by one, unechoed, Enter as carriage return as on other consoles.
        quiet.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        quiet.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR);
        quiet.c_cc[VMIN] = 1;
        quiet.c_cc[VTIME] = 0;
        mAvailable = tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
    }

    ~ConsoleKeys()
    {
        if (mAvailable)
            tcsetattr(STDIN_FILENO, TCSANOW, &mSaved);
    }

    int next()
    {
        unsigned char key = 0;
        for (;;)
        {
            const ssize_t got = ::read(STDIN_FILENO, &key, 1);
            if (got == 1)
                break;
            if (got < 0 && errno == EINTR)
                continue;
            return kEndOfInput;
        }
        // Terminals send their erase character (usually DEL) for the Backspace key.
        if (key == mSaved.c_cc[VERASE] && key != 0)
            return kBackspace;
        return key;
    }

private:
    termios mSaved{};
    std::optional<TerminalGuard> mGuard; // gone after the destructor has restored mSaved
#endif

public:
    ConsoleKeys(const ConsoleKeys&) = delete;
    ConsoleKeys& operator=(const ConsoleKeys&) = delete;

    bool available() const
    {
        return mAvailable;
    }

private:
    bool mAvailable = false;
};

// Where a prompt's words and echo go: the diagnostic sink for the engine's own prompt, standard
// error for a front end's.
void Print(const char* text, bool toStandardError)
{
    if (!toStandardError)
    {
        PrintDiagnostic(text);
        return;
    }
    std::fputs(text, stderr);
    std::fflush(stderr);
}

// The start of a character: every byte of ASCII, the first byte of a UTF-8 sequence.
bool StartsCharacter(unsigned char byte)
{
    return (byte & 0xC0) != 0x80;
}

struct Typed
{
    int taken = 0;
    bool overflow = false; // more was typed than the buffer holds
    bool available = true; // there was a console to read from
};

bool EndsLine(int key)
{
    return key == 13 || key == 10 || key == 12;
}

// Reads keys until Enter, the end of input or a full buffer. The engine's own prompt takes the
// printable ASCII characters only and ends at a full buffer; `wide` takes every byte from 32 up,
// so that a UTF-8 character arrives whole, and reads a line too long for the buffer to its end
// so that it can be refused rather than taken cut.
Typed ReadKeys(const char* prompt, char* buffer, int size, bool wide, bool toStandardError)
{
    // Echo goes off before the prompt shows: keys typed as soon as it appears must not be echoed.
    ConsoleKeys console;
    Print(prompt, toStandardError);
    Typed typed;
    typed.available = console.available();
    bool ended = !typed.available;
    while (!ended && typed.taken < size - 1)
    {
        const int key = console.next();
        if (key == kEndOfInput)
        {
            // Input that was never confirmed is not a password.
            OPENSSL_cleanse(buffer, static_cast<std::size_t>(typed.taken));
            typed.taken = 0;
            ended = true;
        }
        else if (EndsLine(key))
            ended = true;
        else if (key == kBackspace)
        {
            // A whole character goes, all of its bytes.
            bool removed = false;
            while (typed.taken > 0 && !removed)
            {
                removed = StartsCharacter(static_cast<unsigned char>(buffer[typed.taken - 1]));
                buffer[--typed.taken] = '\0';
            }
            if (removed)
                Print("\b \b", toStandardError);
        }
        else if (key >= 32 && (key <= 127 || (wide && key <= 255)))
        {
            buffer[typed.taken++] = static_cast<char>(key);
            if (StartsCharacter(static_cast<unsigned char>(key)))
                Print("*", toStandardError);
        }
        if (!ended && wide && typed.taken == size - 1)
        {
            // The buffer is full: the line fits only when it ends right here.
            int rest = console.next();
            typed.overflow = rest != kEndOfInput && !EndsLine(rest);
            while (rest != kEndOfInput && !EndsLine(rest))
                rest = console.next();
            if (rest == kEndOfInput)
            {
                // Input that was never confirmed is not a password.
                OPENSSL_cleanse(buffer, static_cast<std::size_t>(typed.taken));
                typed.taken = 0;
                typed.overflow = false;
            }
            ended = true;
        }
    }
    buffer[typed.taken] = '\0';
    Print("\n", toStandardError);
    return typed;
}

} // namespace

int OpenSSLUtil::getpwd(char* buffer, int size)
{
    if (buffer == nullptr)
    {
        Diagnose("OpenSSLUtil::getpwd(): Invalid input buffer!\n");
        return 0;
    }
    if (size <= 0)
        return 0;
    return ReadKeys(kPrompt, buffer, size, false, false).taken;
}

ConsolePassword ReadConsolePassword(char* buffer, int size)
{
    if (buffer == nullptr || size <= 1)
        return ConsolePassword::NoConsole;
    const Typed typed = ReadKeys(kPrompt, buffer, size, true, true);
    if (!typed.available)
        return ConsolePassword::NoConsole;
    if (typed.overflow)
    {
        OPENSSL_cleanse(buffer, static_cast<std::size_t>(size));
        return ConsolePassword::TooLong;
    }
    return typed.taken > 0 ? ConsolePassword::Typed : ConsolePassword::Nothing;
}

const char* PasswordBuffer::resolve(const char* given)
{
    if (given != nullptr)
        return given;
    return OpenSSLUtil::getpwd(mData, kSize) > 0 ? mData : nullptr;
}
