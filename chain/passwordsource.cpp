// Passwords never come from the command line, where other users of the machine can read them.

#include "passwordsource.h"

#include "opensslutil.h"
#include "passwordbuffer.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace
{

// The line ends are not part of the password; nothing else is trimmed.
int lineLength(const char* data, int size)
{
    int length = 0;
    while (length < size && data[length] != '\n' && data[length] != '\r')
        ++length;
    return length;
}

bool readPasswordFile(const PasswordSource& source, Secret& secret, CommandError& error)
{
    QFile file(source.file);
    if (!file.open(QIODevice::ReadOnly))
    {
        error = {ExitUsage, QStringLiteral("The password file %1 cannot be read.").arg(source.file)};
        return false;
    }
    const Secret content(file.read(PasswordBuffer::kSize));
    secret.assign(content.data(), lineLength(content.data(), content.size()));
    if (secret.isEmpty())
    {
        error = {ExitUsage, QStringLiteral("The password file %1 holds no password on its first line.")
                                .arg(source.file)};
        return false;
    }
    return true;
}

// The engine's console prompt: no echo, one "*" per key.
bool prompt(const QString& label, Secret& secret)
{
    std::fprintf(stderr, "%s\n", label.toLocal8Bit().constData());
    std::fflush(stderr);
    PasswordBuffer buffer;
    const char* typed = buffer.resolve(nullptr);
    if (!typed)
        return false;
    secret.assign(typed, int(std::strlen(typed)));
    return true;
}

} // namespace

bool ObtainPassword(const PasswordSource& source, Secret& secret, CommandError& error)
{
    if (!source.file.isEmpty())
        return readPasswordFile(source, secret, error);

    const char* fromEnvironment = std::getenv(source.environmentVariable);
    if (fromEnvironment && *fromEnvironment)
    {
        secret.assign(fromEnvironment, int(std::strlen(fromEnvironment)));
        return true;
    }

    if (!isatty(fileno(stdin)))
    {
        error = {ExitUsage, QStringLiteral("No password for %1: give %2 or set %3.")
                                .arg(source.purpose, source.fileOption,
                                     QLatin1String(source.environmentVariable))};
        return false;
    }
    if (!prompt(QStringLiteral("Password for %1:").arg(source.purpose), secret) || secret.isEmpty())
    {
        error = {ExitUsage, QStringLiteral("No password was entered for %1.").arg(source.purpose)};
        return false;
    }
    if (source.confirm)
    {
        Secret again;
        if (!prompt(QStringLiteral("The same password again:"), again) || again.isEmpty() ||
            std::strcmp(again.data(), secret.data()) != 0)
        {
            error = {ExitUsage, QStringLiteral("The entered passwords do not match.")};
            return false;
        }
    }
    return true;
}
