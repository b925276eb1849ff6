#pragma once

#include "command.h"

#include <QString>

// The help of talvane-chain and its manual page, made from the command table alone, so that they
// cannot drift from what the commands take.

// One command: its usage, what it does, its options and examples.
QString CommandHelp(const Command& command);
// Every command in a line, and what all of them share.
QString OverviewHelp();
// The overview, then every command's help.
QString CompleteHelp();
// The manual page in roff (man(7)), with every command and option, examples, the environment, the
// files and the exit statuses.
QString ManualPage(const QString& version);

// An option's description as `command` gives it.
QString OptionDescription(const CommandOption& option);
