#include "pseudoterminal.h"

#include "noconsole.h"

#include <QFile>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

namespace
{

constexpr auto kPatience = std::chrono::seconds(30);

std::vector<char*> pointersTo(std::vector<QByteArray>& texts)
{
    std::vector<char*> pointers;
    for (QByteArray& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

PseudoTerminal::PseudoTerminal(Use use)
{
    if (::openpty(&mMaster, &mSlave, nullptr, nullptr, nullptr) != 0)
        return;
    if (use == Use::StandardInput)
    {
        termios raw;
        ::tcgetattr(mSlave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(mSlave, TCSANOW, &raw);
        mStdin = std::make_unique<StdinReplacement>(mSlave);
    }
    ::tcgetattr(mSlave, &mBefore);
}

PseudoTerminal::~PseudoTerminal()
{
    mStdin.reset();
    if (mMaster >= 0)
        ::close(mMaster);
    if (mSlave >= 0)
        ::close(mSlave);
    // A program a failed test left waiting is not left behind.
    if (mProgram > 0)
    {
        ::kill(mProgram, SIGKILL);
        ::waitpid(mProgram, nullptr, 0);
    }
}

bool PseudoTerminal::ready() const
{
    return mMaster >= 0;
}

void PseudoTerminal::type(const QByteArray& keys)
{
    QVERIFY(::write(mMaster, keys.constData(), size_t(keys.size())) == keys.size());
}

void PseudoTerminal::hangUp()
{
    ::close(mMaster);
    mMaster = -1;
}

QByteArray PseudoTerminal::unread()
{
    QByteArray waiting;
    const int flags = ::fcntl(mSlave, F_GETFL);
    ::fcntl(mSlave, F_SETFL, flags | O_NONBLOCK);
    char buffer[64];
    ssize_t got;
    while ((got = ::read(mSlave, buffer, sizeof buffer)) > 0)
        waiting.append(buffer, int(got));
    ::fcntl(mSlave, F_SETFL, flags);
    return waiting;
}

bool PseudoTerminal::waitUntilWaiting(int count) const
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    int waiting = -1;
    while (::ioctl(mSlave, FIONREAD, &waiting) == 0 && waiting != count &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    return waiting == count;
}

bool PseudoTerminal::settingsRestored() const
{
    const termios now = settings();
    return now.c_lflag == mBefore.c_lflag && now.c_iflag == mBefore.c_iflag &&
           now.c_cc[VMIN] == mBefore.c_cc[VMIN] && now.c_cc[VTIME] == mBefore.c_cc[VTIME];
}

termios PseudoTerminal::settings() const
{
    // The master side reports the settings of its terminal, also once the program has closed it.
    termios now{};
    ::tcgetattr(mSlave >= 0 ? mSlave : mMaster, &now);
    return now;
}

pid_t PseudoTerminal::start(const QString& program, const QStringList& arguments,
                            const QString& workingDirectory, const QStringList& environment)
{
    // Everything the child needs is made before the fork: after it, only system calls.
    std::vector<QByteArray> argumentTexts{QFile::encodeName(program)};
    for (const QString& argument : arguments)
        argumentTexts.push_back(argument.toLocal8Bit());
    std::vector<QByteArray> environmentTexts;
    for (const QString& entry : environment)
        environmentTexts.push_back(entry.toLocal8Bit());
    const std::vector<char*> argv = pointersTo(argumentTexts);
    const std::vector<char*> envp = pointersTo(environmentTexts);
    const QByteArray folder = QFile::encodeName(workingDirectory);

    const pid_t child = ::fork();
    if (child == 0)
    {
        ::close(mMaster);
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        if (::login_tty(mSlave) == 0 && ::chdir(folder.constData()) == 0)
            ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    // Only the program holds the terminal now, so that its end shows at the master side.
    ::close(mSlave);
    mSlave = -1;
    mProgram = child;
    return child;
}

// Appends what the program writes next; false once it has closed the terminal or `deadline` has
// passed.
bool PseudoTerminal::readOutput(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd master{mMaster, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&master, 1, int(left.count())) <= 0)
        return false;
    char buffer[256];
    const ssize_t got = ::read(mMaster, buffer, sizeof buffer);
    if (got <= 0)
        return false;
    mOutput.append(buffer, int(got));
    return true;
}

bool PseudoTerminal::waitForOutput(const QByteArray& text, int times)
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (mOutput.count(text) < times)
        if (!readOutput(deadline))
            return false;
    return true;
}

int PseudoTerminal::waitForEnd()
{
    const auto deadline = std::chrono::steady_clock::now() + 4 * kPatience;
    while (readOutput(deadline))
    {
    }
    if (std::chrono::steady_clock::now() >= deadline)
        ::kill(mProgram, SIGKILL);
    int status = 0;
    while (::waitpid(mProgram, &status, 0) < 0 && errno == EINTR)
    {
    }
    mProgram = -1;
    return status;
}
