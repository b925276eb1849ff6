#include "prngseed.h"

#include "dazavo.h"
#include "diagnosticsink.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cstdio>

namespace
{

// Every board is opened with the same mode word; only the index in the setup string differs.
constexpr int kOpenMode = 1;
constexpr int kOpenFlags = 0x40000;

struct SetupString
{
    char text[128];
    explicit SetupString(int index) { std::snprintf(text, sizeof text, "PCI,card:%d", index); }
};

// The program's own rule: the cryptographic boards are the ones whose serial number starts
// with the digits 21 or 28.
bool isKavraSerial(int serial)
{
    while (serial > 99)
        serial /= 10;
    return serial == 21 || serial == 28;
}

// What a pass over the installed boards found. The pass stops at the first board that cannot
// be queried or closed; `count` then leaves that board out.
struct BoardScan
{
    int count = 0;
    int identified = -1; // with several cryptographic boards the last one wins
    bool ok = true;
};

// Reads one open board's serial number into the scan.
void identifyBoard(sv_handle* handle, int index, BoardScan& scan)
{
    int serial = 0;
    if (sv_query(handle, SV_QUERY_SERIALNUMBER, 0, &serial) != 0)
    {
        PrintDiagnosticFormat("Couldn't get the Serial Number from card %d\n", index);
        scan.ok = false;
    }
    else if (serial < 0)
    {
        PrintDiagnosticFormat("Serial Number from card %d is negative\n", index);
        scan.ok = false;
    }
    else if (isKavraSerial(serial))
    {
        scan.identified = index;
    }
}

BoardScan scanBoards()
{
    BoardScan scan;
    for (;; ++scan.count)
    {
        sv_handle* handle = nullptr;
        if (sv_openex(&handle, SetupString(scan.count).text, kOpenMode, kOpenFlags, 0, 0) != 0)
            break;
        identifyBoard(handle, scan.count, scan);
        if (handle != nullptr && sv_close(handle) != 0)
        {
            PrintDiagnosticFormat("Couldn't close card %d\n", scan.count);
            scan.ok = false;
        }
        if (!scan.ok)
            break;
    }
    return scan;
}

// Draws `bytes` random bytes from board `index`; seeds the generator with them only when the
// scan went well. Returns the number of bytes seeded.
int seedFromBoard(int index, int bytes, bool scanOk)
{
    sv_handle* handle = sv_open(SetupString(index).text);
    if (handle == nullptr)
    {
        PrintDiagnosticFormat("Couldn't open the Zel Kavra card for programming\n");
        return 0;
    }

    unsigned char buffer[MAX_BYTES] = {};
    const int wanted = std::max(bytes, 0);
    int result = 0;
    if (sv_random(handle, buffer, wanted) != 0)
    {
        PrintDiagnosticFormat("Couldn't get random bytes\n");
    }
    else if (scanOk)
    {
        RAND_seed(buffer, wanted);
        result = RAND_status() != 0 ? wanted : 0;
    }
    OPENSSL_cleanse(buffer, sizeof buffer);
    sv_close(handle);
    return result;
}

} // namespace

int seed_prng_kavra(int bytes)
{
    if (bytes > MAX_BYTES)
    {
        PrintDiagnosticFormat("seed_prng_kavra(): bytes > MAX_BYTES, only retrieving MAX_BYTES!\n");
        bytes = MAX_BYTES;
    }

    const BoardScan scan = scanBoards();
    PrintDiagnosticFormat("Detected %d Zel %s in your system\n", scan.count, scan.count == 1 ? "card" : "cards");
    if (scan.identified == -1)
    {
        PrintDiagnosticFormat("No Zel card was identified as Zel Kavra\n");
        return 0;
    }
    PrintDiagnosticFormat("Identified card %d as Zel Kavra card\n", scan.identified);
    return seedFromBoard(scan.identified, bytes, scan.ok);
}
