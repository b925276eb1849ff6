#pragma once

#include "osslptr.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// Fresh RSA-2048 key pairs (as OpenSSLUtil::KeyPairCreate2048 makes them), made concurrently: one
// thread per key, at most one per core; a thread that finishes its key starts on one not yet
// begun. Key generation is what a chain spends its time on, and the keys of one run do not depend
// on each other. Once every key is begun, a thread left without one searches for the last ones
// as well: the time of a search varies by a factor of three or more, the first to finish is
// taken, and the searches still under way give up.
//
// The generator must be seeded before the pool is made: OpenSSL's per-thread generators are
// chained to the primary one and reseed from it when it was reseeded since. Keys are handed out in
// the order they are finished; every key is as fresh as any other.
class KeyPool
{
public:
    // Starts generating `count` keys at once.
    explicit KeyPool(int count);
    // Keys not begun are not begun any more; the searches under way give up.
    ~KeyPool();
    KeyPool(const KeyPool&) = delete;
    KeyPool& operator=(const KeyPool&) = delete;

    // The next finished key (the caller owns it), waiting for it; null once a generation failed
    // or all were taken.
    EvpPkeyPtr next();

    // The threads used for `count` keys on this machine.
    static int threadsFor(int count);

private:
    void work();
    static bool enough(void* pool);

    std::mutex mMutex;
    std::condition_variable mFinished;
    int mMissing = 0; // keys not finished yet
    bool mFailed = false;
    std::atomic<bool> mEnough{false}; // every key is finished, or the pool is going away
    std::deque<EvpPkeyPtr> mReady;
    std::vector<std::thread> mThreads;
};
