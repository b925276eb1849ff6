#include "filelistoutput.h"

#include <QFile>

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#define fileno _fileno
#else
#include <unistd.h>
#endif

FileListOutput::FileListOutput()
{
    // What is buffered belongs to the original standard output.
    std::fflush(stdout);
    mSaved = dup(fileno(stdout));
    if (mSaved >= 0 && dup2(fileno(stderr), fileno(stdout)) < 0)
    {
        close(mSaved);
        mSaved = -1;
    }
    // Line by line, so that diagnostics keep their place among the lines written to standard
    // error directly.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
}

FileListOutput::~FileListOutput()
{
    if (mSaved < 0)
        return;
    std::fflush(stdout);
    dup2(mSaved, fileno(stdout));
    close(mSaved);
}

void FileListOutput::list(const QStringList& paths)
{
    // Diagnostics printed so far come first on standard error, as they happened.
    std::fflush(stdout);
    QFile out;
    const bool opened = mSaved >= 0 ? out.open(mSaved, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)
                                    : out.open(stdout, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
    if (!opened)
        return;
    for (const QString& path : paths)
        out.write(path.toLocal8Bit() + '\n');
    out.flush();
}
