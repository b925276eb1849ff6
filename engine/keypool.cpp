#include "keypool.h"

#include "rsakeys.h"

#include <algorithm>

int KeyPool::threadsFor(int count)
{
    // 0 where the number of cores is not known.
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::max(1, std::min(count, std::max(cores, 1)));
}

KeyPool::KeyPool(int count) : mMissing(std::max(count, 0))
{
    mEnough = mMissing == 0;
    const int threads = threadsFor(mMissing);
    mThreads.reserve(size_t(threads));
    for (int i = 0; i < threads && mMissing > 0; ++i)
        mThreads.emplace_back(&KeyPool::work, this);
}

KeyPool::~KeyPool()
{
    mEnough = true;
    for (std::thread& thread : mThreads)
        thread.join();
}

bool KeyPool::enough(void* pool)
{
    return static_cast<KeyPool*>(pool)->mEnough;
}

void KeyPool::work()
{
    for (;;)
    {
        {
            const std::lock_guard<std::mutex> lock(mMutex);
            if (mMissing == 0 || mFailed || mEnough)
                return;
        }
        EvpPkeyPtr key(MakeRsaKeyPair2048(&KeyPool::enough, this));
        {
            const std::lock_guard<std::mutex> lock(mMutex);
            if (key && mMissing > 0)
            {
                mReady.push_back(std::move(key));
                if (--mMissing == 0)
                    mEnough = true;
            }
            else if (!key && !mEnough)
                mFailed = true;
        }
        mFinished.notify_all();
    }
}

EvpPkeyPtr KeyPool::next()
{
    std::unique_lock<std::mutex> lock(mMutex);
    mFinished.wait(lock, [this] { return mFailed || !mReady.empty() || mMissing == 0; });
    if (mFailed || mReady.empty())
        return nullptr;
    EvpPkeyPtr key = std::move(mReady.front());
    mReady.pop_front();
    return key;
}
