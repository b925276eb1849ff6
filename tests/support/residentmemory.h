#pragma once

// The resident memory of this process in KiB (0 where the system does not tell).
long residentKiB();
