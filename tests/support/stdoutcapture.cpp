#include "stdoutcapture.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#define lseek _lseeki64
#define read _read
#else
#include <unistd.h>
#endif

StdoutCapture::StdoutCapture()
{
    std::fflush(stdout);
    std::FILE* file = std::tmpfile();
    if (file == nullptr)
        std::abort();
    mFileFd = dup(fileno(file));
    std::fclose(file);
    mSavedFd = dup(1);
    dup2(mFileFd, 1);
}

StdoutCapture::~StdoutCapture()
{
    restore();
}

QByteArray StdoutCapture::take()
{
    std::fflush(stdout);
    QByteArray all;
    char buffer[4096];
    lseek(mFileFd, 0, SEEK_SET);
    for (;;)
    {
        const auto got = read(mFileFd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        all.append(buffer, static_cast<int>(got));
    }
    lseek(mFileFd, 0, SEEK_END);
    const QByteArray fresh = all.mid(static_cast<int>(mConsumed));
    mConsumed = all.size();
    return fresh;
}

void StdoutCapture::restore()
{
    if (mSavedFd < 0)
        return;
    // Whatever the test did not take (a failure message of the test framework, say) still
    // belongs on the real standard output.
    const QByteArray untaken = take();
    dup2(mSavedFd, 1);
    std::fwrite(untaken.constData(), 1, static_cast<size_t>(untaken.size()), stdout);
    std::fflush(stdout);
    close(mSavedFd);
    close(mFileFd);
    mSavedFd = -1;
}
