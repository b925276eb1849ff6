#pragma once

#include <QStringList>

class Console;

// Runs talvane-chain: `arguments` are the whole command line, the program's name first; what the
// command prints goes to `console`. Returns the exit status.
int RunCommandLine(const QStringList& arguments, Console& console);
