#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>

#include "toolkit/bytes.h"
#include "toolkit/fileio.h"
#include "toolkit/streamblock.h"
#include "toolkit/streams.h"

using namespace tk;

namespace {
std::string TempDir() {
    auto dir = std::filesystem::temp_directory_path() / ("tk_streams_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir.string();
}
}  // namespace

TEST(Streams, ShortReadRaisesStreamReadError) {
    TMemoryStream m(std::vector<uint8_t>{1, 2, 3});
    uint8_t buf[4];
    try {
        m.ReadBuffer(buf, 4);
        FAIL() << "no exception";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Stream read error");
    }
    m.SetPosition(0);
    m.ReadBuffer(buf, 3);
    EXPECT_EQ(buf[2], 3);
    EXPECT_EQ(m.Remaining(), 0);
}

// Blocks of every size, small and on huge pages, hold exactly what was read
// and copy as values; a stream that ends early raises.
TEST(Streams, ReadBlockHoldsExactlyTheBytesRead) {
    for (size_t size : {size_t(0), size_t(5), size_t(9) << 20}) {
        std::vector<uint8_t> data(size + 3);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + (i >> 12));
        TMemoryStream m(data);
        m.SetPosition(3);
        const TBytes block = ReadBlock(m, static_cast<int64_t>(size));
        EXPECT_TRUE(block == std::span<const uint8_t>(data).subspan(3)) << size;
        TBytes copy = block;
        if (size) copy[0] ^= 1;
        EXPECT_EQ(copy.size(), size);
        EXPECT_EQ(block == copy, size == 0);
        m.SetPosition(3);
        EXPECT_THROW(ReadBlock(m, static_cast<int64_t>(size) + 1), EReadError);
    }
}

// Blocks carved from shared chunks never overlap, whatever the order they
// come and go in; a chunk emptied while current is carved again from its
// start, and blocks outlive the switch being turned off.
TEST(Streams, SharedChunkBlocksKeepTheirBytesWhileOthersComeAndGo) {
    TBytes::SetSharedChunks(true);
    std::mt19937 rng(7);
    std::vector<std::pair<TBytes, uint8_t>> live;
    auto intact = [](const std::pair<TBytes, uint8_t>& b) {
        return std::all_of(b.first.begin(), b.first.end(), [&](uint8_t v) { return v == b.second; });
    };
    for (int op = 0; op < 600; ++op) {
        if (live.empty() || rng() % 3 != 0) {
            const size_t size = (64u << 10) + rng() % (700u << 10);
            TBytes b = TBytes::Uninitialized(size);
            const uint8_t fill = static_cast<uint8_t>(op);
            std::memset(b.data(), fill, size);
            live.emplace_back(std::move(b), fill);
        } else {
            live.erase(live.begin() + static_cast<std::ptrdiff_t>(rng() % live.size()));
        }
        if (live.size() > 40) live.erase(live.begin(), live.begin() + 20);
        if (op % 50 == 0) {
            for (const auto& b : live) ASSERT_TRUE(intact(b)) << op;
        }
    }
    TBytes::SetSharedChunks(false);
    for (const auto& b : live) EXPECT_TRUE(intact(b));
}

TEST(Streams, FileOpenAndCreateMessagesNameTheFile) {
    std::string missing = TempDir() + "/nope/missing.bin";
    try {
        TFileStream f(missing, fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file " + missing);
    }
    try {
        TFileStream f(missing, fmCreate);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file " + missing);
    }
}

TEST(Streams, SafeFileStreamReplacesOnlyOnCommit) {
    // A folder of its own, emptied first: a stale one of an earlier process
    // with the same id must not count.
    const std::filesystem::path dir = std::filesystem::path(TempDir()) / "safe";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string target = (dir / "lib.bin").string();
    WriteFileBytes(target, "old", 3);
    {
        TSafeFileStream s(target);
        s.WriteBuffer("new data", 8);
        // Abandoned without Commit: the old file stays, no temporary is left.
    }
    EXPECT_EQ(ReadFileBytes(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
    {
        TSafeFileStream s(target);
        s.WriteBuffer("new", 3);
        s.Commit();
    }
    EXPECT_EQ(ReadFileBytes(target), (std::vector<uint8_t>{'n', 'e', 'w'}));
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(std::filesystem::path(target).parent_path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(FileLayer, MessagesOfTheRunTime) {
    TBinaryFile f;
    try {
        f.Reset(TempDir() + "/absent.crl");
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "File not found");
        EXPECT_EQ(e.ErrorCode, 2);
    }
    std::string name = TempDir() + "/short.crl";
    WriteFileBytes(name, "ab", 2);
    f.Reset(name);
    char buf[4];
    try {
        f.BlockRead(buf, 4);
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "Read beyond end of file");
    }
    EXPECT_EQ(InOutErrorText(77), "I/O error 77");
    EXPECT_EQ(InOutErrorText(101), "Disk full");
}

TEST(FileLayer, ReplacingWriteKeepsOldFileUntilClose) {
    std::string name = TempDir() + "/replace.crl";
    WriteFileBytes(name, "keep", 4);
    {
        TBinaryFile f;
        f.RewriteReplacing(name);
        f.BlockWrite("lost", 4);
        // destroyed without Close: the write is abandoned
    }
    EXPECT_EQ(ReadFileBytes(name), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    TBinaryFile f;
    f.RewriteReplacing(name);
    f.BlockWrite("done", 4);
    f.Close();
    EXPECT_EQ(ReadFileBytes(name), (std::vector<uint8_t>{'d', 'o', 'n', 'e'}));
}
