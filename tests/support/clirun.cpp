#include "clirun.h"

#include "commandline.h"
#include "console.h"

CliRun RunCli(const QStringList& arguments, const QByteArray& input)
{
    CliRun result;
    Console console(&result.out, &result.err, input);
    result.status = RunCommandLine(QStringList{"talvane-chain"} + arguments, console);
    return result;
}

QByteArray Describe(const CliRun& result)
{
    return "status " + QByteArray::number(result.status) + "\nstdout:\n" + result.out + "stderr:\n" +
           result.err;
}
