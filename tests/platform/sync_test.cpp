// The named mutex: exclusive between processes and threads, with a timed wait.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/sync/instance_channel.h"
#include "platform/sync/named_mutex.h"
#include "tests/support/scratch_folder.h"

using platform::NamedMutex;
using test_support::ScopedEnv;
using test_support::ScratchFolder;
using Clock = std::chrono::steady_clock;

TEST(NamedMutex, SecondHolderWaitsUntilTheTimeoutThenFails) {
    ScratchFolder dir;
    ScopedEnv lock_dir("VELLUMO_LOCK_DIR", dir.Root());
    NamedMutex first("Empia VideoClass HidClass Library");
    NamedMutex second("Empia VideoClass HidClass Library");
    NamedMutex other("Vellumo");
    ASSERT_TRUE(first.Lock(0));
    EXPECT_TRUE(other.Lock(0)) << "other names are independent";
    auto start = Clock::now();
    EXPECT_FALSE(second.Lock(300));
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(waited, 290);
    first.Unlock();
    EXPECT_TRUE(second.Lock(0));
    second.Unlock();
}

TEST(NamedMutex, ThreadsSharingOneObjectExcludeEachOther) {
    ScratchFolder dir;
    ScopedEnv lock_dir("VELLUMO_LOCK_DIR", dir.Root());
    NamedMutex mutex("shared");
    std::atomic<int> inside{0};
    std::atomic<int> overlap{0};
    auto work = [&] {
        for (int i = 0; i < 200; ++i) {
            ASSERT_TRUE(mutex.Lock(5000));
            if (inside.fetch_add(1) != 0) ++overlap;
            std::this_thread::yield();
            inside.fetch_sub(1);
            mutex.Unlock();
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(overlap.load(), 0);
}

TEST(NamedMutex, HeldByAnotherProcessUntilItEnds) {
    ScratchFolder dir;
    ScopedEnv lock_dir("VELLUMO_LOCK_DIR", dir.Root());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        NamedMutex held("Vellumo");
        char ok = held.Lock(0) ? 'y' : 'n';
        (void)::write(ready[1], &ok, 1);
        ::usleep(400 * 1000);
        ::_exit(0);  // ending releases the mutex without Unlock
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    NamedMutex mine("Vellumo");
    EXPECT_FALSE(mine.Lock(0));
    EXPECT_TRUE(mine.Lock(5000)) << "free again once the holder ends";
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(NamedMutex, UnusableLockFolderFailsInsteadOfPretending) {
    ScopedEnv lock_dir("VELLUMO_LOCK_DIR", "/nonexistent/folder");
    NamedMutex mutex("x");
    EXPECT_FALSE(mutex.Valid());
    EXPECT_FALSE(mutex.Lock(0));
}

TEST(NamedMutex, LockFileMadeByOneUserServesEveryOther) {
    ScratchFolder dir;
    ::chmod(dir.Root().c_str(), 01777);  // like /tmp
    ScopedEnv lock_dir("VELLUMO_LOCK_DIR", dir.Root());
    mode_t old_mask = ::umask(022);
    { NamedMutex creator("Shared"); }
    ::umask(old_mask);
    struct stat info {};
    ASSERT_EQ(::stat(dir.Path("Shared.lock").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666u) << "created for everyone, whatever the umask";

    // A file that is not ours to write (as when another user made it before this fix) still works as a lock.
    ::chmod(dir.Path("Shared.lock").c_str(), 0444);
    NamedMutex held("Shared");
    ASSERT_TRUE(held.Lock(0));
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && ::setuid(65534) != 0) ::_exit(3);  // root writes anything: become nobody
        if (::access(dir.Root().c_str(), X_OK) != 0) ::_exit(4);
        NamedMutex other("Shared");
        if (!other.Valid()) ::_exit(1);
        ::_exit(other.Lock(0) ? 2 : 0);  // must see the parent's hold
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    held.Unlock();
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 4) GTEST_SKIP() << "the temporary folder's parents are closed to other users";
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: could not open the lock file; 2: did not see the hold; 3: no setuid";
}

// The holder of the single-instance lock hears a later copy; a socket a dead holder left is taken over.
TEST(InstanceChannel, LaterCopyKnocksOnTheHolder) {
    ScratchFolder dir;
    ScopedEnv lock_dir("VELLUMO_LOCK_DIR", dir.Root());
    EXPECT_FALSE(platform::KnockOnRunningInstance("Vellumo")) << "nobody listens yet";
    {
        auto holder = platform::InstanceListener::Listen("Vellumo");
        ASSERT_NE(holder, nullptr);
        EXPECT_EQ(holder->TakeKnocks(), 0) << "no knock waits, and the call does not block";
        EXPECT_TRUE(platform::KnockOnRunningInstance("Vellumo"));
        EXPECT_TRUE(platform::KnockOnRunningInstance("Vellumo"));
        EXPECT_EQ(holder->TakeKnocks(), 2);
        EXPECT_FALSE(platform::KnockOnRunningInstance("Other")) << "other names are independent";
    }
    EXPECT_FALSE(platform::KnockOnRunningInstance("Vellumo")) << "the socket goes with its holder";

    // A holder that died leaves its socket file behind; the next holder replaces it.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto dying = platform::InstanceListener::Listen("Vellumo");
        _exit(dying ? 0 : 1);  // ends without the destructor, as a crash would
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    auto next = platform::InstanceListener::Listen("Vellumo");
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(platform::KnockOnRunningInstance("Vellumo"));
    EXPECT_EQ(next->TakeKnocks(), 1);
}
