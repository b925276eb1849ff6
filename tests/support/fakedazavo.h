#pragma once

#include <string>
#include <vector>

// A scriptable stand-in for the board-access library, linked into tests instead of the
// emulation. Every test starts from reset(): one cryptographic board, everything succeeding.
namespace FakeDazavo
{

struct Board
{
    int serial = 2800001;
    bool queryFails = false; // sv_query answers non-zero
    bool closeFails = false; // sv_close of this board's enumeration handle answers non-zero
};

void reset(std::vector<Board> boards = {Board{}});
void setOpenFails(bool fails);   // sv_open of any board answers null (board busy)
void setRandomFails(bool fails); // sv_random answers non-zero

// Number of handles opened and not yet closed.
int openHandles();
// Number of random bytes handed out by the last successful sv_random call.
int lastRandomCount();
// Each call made since reset(), e.g. "sv_openex PCI,card:0 1 262144 0 0", "sv_query 0 126 0".
const std::vector<std::string>& calls();

} // namespace FakeDazavo
