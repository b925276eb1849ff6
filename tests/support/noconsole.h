#pragma once

// Standard input for tests of code that may prompt at the console: the engine asks for a
// password on standard input when it is given none, and a test must never wait for a keyboard.

// Stand-in for standard input for as long as it lives (a pty slave, /dev/null, ...). `fd` is
// borrowed: the caller keeps it open while the replacement lives.
class StdinReplacement
{
public:
    explicit StdinReplacement(int fd);
    ~StdinReplacement();
    StdinReplacement(const StdinReplacement&) = delete;
    StdinReplacement& operator=(const StdinReplacement&) = delete;

private:
    int mSaved = -1;
};

// Standard input from /dev/null while it lives: no console, so prompts give up at once.
class NoConsole
{
public:
    NoConsole();
    ~NoConsole();
    NoConsole(const NoConsole&) = delete;
    NoConsole& operator=(const NoConsole&) = delete;

    // Standard input from /dev/null for the rest of the process, for suites in which no test
    // may find a console. False when /dev/null cannot be opened.
    static bool forTheWholeRun();

private:
    int mNull = -1;
    StdinReplacement mReplacement;
};
