// Passwords never come from the command line, where other users of the machine can read them.

#include "passwords.h"

#include "console.h"
#include "consolepassword.h"
#include "notes.h"
#include "refusals.h"

#include <QFile>

#include <openssl/crypto.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace
{

// The line ends are not part of the password; nothing else is trimmed.
qsizetype lineLength(const QByteArray& bytes)
{
    qsizetype length = 0;
    while (length < bytes.size() && bytes[length] != '\n' && bytes[length] != '\r')
        ++length;
    return length;
}

// The bytes of a password file's first line: at most one more byte than a password may have is
// read, so that a longer one is told from one that fits.
Refusal readPasswordFile(Console& console, const PasswordSource& source, Secret& secret)
{
    const qint64 most = kMostPasswordBytes + 1;
    QByteArray content;
    if (source.file == QLatin1String("-"))
        content = console.readInput(size_t(most));
    else
    {
        QFile file(source.file);
        if (!file.exists())
            return Refuse::passwordFileMissing(source.file);
        if (!file.open(QIODevice::ReadOnly))
            return Refuse::passwordFileUnreadable(source.file);
        content = file.read(most);
    }
    Secret whole(std::move(content));
    const QByteArray view = QByteArray::fromRawData(whole.data(), whole.size());
    const qsizetype length = lineLength(view);
    if (view.left(length).contains('\0'))
        return Refuse::passwordFileWithNul(source.file);
    if (length > kMostPasswordBytes)
        return Refuse::passwordTooLong(source.file, kMostPasswordBytes);
    secret.assign(whole.data(), int(length));
    if (secret.isEmpty())
        return Refuse::passwordFileEmpty(source.file);
    return std::nullopt;
}

// The typed line, or why there is none. The label goes to standard error, like the echo.
Refusal prompt(Console& console, const QString& label, const QString& purpose, Secret& secret)
{
    console.errLine(label);
    std::vector<char> buffer(size_t(kMostPasswordBytes) + 1, '\0');
    const ConsolePassword typed = ReadConsolePassword(buffer.data(), int(buffer.size()));
    Refusal refusal;
    switch (typed)
    {
    case ConsolePassword::Typed:
        secret.assign(buffer.data(), int(std::strlen(buffer.data())));
        break;
    case ConsolePassword::TooLong:
        refusal = Refuse::typedPasswordTooLong(kMostPasswordBytes);
        break;
    case ConsolePassword::Nothing:
    case ConsolePassword::NoConsole:
        refusal = Refuse::noPasswordEntered(purpose);
        break;
    }
    OPENSSL_cleanse(buffer.data(), buffer.size());
    return refusal;
}

} // namespace

Refusal ObtainPassword(Console& console, const PasswordSource& source, Secret& secret)
{
    if (!source.file.isEmpty())
        return readPasswordFile(console, source, secret);

    const char* fromEnvironment = std::getenv(source.environmentVariable);
    if (fromEnvironment && *fromEnvironment)
    {
        const size_t length = std::strlen(fromEnvironment);
        if (length > size_t(kMostPasswordBytes))
            return Refuse::environmentPasswordTooLong(QLatin1String(source.environmentVariable),
                                                      kMostPasswordBytes);
        secret.assign(fromEnvironment, int(length));
        return std::nullopt;
    }

    if (!console.inputIsTerminal())
        return Refuse::noPassword(source.purpose, OptionText(source.fileOption),
                                  QLatin1String(source.environmentVariable));
    if (auto refusal = prompt(console, Note::passwordPrompt(source.purpose), source.purpose, secret))
        return refusal;
    if (source.confirm)
    {
        Secret again;
        if (prompt(console, Note::passwordPromptAgain(), source.purpose, again) ||
            again.size() != secret.size() ||
            std::memcmp(again.data(), secret.data(), size_t(secret.size())) != 0)
            return Refuse::passwordsDiffer();
    }
    return std::nullopt;
}

SecretsHeld::SecretsHeld()
{
#ifdef __linux__
    mWasDumpable = prctl(PR_GET_DUMPABLE, 0, 0, 0, 0);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

SecretsHeld::~SecretsHeld()
{
#ifdef __linux__
    if (mWasDumpable > 0)
        prctl(PR_SET_DUMPABLE, mWasDumpable, 0, 0, 0);
#endif
}
