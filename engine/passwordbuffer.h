#pragma once

#include <openssl/crypto.h>

// The 256-byte buffer that the console prompt fills when an operation is given no password.
// Its content is wiped when it goes out of scope.
class PasswordBuffer
{
public:
    static constexpr int kSize = 256;

    PasswordBuffer() = default;
    ~PasswordBuffer() { OPENSSL_cleanse(mData, sizeof mData); }
    PasswordBuffer(const PasswordBuffer&) = delete;
    PasswordBuffer& operator=(const PasswordBuffer&) = delete;

    // given when it is not null; otherwise what was typed at the prompt, or null when nothing was.
    const char* resolve(const char* given);

private:
    char mData[kSize] = {};
};
