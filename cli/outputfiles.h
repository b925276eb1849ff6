#pragma once

// The files a creating command writes beside each other under the name --out gives.

#include "command.h"

#include <QStringList>

// Their folder must exist (--out never makes it), and without `force` none of `files` may be
// there yet, a link that leads nowhere included. Empty names are passed over.
Refusal checkNewFiles(const QStringList& files, bool force);
