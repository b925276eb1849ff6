#include "keypool.h"

#include "opensslutil.h"

#include <algorithm>

int KeyPool::threadsFor(int count)
{
    // 0 where the number of cores is not known.
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::max(1, std::min(count, std::max(cores, 1)));
}

KeyPool::KeyPool(int count) : mNotBegun(std::max(count, 0))
{
    const int threads = threadsFor(mNotBegun);
    mThreads.reserve(size_t(threads));
    for (int i = 0; i < threads && mNotBegun > 0; ++i)
        mThreads.emplace_back(&KeyPool::work, this);
}

KeyPool::~KeyPool()
{
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mNotBegun = 0;
    }
    for (std::thread& thread : mThreads)
        thread.join();
}

void KeyPool::work()
{
    for (;;)
    {
        {
            const std::lock_guard<std::mutex> lock(mMutex);
            if (mNotBegun == 0 || mFailed)
                return;
            --mNotBegun;
            ++mUnderWay;
        }
        EVP_PKEY* made = nullptr;
        const bool ok = OpenSSLUtil::KeyPairCreate2048(&made) != 0;
        EvpPkeyPtr key(made);
        {
            const std::lock_guard<std::mutex> lock(mMutex);
            --mUnderWay;
            if (ok)
                mReady.push_back(std::move(key));
            else
                mFailed = true;
        }
        mFinished.notify_all();
    }
}

EvpPkeyPtr KeyPool::next()
{
    std::unique_lock<std::mutex> lock(mMutex);
    mFinished.wait(lock, [this] { return mFailed || !mReady.empty() || (mNotBegun == 0 && mUnderWay == 0); });
    if (mFailed || mReady.empty())
        return nullptr;
    EvpPkeyPtr key = std::move(mReady.front());
    mReady.pop_front();
    return key;
}
