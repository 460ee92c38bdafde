#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

// Reads, checksums and raw-deflates a sequence of entries on worker threads, and hands each
// entry's data to a sink on the owner's thread, entry after entry in the order they were added.
// The owner counts as one of the threads: while it waits for data it reads and compresses too.
//
// An entry is cut into blocks of a fixed size. Each block is deflated on its own, primed with the
// 32 KiB of input before it, and ends on a byte boundary (the last one finishes the stream), so the
// pieces join into one raw deflate stream (window 15, memLevel 8, default strategy). The bytes
// depend only on the input, the level and the block size, never on the number of threads.
//
// Memory: at most kBlocksPerThread x threads blocks are read and not yet handed over, each holding
// its input, its output (deflateBound of a block) and a 32 KiB dictionary; each worker has one
// deflate stream (about 256 KiB). A file of any size is never held whole.

// Where an entry's bytes come from. Read by one worker at a time, in order; destroyed on a worker
// as soon as the entry has been read to its end or has failed, so an open file closes early.
class DeflateSource {
public:
    virtual ~DeflateSource() = default;
    // Fills up to `count` bytes; *done is 0 at the end. False on a read error.
    virtual bool Read(void* buffer, size_t count, size_t* done) = 0;
};

enum class DeflateStatus {
    kDone,
    kReadError,  // the source failed: the data handed over for the entry is to be dropped
    kNoMemory,   // the compressor could not start: the engine stops after it
    kAborted,    // the last thing handed over; nothing follows
};

struct DeflateResult {
    DeflateStatus status = DeflateStatus::kDone;
    bool complete = false;    // the counts are the entry's final ones
    bool stored = false;      // the data is the source's own bytes, not deflated
    uint32_t crc = 0;         // of the source's bytes
    uint64_t size = 0;        // bytes read
    uint64_t packedSize = 0;  // bytes of data handed over
};

// The consumer (the archive writer). Each entry gets BeginEntry, its data in pieces, and EndEntry.
// Any of them returning false stops the engine: nothing more is handed over.
class DeflateSink {
public:
    virtual ~DeflateSink() = default;
    // `known` is complete when the whole entry fit in one block: it is then stored when deflate
    // did not shrink it. A longer entry is deflated throughout (unless its level is 0); EndEntry
    // tells whether it shrank, and a writer that wants it stored reads the source again.
    virtual bool BeginEntry(const DeflateResult& known) = 0;
    virtual bool WriteData(const void* data, size_t size) = 0;
    virtual bool EndEntry(const DeflateResult& result) = 0;
};

// One logical processor's worth of workers each, at least two.
int DefaultDeflateThreads();
// From 128 KiB to 1 MiB the output of text at level 6 grows by 0.01% to 0.0003%. Each block
// costs hand-overs between threads, which under Wine are server calls: with two threads a 50 MB
// text took 0.74 s in 1 MiB blocks against 0.95 s in 256 KiB ones (bench/parallel_deflate_bench.py
// --wine --blocks), and the blocks in flight still take only about 2 MiB each.
constexpr size_t kDeflateBlockSize = 1024 * 1024;

// Blocks in flight per thread. Entries are handed over in order but finish out of order: with few
// slots, one longer file at the head of the queue left the other workers idle among small files
// (the headers of /usr/include took about a fifth longer with 2 per thread than with 8).
constexpr int kBlocksPerThread = 8;

struct ParallelDeflateSettings {
    int threads = DefaultDeflateThreads();
    size_t blockSize = kDeflateBlockSize;
};

// Owned and driven by one thread: Add entries, then Finish. Both hand finished data to the sink
// on that thread; Add waits (and works) only while many entries are outstanding.
class ParallelDeflate {
public:
    explicit ParallelDeflate(DeflateSink* sink,
                             const ParallelDeflateSettings& settings = ParallelDeflateSettings());
    // Stops the workers; whatever was not handed over is dropped.
    ~ParallelDeflate();
    ParallelDeflate(const ParallelDeflate&) = delete;
    ParallelDeflate& operator=(const ParallelDeflate&) = delete;

    // `level`: 0 stores, 1 to 9, or -1 for zlib's default. False once the engine has stopped.
    bool Add(std::unique_ptr<DeflateSource> source, int level);
    // Hands over everything added. False when it stopped early (abort, or the sink refused).
    bool Finish();
    // From any thread: reading and compressing stop at the next block; the entry being handed
    // over ends with kAborted.
    void Abort();

private:
    struct State;
    std::unique_ptr<State> state_;
};
