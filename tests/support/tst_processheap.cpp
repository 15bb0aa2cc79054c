// Once the process uses one arena, worker threads take no arenas of their own: malloc_info(3)
// lists as many heaps after they ran as before (QTest's watchdog thread may have made one
// before the setting). A large block still gets pages of its own after a larger one was freed,
// so they go back to the system with it. Its own executable: the settings are process-wide and
// must precede the first thread.

#include "support/ProcessHeap.h"

#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <thread>

// AddressSanitizer serves malloc itself: glibc's heap, which the settings shape, is then unused.
#if defined(__SANITIZE_ADDRESS__)
#define HEAP_IS_SANITIZERS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HEAP_IS_SANITIZERS 1
#endif
#endif

namespace {

// The heaps malloc_info(3) reports: the main arena and every arena made for threads.
int heapCount()
{
    char* report = nullptr;
    size_t length = 0;
    FILE* stream = ::open_memstream(&report, &length);
    if (stream == nullptr || ::malloc_info(0, stream) != 0) {
        return -1;
    }
    std::fclose(stream);
    const int heaps = int(QByteArray(report, qsizetype(length)).count("<heap nr="));
    std::free(report);
    return heaps;
}

} // namespace

class ProcessHeapTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
#ifdef HEAP_IS_SANITIZERS
        QSKIP("AddressSanitizer's allocator replaces glibc's heap");
#endif
        ProcessHeap::configure();
    }

    void workersTakeNoArenaOfTheirOwn()
    {
        // A buffer of the size store encoders grow through, below the mmap threshold.
        constexpr size_t bytes = 100 * 1024;
        const int heapsBefore = heapCount();
        // Two workers at once: the second cannot take the first one's arena while it is busy.
        void* allocated[2] = {};
        std::thread first([&allocated] { allocated[0] = std::malloc(bytes); });
        std::thread second([&allocated] { allocated[1] = std::malloc(bytes); });
        first.join();
        second.join();
        std::free(allocated[0]);
        std::free(allocated[1]);
        QCOMPARE(heapCount(), heapsBefore);
    }

    void largeBlocksKeepPagesOfTheirOwn()
    {
        // The quick panel's first frame (780 x 1148 at 4 bytes) freed, then a 128 KiB buffer.
        static void* volatile block = std::malloc(size_t(780 * 1148 * 4));
        std::free(block);
        const size_t mappedBefore = ::mallinfo2().hblks;
        block = std::malloc(size_t(128 * 1024));
        QCOMPARE(::mallinfo2().hblks, mappedBefore + 1);
        std::free(block);
    }
};

QTEST_GUILESS_MAIN(ProcessHeapTest)
#include "tst_processheap.moc"
