#include "MemoryWaveOut.h"
#include "SoundServer.h"

#include <QTest>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

// Fill routines are plain functions, so what they see is kept here.
struct FillLog
{
    std::mutex mutex;
    std::vector<const void *> buffers;
    std::vector<std::uint32_t> sizes;
    int counter = 0;

    void reset()
    {
        std::lock_guard lock(mutex);
        buffers.clear();
        sizes.clear();
        counter = 0;
    }
    std::vector<const void *> calls()
    {
        std::lock_guard lock(mutex);
        return buffers;
    }
} g_fills;

// Stamps each buffer with the number of the fill, so the played bytes show the order.
void countingFill(std::int16_t *samples, std::uint32_t bytes)
{
    std::lock_guard lock(g_fills.mutex);
    g_fills.buffers.push_back(samples);
    g_fills.sizes.push_back(bytes);
    ++g_fills.counter;
    for (std::uint32_t i = 0; i < bytes / 2; ++i)
        samples[i] = static_cast<std::int16_t>(g_fills.counter);
}

void otherFill(std::int16_t *samples, std::uint32_t bytes)
{
    countingFill(samples, bytes);
    samples[0] = -1;
}

int g_allocations = 0;
int g_failAllocationNumber = 0;
void *countingAllocate(std::size_t bytes)
{
    ++g_allocations;
    return g_allocations == g_failAllocationNumber ? nullptr : std::malloc(bytes);
}

struct Stream
{
    MemoryWaveOut *device = new MemoryWaveOut;
    std::shared_ptr<const MemoryWaveOut::Record> record = device->record();
    CSoundServer server{std::unique_ptr<WaveOut>(device), &countingAllocate};
};

constexpr std::int32_t kShortBuffering = 10; // 220 frames per buffer

struct Gate
{
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    std::atomic<int> fills{0};
    std::atomic<bool> finished{false};
    std::shared_ptr<const MemoryWaveOut::Record> record;
};
Gate s_gate;

void blockingFill(std::int16_t *samples, std::uint32_t bytes)
{
    std::memset(samples, 0, bytes);
    if (++s_gate.fills < 3)
        return;
    {
        std::lock_guard lock(s_gate.mutex);
        s_gate.entered = true;
    }
    s_gate.changed.notify_all();
    while (!s_gate.record->halted())
        std::this_thread::yield();
    s_gate.finished = true;
}

} // namespace

class SoundServerTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        g_fills.reset();
        g_allocations = 0;
        g_failAllocationNumber = 0;
    }

    void bufferSize_data()
    {
        QTest::addColumn<int>("bufferingMs");
        QTest::addColumn<int>("bytes");
        QTest::newRow("4000 ms: two seconds each") << 4000 << 352800;
        QTest::newRow("1 ms") << 1 << 88;
        QTest::newRow("10 ms: 441 frames, whole frames only") << 10 << 880;
        QTest::newRow("0 ms") << 0 << 0;
        QTest::newRow("negative") << -4000 << 0;
        QTest::newRow("too large for 32 bits") << 50000000 << 0;
    }
    void bufferSize()
    {
        QFETCH(int, bufferingMs);
        QFETCH(int, bytes);
        QCOMPARE(CSoundServer::BufferBytesFor(bufferingMs), bytes);
    }

    void openPrimesBothBuffersThenRefillsInRotation()
    {
        Stream s;
        QCOMPARE(s.server.Open(&countingFill, 4000), 1);
        QVERIFY(s.server.isOpen());
        QCOMPARE(s.server.bufferBytes(), 352800);
        const auto primed = g_fills.calls();
        QCOMPARE(primed.size(), std::size_t(2));
        QVERIFY(primed[0] != primed[1]);
        QCOMPARE(g_fills.sizes, (std::vector<std::uint32_t>{352800, 352800}));
        QCOMPARE(s.device->queued(), std::size_t(2));

        for (int i = 0; i < 4; ++i)
            QVERIFY(s.device->step());
        const auto fills = g_fills.calls();
        QCOMPARE(fills, (std::vector<const void *>{primed[0], primed[1], primed[0], primed[1],
                                                   primed[0], primed[1]}));
        const auto writes = s.record->writes();
        QCOMPARE(writes.size(), std::size_t(6));
        for (std::size_t i = 0; i < writes.size(); ++i)
            QCOMPARE(static_cast<const void *>(writes[i]), fills[i]);

        // Played back to back in fill order, each buffer whole.
        const auto played = s.record->played();
        QCOMPARE(played.size(), std::size_t(4 * 352800));
        for (int i = 0; i < 4; ++i) {
            std::int16_t first, last;
            std::memcpy(&first, played.data() + i * 352800, 2);
            std::memcpy(&last, played.data() + (i + 1) * 352800 - 2, 2);
            QCOMPARE(first, std::int16_t(i + 1));
            QCOMPARE(last, std::int16_t(i + 1));
        }
        QCOMPARE(s.device->queued(), std::size_t(2));
    }

    void openWhileOpenChangesNothing()
    {
        Stream s;
        QCOMPARE(s.server.Open(&countingFill, kShortBuffering), 1);
        QCOMPARE(s.server.Open(&otherFill, 4000), 1);
        QCOMPARE(g_fills.calls().size(), std::size_t(2));
        QCOMPARE(s.server.bufferBytes(), 880);
        QCOMPARE(s.record->opens(), 1);
        for (int i = 0; i < 3; ++i)
            QVERIFY(s.device->step());
        // The third buffer played is the first refill: stamped 3 by countingFill, not -1.
        std::int16_t refilled;
        std::memcpy(&refilled, s.record->played().data() + 2 * 880, 2);
        QCOMPARE(refilled, std::int16_t(3));
    }

    void closeReleasesEverythingAndStopsAtOnce()
    {
        Stream s;
        QCOMPARE(s.server.Open(&countingFill, kShortBuffering), 1);
        QVERIFY(s.device->step());
        s.server.Close();
        QVERIFY(!s.server.isOpen());
        QVERIFY(s.record->halted());
        QCOMPARE(s.device->queued(), std::size_t(0));
        QVERIFY(!s.device->isOpen());
        QCOMPARE(s.record->closes(), 1);
        QVERIFY(!s.device->step());
        QCOMPARE(g_fills.calls().size(), std::size_t(3));

        s.server.Close();
        s.server.Close();
        QCOMPARE(s.record->closes(), 1);

        // The same stream opens again, with new buffers and a fresh rotation.
        QCOMPARE(s.server.Open(&countingFill, kShortBuffering), 1);
        QCOMPARE(s.record->opens(), 2);
        QCOMPARE(g_allocations, 4);
        QCOMPARE(s.device->queued(), std::size_t(2));
    }

    void closeOnNeverOpenedStreamDoesNothing()
    {
        Stream s;
        s.server.Close();
        QCOMPARE(s.record->closes(), 0);
        QCOMPARE(g_allocations, 0);
    }

    void deletingAnOpenStreamClosesIt()
    {
        auto *device = new MemoryWaveOut;
        const auto record = device->record();
        auto *server = new CSoundServer(std::unique_ptr<WaveOut>(device));
        QCOMPARE(server->Open(&countingFill, kShortBuffering), 1);
        delete server;
        QVERIFY(record->halted());
        QCOMPARE(record->closes(), 1);
    }

    void failedDeviceOpenAllocatesNothingAndRetries()
    {
        Stream s;
        s.device->setFailOpen(true);
        QCOMPARE(s.server.Open(&countingFill, 4000), 0);
        QVERIFY(!s.server.isOpen());
        QCOMPARE(g_allocations, 0);
        QCOMPARE(g_fills.calls().size(), std::size_t(0));
        QVERIFY(!s.device->isOpen());

        s.device->setFailOpen(false);
        QCOMPARE(s.server.Open(&countingFill, 4000), 1);
        QCOMPARE(g_fills.calls().size(), std::size_t(2));
    }

    void failedAllocationClosesTheDevice_data()
    {
        QTest::addColumn<int>("failingAllocation");
        QTest::newRow("first buffer") << 1;
        QTest::newRow("second buffer") << 2;
    }
    void failedAllocationClosesTheDevice()
    {
        QFETCH(int, failingAllocation);
        Stream s;
        g_failAllocationNumber = failingAllocation;
        QCOMPARE(s.server.Open(&countingFill, 4000), 0);
        QVERIFY(!s.server.isOpen());
        QCOMPARE(g_fills.calls().size(), std::size_t(0));
        QCOMPARE(s.record->writes().size(), std::size_t(0));
        QCOMPARE(s.record->opens(), 1);
        QCOMPARE(s.record->closes(), 1);

        QCOMPARE(s.server.Open(&countingFill, 4000), 1);
    }

    void invalidBufferingIsRefusedBeforeTheDevice()
    {
        Stream s;
        QCOMPARE(s.server.Open(&countingFill, 0), 0);
        QCOMPARE(s.server.Open(&countingFill, -1), 0);
        QCOMPARE(s.record->opens(), 0);
        QCOMPARE(g_allocations, 0);
    }

    // A refill is running on the notice thread when Close begins: Close waits for it, and
    // nothing is filled, queued or played once Close has returned.
    void closeDuringARefillWaitsForItAndQueuesNothingAfter()
    {
        Stream s;
        s_gate.record = s.record;
        QCOMPARE(s.server.Open(&blockingFill, kShortBuffering), 1);
        std::thread player([&] { s.device->step(); });
        {
            std::unique_lock lock(s_gate.mutex);
            s_gate.changed.wait(lock, [] { return s_gate.entered; });
        }
        s.server.Close(); // the refill goes on only once Close has halted the device
        player.join();
        QCOMPARE(s_gate.fills.load(), 3);
        QVERIFY(s_gate.finished.load());
        QCOMPARE(s.device->queued(), std::size_t(0));
        QVERIFY(!s.device->step());
        QCOMPARE(s_gate.fills.load(), 3);
        QCOMPARE(s.record->played().size(), std::size_t(880));
        QCOMPARE(s.record->closes(), 1);
        s_gate.record.reset();
    }

    void lostDeviceIsReportedOnTheNoticeThread()
    {
        Stream s;
        std::atomic<bool> reported{false};
        std::thread::id reporter;
        s.server.setDeviceLostHandler([&] {
            reporter = std::this_thread::get_id();
            reported = true;
        });
        QCOMPARE(s.server.Open(&countingFill, kShortBuffering), 1);
        s.device->loseDevice();
        QVERIFY(reported.load());
        QVERIFY(reporter != std::this_thread::get_id());
        QVERIFY(s.server.isOpen());
        s.server.Close();
        QVERIFY(!s.device->isOpen());
    }

};

QTEST_GUILESS_MAIN(SoundServerTest)
#include "tst_soundserver.moc"
