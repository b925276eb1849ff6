#pragma once

// leaf --batch FILE: many leaves under one issuer in one run, keys made in parallel.

#include "command.h"

Refusal RunLeafBatch(Invocation& invocation);
