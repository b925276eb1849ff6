#include "console.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

Console::Console() = default;

Console::Console(QByteArray* out, QByteArray* err, const QByteArray& input)
    : mOutBuffer(out), mErrBuffer(err), mInput(input)
{
}

void Console::write(std::FILE* stream, QByteArray* buffer, const QByteArray& bytes, bool* failed)
{
    if (buffer != nullptr)
    {
        buffer->append(bytes);
        return;
    }
    // A failed write may only show when the stream is flushed.
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) != size_t(bytes.size()) ||
        std::fflush(stream) != 0)
        *failed = true;
}

void Console::out(const QString& text)
{
    write(stdout, mOutBuffer, text.toUtf8(), &mOutFailed);
}

void Console::err(const QString& text)
{
    write(stderr, mErrBuffer, text.toUtf8(), &mErrFailed);
}

QByteArray Console::readInput(std::size_t most)
{
    if (!isProcessConsole())
    {
        const QByteArray part = mInput.mid(qsizetype(mInputRead), qsizetype(most));
        mInputRead += size_t(part.size());
        return part;
    }
    QByteArray bytes(qsizetype(most), '\0');
    const size_t got = std::fread(bytes.data(), 1, most, stdin);
    bytes.truncate(qsizetype(got));
    return bytes;
}

bool Console::inputIsTerminal() const
{
    return isProcessConsole() && isatty(fileno(stdin));
}

void Console::diagnosticWriter(void* context, const char* text, std::size_t size)
{
    static_cast<Console*>(context)->err(QString::fromLocal8Bit(text, qsizetype(size)));
}
