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

uint32_t Crc(const std::string& data)
{
    return crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
}

// Words in an order no shorter rule predicts: compresses about as well as prose, unlike
// CompressibleText, whose few repeating lines deflate to almost nothing.
std::string Prose(size_t size, uint32_t seed)
{
    static const char* const words[] = {"archive", "entry", "folder", "the", "of", "block",
                                        "stream", "a", "and", "level", "password", "name",
                                        "file", "to", "is", "data", "with", "ZIP", "in", "size"};
    std::string text;
    while (text.size() < size) {
        seed = seed * 1103515245u + 12345u;
        text += words[(seed >> 16) % 20];
        text += (seed >> 8) % 11 == 0 ? ".\r\n" : " ";
    }
    return text.substr(0, size);
}

// The whole of a raw deflate stream, or "<bad>" unless it ends exactly at its last byte.
std::string Inflate(const std::string& packed)
{
    z_stream s{};
    inflateInit2(&s, -MAX_WBITS);
    std::string out;
    char buffer[65536];
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    s.avail_in = static_cast<uInt>(packed.size());
    int code = Z_OK;
    while (code == Z_OK) {
        s.next_out = reinterpret_cast<Bytef*>(buffer);
        s.avail_out = sizeof buffer;
        code = inflate(&s, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - s.avail_out);
    }
    bool whole = code == Z_STREAM_END && s.avail_in == 0;
    inflateEnd(&s);
    return whole ? out : "<bad>";
}

// Hands out the bytes in reads of an odd size, and fails the read that reaches `failAt`. Counts
// the entries whose reading has started.
class StringSource : public DeflateSource {
public:
    StringSource(const std::string& data, size_t failAt, std::atomic<int>* started)
        : data_(data), failAt_(failAt), started_(started)
    {
    }
    bool Read(void* buffer, size_t count, size_t* done) override
    {
        if (!counted_)
            ++*started_;
        counted_ = true;
        if (at_ == failAt_)
            return false;
        *done = std::min({count, size_t(7777), data_.size() - at_, failAt_ - at_});
        std::copy_n(data_.data() + at_, *done, static_cast<char*>(buffer));
        at_ += *done;
        return true;
    }

private:
    const std::string& data_;
    size_t failAt_;
    std::atomic<int>* started_;
    bool counted_ = false;
    size_t at_ = 0;
};

struct Recorded {
    DeflateResult known, end;
    std::string data;
};

std::string Describe(const DeflateResult& r)
{
    static const char* const status[] = {"done", "read", "memory", "aborted"};
    return std::string(status[static_cast<int>(r.status)]) + (r.complete ? " complete" : "") +
           (r.stored ? " stored" : "") + " " + std::to_string(r.crc) + " " + std::to_string(r.size) +
           " " + std::to_string(r.packedSize);
}

// Records what it is handed, and aborts or refuses at the numbered entry's BeginEntry. Checks that
// the engine reads no further ahead than its blocks in flight allow: each may have started an
// entry beyond the one being handed over.
struct RecordingSink : DeflateSink {
    explicit RecordingSink(int threads) : threads(threads) {}
    bool BeginEntry(const DeflateResult& known) override
    {
        EXPECT_LE(started - static_cast<int>(entries.size()), 2 * threads);
        entries.push_back({known, {}, {}});
        log += "B" + std::to_string(entries.size() - 1);
        if (entries.size() - 1 == abortAt)
            engine->Abort();
        return entries.size() - 1 != refuseAt;
    }
    bool WriteData(const void* data, size_t size) override
    {
        entries.back().data.append(static_cast<const char*>(data), size);
        return true;
    }
    bool EndEntry(const DeflateResult& result) override
    {
        entries.back().end = result;
        log += "E" + std::string(Describe(result), 0, Describe(result).find(' ')) + " ";
        return true;
    }
    std::vector<Recorded> entries;
    std::string log;
    int threads;
    std::atomic<int> started{0};
    ParallelDeflate* engine = nullptr;
    size_t abortAt = kNever, refuseAt = kNever;
};

struct Input {
    std::string data;
    int level;
    size_t failAt = kNever;
};

bool Deflate(const std::vector<Input>& inputs, const ParallelDeflateSettings& settings,
         RecordingSink* sink)
{
    ParallelDeflate engine(sink, settings);
    sink->engine = &engine;
    bool added = true;
    for (const Input& input : inputs)
        added = engine.Add(std::make_unique<StringSource>(input.data, input.failAt, &sink->started), input.level) && added;
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

        std::vector<std::string> transcripts;
        std::vector<Recorded> first;
        for (int threads : {1, 2, 8}) {
            RecordingSink sink(threads);
            ASSERT_TRUE(Deflate(inputs, {threads, block}, &sink));
            std::string transcript;
            for (const Recorded& entry : sink.entries)
                transcript += Describe(entry.known) + "|" + entry.data + "|" + Describe(entry.end) + "\n";
            transcripts.push_back(transcript);
            first = sink.entries;
        }
        EXPECT_EQ(transcripts[0], transcripts[1]);
        EXPECT_EQ(transcripts[0], transcripts[2]);

        ASSERT_EQ(first.size(), inputs.size());
        for (size_t i = 0; i < inputs.size(); ++i) {
            const std::string& data = inputs[i].data;
            const Recorded& entry = first[i];
            SCOPED_TRACE("entry " + std::to_string(i) + " of " + std::to_string(data.size()) + " bytes");
            bool oneBlock = data.size() <= block;
            // One block is one plain stream, stored when that is no smaller.
            std::string single = RawDeflate(data, inputs[i].level);
            bool stored = inputs[i].level == 0 || (oneBlock && single.size() >= data.size());
            EXPECT_EQ(entry.end.stored, stored);
            EXPECT_EQ(entry.known.stored, stored);
            EXPECT_EQ(stored ? entry.data : Inflate(entry.data), data);
            if (oneBlock && !stored) {
                EXPECT_EQ(entry.data, single);
            }
            EXPECT_EQ(Describe(entry.end),
                      Describe({DeflateStatus::kDone, true, stored, Crc(data), data.size(), entry.data.size()}));
            EXPECT_EQ(entry.known.complete, oneBlock);
            EXPECT_EQ(Describe(entry.known), oneBlock ? Describe(entry.end) : Describe({DeflateStatus::kDone, false, stored}));
            if (i == 7) {  // noise of several blocks: the writer is told it did not shrink
                EXPECT_GT(entry.end.packedSize, entry.end.size);
            }
        }
    }
}

TEST(ParallelDeflate, StaysWithinHalfAPercentOfOneStream)
{
    std::vector<Input> inputs{{Prose(3 << 20, 5), 6}};
    RecordingSink sink(DefaultDeflateThreads());
    ASSERT_TRUE(Deflate(inputs, ParallelDeflateSettings(), &sink));
    ASSERT_EQ(sink.entries.size(), 1u);
    EXPECT_EQ(Inflate(sink.entries[0].data), inputs[0].data);
    size_t single = RawDeflate(inputs[0].data, 6).size();
    EXPECT_LE(sink.entries[0].data.size(), single + single / 200);
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
        {"a read error", 2, kNever, kNever, true, "B0Edone B1Edone B2Eread B3Edone B4Edone B5Edone "},
        {"an abort", kNever, 2, kNever, false, "B0Edone B1Edone B2Eaborted "},
        {"the sink's refusal", kNever, kNever, 2, false, "B0Edone B1Edone B2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (int threads : {1, 8}) {
            std::vector<Input> inputs;
            for (size_t i = 0; i < 6; ++i)
                inputs.push_back({Prose(2500, static_cast<uint32_t>(i)), 6, i == row.readErrorAt ? 1500 : kNever});
            RecordingSink sink(threads);
            sink.abortAt = row.abortAt;
            sink.refuseAt = row.refuseAt;
            EXPECT_EQ(Deflate(inputs, {threads, 1000}, &sink), row.finished);
            EXPECT_EQ(sink.log, row.log);
        }
    }
}

}  // namespace
