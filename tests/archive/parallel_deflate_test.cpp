#include "archive/parallel_deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "tests/support/zip_check.h"

namespace {

constexpr size_t kNever = ~size_t(0);

struct Input {
    std::string data;
    int level;
    size_t failAt = kNever;  // the read that reaches this offset fails
};

// Hands out the bytes in reads of an odd size. Counts the entries whose reading has started.
class StringSource : public DeflateSource {
public:
    StringSource(const Input& input, std::atomic<int>* started) : in_(input), started_(started) {}
    bool Read(void* buffer, size_t count, size_t* done) override
    {
        if (!counted_)
            ++*started_;
        counted_ = true;
        if (at_ == in_.failAt)
            return false;
        *done = std::min({count, size_t(7777), in_.data.size() - at_, in_.failAt - at_});
        std::copy_n(in_.data.data() + at_, *done, static_cast<char*>(buffer));
        at_ += *done;
        return true;
    }

private:
    const Input& in_;
    std::atomic<int>* started_;
    bool counted_ = false;
    size_t at_ = 0;
};

std::string Describe(const DeflateResult& r)
{
    static const char* const status[] = {"done", "read", "memory", "aborted"};
    return std::string(status[static_cast<int>(r.status)]) + (r.complete ? " complete" : "") +
           (r.stored ? " stored" : "") + " " + std::to_string(r.crc) + " " +
           std::to_string(r.size) + " " + std::to_string(r.packedSize);
}

// Records what it is handed; aborts or refuses at the numbered entry. The engine reads no further
// ahead than its blocks in flight: each may have started an entry beyond the one handed over.
struct RecordingSink : DeflateSink {
    bool BeginEntry(const DeflateResult& known) override
    {
        EXPECT_LE(started - static_cast<int>(data.size()), kBlocksPerThread * threads);
        begun.push_back(Describe(known));
        data.emplace_back();
        log += "B" + std::to_string(data.size() - 1);
        if (data.size() - 1 == abortAt)
            engine->Abort();
        return data.size() - 1 != refuseAt;
    }
    bool WriteData(const void* bytes, size_t size) override
    {
        data.back().append(static_cast<const char*>(bytes), size);
        return true;
    }
    bool EndEntry(const DeflateResult& result) override
    {
        ended.push_back(Describe(result));
        log += "E" + ended.back().substr(0, ended.back().find(' ')) + " ";
        return true;
    }
    std::vector<std::string> begun, ended, data;
    std::string log;
    int threads = 1;
    std::atomic<int> started{0};
    ParallelDeflate* engine = nullptr;
    size_t abortAt = kNever, refuseAt = kNever;
};

bool Deflate(const std::vector<Input>& inputs, size_t blockSize, RecordingSink* sink)
{
    ParallelDeflate engine(sink, {sink->threads, blockSize});
    sink->engine = &engine;
    bool added = true;
    for (const Input& input : inputs)
        added = engine.Add(std::make_unique<StringSource>(input, &sink->started), input.level) &&
                added;
    return engine.Finish() && added;
}

// Sizes around the block's edges, one block of noise (stored instead) and several (still
// deflated), and a stored level; the block size of 1000 makes a dictionary span many blocks.
TEST(ParallelDeflate, GivesTheSameBytesForAnyThreadCountAndInflatesBack)
{
    for (size_t block : {size_t(1000), size_t(65536)}) {
        SCOPED_TRACE("block size " + std::to_string(block));
        std::vector<Input> inputs;
        for (size_t size : {size_t(0), size_t(1), block - 1, block, block + 1, 5 * block + 7})
            inputs.push_back({Prose(size, static_cast<uint32_t>(size)), 6});
        inputs.push_back({RandomBytes(block / 2, 1), 9});
        inputs.push_back({RandomBytes(3 * block, 2), 1});
        inputs.push_back({Prose(2 * block + 3, 3), 0});
        inputs.push_back({Prose(3 * block, 4), -1});

        RecordingSink first;
        for (int threads : {1, 2, 8}) {
            RecordingSink sink;
            sink.threads = threads;
            ASSERT_TRUE(Deflate(inputs, block, threads == 1 ? &first : &sink));
            if (threads != 1) {
                EXPECT_EQ(sink.data, first.data);
                EXPECT_EQ(sink.begun, first.begun);
                EXPECT_EQ(sink.ended, first.ended);
            }
        }
        ASSERT_EQ(first.data.size(), inputs.size());
        for (size_t i = 0; i < inputs.size(); ++i) {
            const std::string& data = inputs[i].data;
            SCOPED_TRACE("entry " + std::to_string(i) + " of " + std::to_string(data.size()));
            bool oneBlock = data.size() <= block;
            // One block is one plain stream, stored when that is no smaller.
            std::string single = RawDeflate(data, inputs[i].level), packed = first.data[i];
            bool stored = inputs[i].level == 0 || (oneBlock && single.size() >= data.size());
            std::string back = packed;
            if (!stored) {
                EXPECT_TRUE(RawInflate(packed, data.size(), &back));
            }
            EXPECT_EQ(back, data);
            if (oneBlock && !stored) {
                EXPECT_EQ(packed, single);
            }
            uint32_t crc = static_cast<uint32_t>(crc32(
                0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
            DeflateResult end{DeflateStatus::kDone, true, stored, crc, data.size(), packed.size()};
            EXPECT_EQ(first.ended[i], Describe(end));
            EXPECT_EQ(first.begun[i],
                      oneBlock ? Describe(end) : Describe({DeflateStatus::kDone, false, stored}));
        }
    }
}

// Entries of three blocks each, so that the one under way when the engine stops is cut short.
TEST(ParallelDeflate, StopsCleanlyAndInOrder)
{
    struct Row {
        const char* name;
        size_t readErrorAt, abortAt, refuseAt;  // entry numbers
        bool finished;
        const char* log;
    } rows[] = {
        {"a read error", 2, kNever, kNever, true,
         "B0Edone B1Edone B2Eread B3Edone B4Edone B5Edone "},
        {"an abort", kNever, 2, kNever, false, "B0Edone B1Edone B2Eaborted "},
        {"the sink's refusal", kNever, kNever, 2, false, "B0Edone B1Edone B2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (int threads : {1, 8}) {
            std::vector<Input> inputs;
            for (size_t i = 0; i < 6; ++i)
                inputs.push_back({Prose(2500, static_cast<uint32_t>(i)), 6,
                                  i == row.readErrorAt ? 1500 : kNever});
            RecordingSink sink;
            sink.threads = threads;
            sink.abortAt = row.abortAt;
            sink.refuseAt = row.refuseAt;
            EXPECT_EQ(Deflate(inputs, 1000, &sink), row.finished);
            EXPECT_EQ(sink.log, row.log);
        }
    }
}

}  // namespace
