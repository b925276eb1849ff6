#include "secret.h"

#include <openssl/crypto.h>

#include <utility>

Secret::Secret(const QString& text) : mBytes(text.toUtf8()) {}

Secret::Secret(QString&& text) : mBytes(text.toUtf8())
{
    // Writing into a shared text would only detach a copy and wipe that.
    if (text.isDetached())
        OPENSSL_cleanse(text.data(), size_t(text.size()) * sizeof(QChar));
    text.clear();
}

Secret::Secret(QByteArray&& bytes) : mBytes(std::move(bytes)) {}

Secret::~Secret()
{
    clear();
}

Secret::Secret(Secret&& other) noexcept : mBytes(std::move(other.mBytes)) {}

Secret& Secret::operator=(Secret&& other) noexcept
{
    if (this != &other)
    {
        clear();
        mBytes = std::move(other.mBytes);
    }
    return *this;
}

void Secret::assign(const char* data, int size)
{
    clear();
    mBytes = QByteArray(data, size);
}

void Secret::clear()
{
    if (!mBytes.isEmpty())
        OPENSSL_cleanse(mBytes.data(), size_t(mBytes.size()));
    mBytes.clear();
}
