#pragma once

#include <QByteArray>
#include <QStringList>

#include <chrono>
#include <memory>

#include <sys/types.h>
#include <termios.h>

class StdinReplacement;

// A pseudo-terminal standing in for a user's console. What is typed goes in at the master side;
// either this process reads it as its standard input, or a program started on the terminal
// runs with it as its controlling terminal, as it would in a shell.
class PseudoTerminal
{
public:
    enum class Use
    {
        // Standard input of this process while the object lives; the terminal is raw, so that
        // keystrokes reach the reader unchanged whatever the code under test does to it.
        StandardInput,
        // For start(): the settings a new terminal has (echo, lines, signal keys).
        Program
    };

    explicit PseudoTerminal(Use use);
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ready() const;
    void type(const QByteArray& keys);
    // The user walks away: the terminal is hung up.
    void hangUp();
    // Keystrokes that are still waiting to be read.
    QByteArray unread();
    // Waits until exactly `count` keystrokes wait to be read (gives up after half a minute).
    bool waitUntilWaiting(int count) const;
    // The terminal's settings are those it had once opened.
    bool settingsRestored() const;
    termios settings() const;

    // Starts `program` on the terminal (its session, controlling terminal and standard
    // streams) in `workingDirectory` with `environment` ("NAME=value"), without core dumps.
    // The terminal is the program's alone from then on. The process id, or -1.
    pid_t start(const QString& program, const QStringList& arguments, const QString& workingDirectory,
                const QStringList& environment);
    // Reads what the program writes until `text` has appeared `times` times; false when the
    // program closes the terminal first or half a minute passes.
    bool waitForOutput(const QByteArray& text, int times = 1);
    // Reads what the program writes until it ends (killed after two minutes); its wait status.
    int waitForEnd();
    // Everything the program wrote so far.
    QByteArray output() const { return mOutput; }

private:
    bool readOutput(std::chrono::steady_clock::time_point deadline);

    int mMaster = -1;
    int mSlave = -1;
    termios mBefore{};
    std::unique_ptr<StdinReplacement> mStdin;
    pid_t mProgram = -1;
    QByteArray mOutput;
};
