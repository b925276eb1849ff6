#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdio>

// Where a command's output goes: standard output carries what a script takes (file names, reports,
// JSON), standard error the sentences for a person. The process uses its standard streams; tests
// give buffers and run the commands in process.
class Console
{
public:
    // The process's standard streams.
    Console();
    // Buffers (borrowed) in place of standard output and error, and what standard input holds.
    Console(QByteArray* out, QByteArray* err, const QByteArray& input = QByteArray());
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    void out(const QString& text);
    void err(const QString& text);
    // The text and a line feed.
    void outLine(const QString& text) { out(text + QLatin1Char('\n')); }
    void errLine(const QString& text) { err(text + QLatin1Char('\n')); }

    // A write to standard output failed (a full device, a closed pipe): the command did not give
    // its result, whatever else it did.
    bool outFailed() const { return mOutFailed; }

    // Up to `most` bytes of standard input; fewer at its end.
    QByteArray readInput(std::size_t most);
    // Whether standard input is a terminal, where a password can be typed.
    bool inputIsTerminal() const;
    // Whether this console is the process's own: only then can a prompt use the terminal.
    bool isProcessConsole() const { return mOutBuffer == nullptr; }

    // A writer of the diagnostic sink (context: a Console) that writes to standard error.
    static void diagnosticWriter(void* context, const char* text, std::size_t size);

private:
    void write(std::FILE* stream, QByteArray* buffer, const QByteArray& bytes, bool* failed);

    QByteArray* mOutBuffer = nullptr;
    QByteArray* mErrBuffer = nullptr;
    QByteArray mInput;
    std::size_t mInputRead = 0;
    bool mOutFailed = false;
    bool mErrFailed = false;
};
