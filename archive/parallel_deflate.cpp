#include "archive/parallel_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr size_t kWindow = 32768;
constexpr int kNoStream = -2;  // a worker's stream level before its first block

struct Entry {
    std::unique_ptr<DeflateSource> source;
    int level = 0;
    uint64_t index = 0;       // in the order of Add
    uint64_t blocksRead = 0;
    bool reading = false;     // a worker is reading it: one at a time, in order
    bool finished = false;    // read to its end
    bool begun = false;
    std::vector<unsigned char> tail;  // the last 32 KiB read: the next block's dictionary
    int carry = -1;                   // the byte read ahead to see whether the input ended
};

// One piece of an entry, from its reading to its handing over. Blocks are recycled, so the
// buffers are allocated once per block in flight.
struct Block {
    int level = 0;
    bool first = false;
    bool last = false;
    bool stored = false;
    DeflateStatus status = DeflateStatus::kDone;
    std::vector<unsigned char> dictionary;
    std::vector<unsigned char> input;
    size_t inputSize = 0;
    std::vector<unsigned char> output;
    size_t outputSize = 0;
    uint32_t crc = 0;
};

// Fills the block from the source. Only one worker reads an entry at a time, so its read state is
// its own while it does.
void ReadBlock(Entry& entry, Block& block, size_t blockSize)
{
    block.first = !entry.begun;
    block.level = entry.level;
    block.status = DeflateStatus::kDone;
    block.dictionary = entry.tail;
    block.input.resize(blockSize);
    entry.begun = true;
    size_t got = 0;
    if (entry.carry >= 0)
        block.input[got++] = static_cast<unsigned char>(entry.carry);
    bool ok = true;
    size_t done = 1;
    while (ok && got < blockSize && done != 0) {
        ok = entry.source->Read(block.input.data() + got, blockSize - got, &done);
        got += ok ? done : 0;
    }
    // A full block may be the last: one byte more tells, so that a file of exactly one block
    // ends in that block and the stream does not depend on how the source splits its reads.
    unsigned char next = 0;
    done = 0;
    if (ok && got == blockSize)
        ok = entry.source->Read(&next, 1, &done);
    entry.carry = done != 0 ? next : -1;
    block.inputSize = got;
    block.last = !ok || done == 0;
    if (!ok)
        block.status = DeflateStatus::kReadError;
    if (block.last)
        return;
    size_t keep = std::min(kWindow, entry.tail.size() + got);
    std::vector<unsigned char> tail(keep);
    size_t fromInput = std::min(keep, got);
    std::copy(entry.tail.end() - (keep - fromInput), entry.tail.end(), tail.begin());
    std::copy(block.input.begin() + (got - fromInput), block.input.begin() + got,
              tail.begin() + (keep - fromInput));
    entry.tail.swap(tail);
}

// A worker's compressor, kept from block to block and restarted only when the level changes.
class Compressor {
public:
    ~Compressor()
    {
        if (level_ != kNoStream)
            deflateEnd(&stream_);
    }

    void Compress(Block& block)
    {
        block.crc = crc32(0, block.input.data(), static_cast<uInt>(block.inputSize));
        block.stored = block.level == 0;
        if (block.stored || block.status != DeflateStatus::kDone)
            return;
        if (!Start(block.level)) {
            block.status = DeflateStatus::kNoMemory;
            return;
        }
        if (!block.dictionary.empty())
            deflateSetDictionary(&stream_, block.dictionary.data(),
                                 static_cast<uInt>(block.dictionary.size()));
        // Room for the whole block at once; the loop only guards against a bound too tight.
        block.output.resize(deflateBound(&stream_, block.inputSize) + 16);
        stream_.next_in = block.input.data();
        stream_.avail_in = static_cast<uInt>(block.inputSize);
        int flush = block.last ? Z_FINISH : Z_SYNC_FLUSH;
        block.outputSize = 0;
        for (;;) {
            stream_.next_out = block.output.data() + block.outputSize;
            stream_.avail_out = static_cast<uInt>(block.output.size() - block.outputSize);
            int code = deflate(&stream_, flush);
            block.outputSize = block.output.size() - stream_.avail_out;
            if (stream_.avail_out != 0 || code == Z_STREAM_END)
                break;
            block.output.resize(block.output.size() * 2);
        }
        // An entry in one block is stored when deflate did not shrink it: its bytes are at hand.
        block.stored = block.first && block.last && block.outputSize >= block.inputSize;
    }

private:
    bool Start(int level)
    {
        if (level == level_)
            return deflateReset(&stream_) == Z_OK;
        if (level_ != kNoStream)
            deflateEnd(&stream_);
        stream_ = z_stream{};
        level_ = deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK
                     ? level
                     : kNoStream;
        return level_ == level;
    }

    z_stream stream_{};
    int level_ = kNoStream;
};

}  // namespace

int DefaultDeflateThreads()
{
    return std::max(2, static_cast<int>(std::thread::hardware_concurrency()));
}

struct ParallelDeflate::State {
    DeflateSink* sink = nullptr;
    size_t blockSize = 0;
    size_t maxBlocks = 0;   // read and not yet handed over
    size_t maxEntries = 0;  // outstanding before Add waits

    std::mutex mutex;
    std::condition_variable workReady;  // a block may be read, or stop
    std::condition_variable blockDone;  // a block is compressed, or abort
    // Entries not yet read to their end, in order (finished ones leave from the front). Workers
    // read different entries at once: opening and reading small files is much of their cost.
    std::deque<Entry> unread;
    uint64_t entriesAdded = 0;
    size_t inFlight = 0;  // blocks taken for reading and not yet handed over
    using Key = std::pair<uint64_t, uint64_t>;  // entry, block
    Key nextHandOver{0, 0};
    std::map<Key, std::unique_ptr<Block>> done;
    std::vector<std::unique_ptr<Block>> spare;
    bool stopping = false;
    std::atomic<bool> abort{false};
    std::vector<std::thread> workers;
    // Waking a thread costs a system call (under Wine a server round trip), so only a thread that
    // waits, and only for what it waits for, is woken.
    int idleWorkers = 0;
    bool ownerWaiting = false;

    // The owner's side.
    size_t outstanding = 0;  // entries added and not yet ended at the sink
    bool stopped = false;
    bool inEntry = false;    // begun at the sink and not yet ended
    DeflateResult current;

    // The entry a worker may read a block of next, or null. The first entry not read to its end
    // may take the last free slot; the ones after it leave that slot to it, so the block the
    // owner waits for can always be read.
    Entry* Readable()
    {
        if (abort)
            return nullptr;
        bool first = true;
        for (Entry& entry : unread) {
            if (entry.finished)
                continue;
            if (inFlight + (first ? 0 : 1) >= maxBlocks)
                return nullptr;
            if (!entry.reading)
                return &entry;
            first = false;
        }
        return nullptr;
    }
    bool CanRead() { return Readable() != nullptr; }
    // Under the lock: whether a waiting worker has something to read.
    bool WorkerToWake() { return idleWorkers > 0 && CanRead(); }

    // A block taken for reading: by a worker, or by the owner while it would otherwise wait.
    struct Task {
        Entry* entry = nullptr;
        Key key;
        std::unique_ptr<Block> block;
    };
    Task Claim();
    void Run(Task task, Compressor& compressor);
    void Work();
    bool HandOver(bool wait);
    bool Deliver(const Block& block);

    // The owner reads and compresses too: a waiting owner costs a wake-up per block (under Wine a
    // server round trip, which among small files cost as much as a file's own opening).
    Compressor ownerCompressor;
};

// Under the lock, with Readable() not null.
ParallelDeflate::State::Task ParallelDeflate::State::Claim()
{
    Task task;
    // A deque keeps its elements in place as others are added or leave from the front.
    task.entry = Readable();
    task.entry->reading = true;
    task.key = Key(task.entry->index, task.entry->blocksRead++);
    ++inFlight;
    if (spare.empty()) {
        task.block = std::make_unique<Block>();
    } else {
        task.block = std::move(spare.back());
        spare.pop_back();
    }
    return task;
}

void ParallelDeflate::State::Run(Task task, Compressor& compressor)
{
    Block& block = *task.block;
    ReadBlock(*task.entry, block, blockSize);
    std::unique_ptr<DeflateSource> finished;
    bool wakeWorker, wakeOwner;
    {
        std::lock_guard<std::mutex> lock(mutex);
        task.entry->reading = false;
        if (block.last) {
            finished = std::move(task.entry->source);
            task.entry->finished = true;
        }
        while (!unread.empty() && unread.front().finished)
            unread.pop_front();
        wakeWorker = WorkerToWake();
        // The owner reads the entry's next block while this one is compressed.
        wakeOwner = !wakeWorker && ownerWaiting && CanRead();
    }
    if (wakeWorker)
        workReady.notify_one();
    if (wakeOwner)
        blockDone.notify_one();
    finished.reset();  // closes a file outside the lock
    if (!abort)
        compressor.Compress(block);
    {
        std::lock_guard<std::mutex> lock(mutex);
        wakeOwner = ownerWaiting && task.key == nextHandOver;
        done[task.key] = std::move(task.block);
    }
    if (wakeOwner)
        blockDone.notify_one();
}

void ParallelDeflate::State::Work()
{
    Compressor compressor;
    for (;;) {
        Task task;
        {
            std::unique_lock<std::mutex> lock(mutex);
            ++idleWorkers;
            workReady.wait(lock, [this] { return stopping || CanRead(); });
            --idleWorkers;
            if (stopping)
                return;
            task = Claim();
        }
        Run(std::move(task), compressor);
    }
}

// Hands the next block to the sink. False when there is none yet (and `wait` is off) or the
// engine has stopped.
bool ParallelDeflate::State::HandOver(bool wait)
{
    std::unique_ptr<Block> block;
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex);
        auto ready = [this] { return abort || done.count(nextHandOver) != 0; };
        if (wait && !ready()) {
            if (!CanRead()) {
                ownerWaiting = true;
                blockDone.wait(lock, [&] { return ready() || CanRead(); });
                ownerWaiting = false;
            }
            if (!ready()) {
                Task task = Claim();
                lock.unlock();
                Run(std::move(task), ownerCompressor);
                continue;
            }
        }
        if (!abort && ready()) {
            block = std::move(done[nextHandOver]);
            done.erase(nextHandOver);
        }
        break;
    }
    if (block == nullptr) {
        if (abort && !stopped) {
            stopped = true;
            if (inEntry) {
                current.status = DeflateStatus::kAborted;
                sink->EndEntry(current);
            }
        }
        return false;
    }
    bool keep = Deliver(*block);
    bool wake;
    {
        std::lock_guard<std::mutex> lock(mutex);
        --inFlight;
        nextHandOver = block->last ? Key(nextHandOver.first + 1, 0)
                                   : Key(nextHandOver.first, nextHandOver.second + 1);
        spare.push_back(std::move(block));
        if (!keep) {  // the sink's refusal stops the workers as an abort does
            stopped = true;
            abort = true;
        }
        wake = WorkerToWake();
    }
    if (wake)
        workReady.notify_one();
    return keep;
}

bool ParallelDeflate::State::Deliver(const Block& block)
{
    size_t size = block.stored ? block.inputSize : block.outputSize;
    bool keep = true;
    if (block.first) {
        current = DeflateResult();
        current.stored = block.stored;
        inEntry = true;
        DeflateResult known = current;
        if (block.last) {
            known.status = block.status;
            known.complete = true;
            known.crc = block.crc;
            known.size = block.inputSize;
            known.packedSize = size;
        }
        keep = sink->BeginEntry(known);
    }
    if (keep && block.status == DeflateStatus::kDone) {
        current.crc = block.first ? block.crc
                                  : static_cast<uint32_t>(crc32_combine(
                                        current.crc, block.crc, static_cast<z_off_t>(block.inputSize)));
        current.size += block.inputSize;
        current.packedSize += size;
        keep = size == 0 || sink->WriteData(block.stored ? block.input.data() : block.output.data(), size);
    }
    if (keep && (block.last || block.status != DeflateStatus::kDone)) {
        current.status = block.status;
        current.complete = true;
        inEntry = false;
        --outstanding;
        keep = sink->EndEntry(current);
    }
    // Without memory for a compressor nothing else would go better.
    return keep && block.status != DeflateStatus::kNoMemory;
}

ParallelDeflate::ParallelDeflate(DeflateSink* sink, const ParallelDeflateSettings& settings)
    : state_(std::make_unique<State>())
{
    int threads = std::max(1, settings.threads);
    state_->sink = sink;
    state_->blockSize = std::max<size_t>(1, settings.blockSize);
    state_->maxBlocks = kBlocksPerThread * static_cast<size_t>(threads);
    state_->maxEntries = 2 * state_->maxBlocks;
    // The owner is one of the threads.
    for (int i = 1; i < threads; ++i)
        state_->workers.emplace_back([this] { state_->Work(); });
}

ParallelDeflate::~ParallelDeflate()
{
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stopping = true;
    }
    state_->workReady.notify_all();
    for (std::thread& worker : state_->workers)
        worker.join();
}

bool ParallelDeflate::Add(std::unique_ptr<DeflateSource> source, int level)
{
    State& s = *state_;
    if (s.stopped)
        return false;
    bool wake;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        Entry entry;
        entry.source = std::move(source);
        entry.level = level;
        entry.index = s.entriesAdded++;
        s.unread.push_back(std::move(entry));
        wake = s.WorkerToWake();
    }
    ++s.outstanding;
    if (wake)
        s.workReady.notify_one();
    while (s.HandOver(s.outstanding > s.maxEntries)) {
    }
    return !s.stopped;
}

bool ParallelDeflate::Finish()
{
    State& s = *state_;
    while (s.outstanding != 0 && s.HandOver(true)) {
    }
    return !s.stopped;
}

void ParallelDeflate::Abort()
{
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->abort = true;
    }
    state_->blockDone.notify_all();
}
