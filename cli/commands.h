#pragma once

#include "command.h"

#include <vector>

// The commands of talvane-chain, each defined beside its run in a file of its own.
const Command& RootCommand();
const Command& IntermediateCommand();
const Command& LeafCommand();
const Command& ChainCommand();
const Command& RequestCommand();
const Command& SignCommand();
const Command& VerifyCommand();
const Command& ShowCommand();
const Command& ExportCommand();
const Command& RenewCommand();
const Command& ExpiryCommand();
const Command& HelpCommand();

// Every command, in the order the help lists them.
const std::vector<const Command*>& AllCommands();
// The command of that name, or null.
const Command* FindCommand(const QString& name);
