// The LZSS decoder (the program's) and the encoder (for fixtures): the
// bitstream byte for byte, the window's wrap-around, damaged streams kept
// inside their buffers, and round trips through both.
#include "fileio/lzss.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "authoring/lzss_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Writes streams token by token, for cases the encoder would never make.
class StreamBuilder {
public:
    StreamBuilder& Literal(uint8_t byte) {
        Put(1, 1);
        Put(byte, 8);
        return *this;
    }
    StreamBuilder& Reference(uint32_t position, uint32_t lengthCode) {
        Put(0, 1);
        Put(position, 12);
        Put(lengthCode, 4);
        return *this;
    }
    StreamBuilder& End() {
        Put(0, 13);
        return *this;
    }
    // Bits so far; a partly filled last byte is padded with zeros.
    Bytes Finish() const {
        Bytes out = bytes_;
        if (used_ > 0) out.push_back(static_cast<uint8_t>(current_ << (8 - used_)));
        return out;
    }

private:
    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            current_ = (current_ << 1) | ((value >> i) & 1);
            if (++used_ == 8) {
                bytes_.push_back(static_cast<uint8_t>(current_));
                current_ = 0;
                used_ = 0;
            }
        }
    }

    Bytes bytes_;
    uint32_t current_ = 0;
    int used_ = 0;
};

// Decodes into a buffer of exactly `size` bytes followed by guard bytes, from
// a copy of the stream of exactly its own length (so that a sanitizer sees
// any step outside either). The guard must come out untouched.
bool DecodeGuarded(const Bytes& stream, uint32_t size, Bytes* out) {
    constexpr size_t kGuard = 16;
    std::vector<uint8_t> source(stream);
    std::vector<uint8_t> destination(size + kGuard, 0xA5);
    CLZSS lzss;
    bool ok =
        lzss.Decode(source.data(), static_cast<uint32_t>(source.size()), destination.data(), size);
    for (size_t i = size; i < destination.size(); ++i) {
        EXPECT_EQ(destination[i], 0xA5) << "written past the destination at " << i;
    }
    out->assign(destination.begin(), destination.begin() + size);
    return ok;
}

// What a stream does, found by walking it with a model of which window
// bytes hold data: whether it ever reads a byte not yet written, and how
// many tokens of each kind it has.
struct StreamReport {
    bool ended = false;
    bool readsUnwritten = false;
    size_t literals = 0;
    size_t references = 0;
    size_t output = 0;
};

StreamReport Walk(const Bytes& stream) {
    StreamReport report;
    std::vector<bool> written(4096, false);
    uint32_t write = 1;
    size_t bit = 0;
    auto field = [&](int n, uint32_t* value) {
        *value = 0;
        for (int i = 0; i < n; ++i, ++bit) {
            if (bit / 8 >= stream.size()) return false;
            *value = (*value << 1) | ((stream[bit / 8] >> (7 - bit % 8)) & 1);
        }
        return true;
    };
    auto put = [&] {
        written[write] = true;
        write = (write + 1) & 0xFFF;
        ++report.output;
    };
    for (;;) {
        uint32_t flag = 0, value = 0, code = 0;
        if (!field(1, &flag)) return report;
        if (flag) {
            if (!field(8, &value)) return report;
            ++report.literals;
            put();
            continue;
        }
        if (!field(12, &value)) return report;
        if (value == 0) {
            report.ended = true;
            return report;
        }
        if (!field(4, &code)) return report;
        ++report.references;
        for (uint32_t k = 0; k < code + 2; ++k) {
            if (!written[(value + k) & 0xFFF]) report.readsUnwritten = true;
            put();
        }
    }
}

std::string RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(random() & 0xFF);
    return out;
}

struct WorkedExample {
    const char* what;
    Bytes stream;
    std::string output;
};

TEST(LzssTest, WorkedExamplesDecodeAndEncodeByteForByte) {
    const WorkedExample examples[] = {
        {"literal and a self-overlapping reference", {0xB0, 0x80, 0x04, 0x40, 0x00}, "aaaa"},
        {"three literals and a reference of six",
         {0xB0, 0xD8, 0xAC, 0x60, 0x01, 0x40, 0x00, 0x00},
         "abcabcabc"},
    };
    for (const auto& example : examples) {
        SCOPED_TRACE(example.what);
        Bytes out;
        EXPECT_TRUE(
            DecodeGuarded(example.stream, static_cast<uint32_t>(example.output.size()), &out));
        EXPECT_EQ(out, ToBytes(example.output));
        EXPECT_EQ(ToBytes(authoring::LzssEncode(example.output)), example.stream);

        // One decoder used twice starts afresh each time (write position 1).
        CLZSS lzss;
        for (int round = 0; round < 2; ++round) {
            Bytes again(example.output.size());
            EXPECT_TRUE(lzss.Decode(example.stream.data(),
                                    static_cast<uint32_t>(example.stream.size()), again.data(),
                                    static_cast<uint32_t>(again.size())));
            EXPECT_EQ(again, ToBytes(example.output)) << "round " << round;
        }
    }
}

TEST(LzssTest, EndMarkerAloneProducesNothingAndLaterBytesAreIgnored) {
    Bytes out;
    EXPECT_TRUE(DecodeGuarded({0x00, 0x00}, 0, &out));
    EXPECT_TRUE(DecodeGuarded({0x00, 0x00, 0xFF, 0xFF}, 0, &out));
    EXPECT_EQ(ToBytes(authoring::LzssEncode("")), (Bytes{0x00, 0x00}));
}

TEST(LzssTest, LengthCodesZeroAndFifteenCopyTwoAndSeventeenBytes) {
    Bytes out;
    Bytes two =
        StreamBuilder().Literal('x').Literal('y').Literal('z').Reference(2, 0).End().Finish();
    ASSERT_TRUE(DecodeGuarded(two, 5, &out));
    EXPECT_EQ(out, ToBytes("xyzyz"));

    StreamBuilder builder;
    std::string letters = "ABCDEFGHIJKLMNOPQ";  // 17 bytes at window positions 1 to 17
    for (char c : letters) builder.Literal(static_cast<uint8_t>(c));
    Bytes seventeen = builder.Reference(1, 15).End().Finish();
    ASSERT_TRUE(DecodeGuarded(seventeen, 34, &out));
    EXPECT_EQ(out, ToBytes(letters + letters));
}

TEST(LzssTest, WindowWrapsAfterIndex4095) {
    // 4100 literals fill window positions 1..4095, then 0..4 again; a
    // reference to 4094 with six bytes runs through 4095 into 0..3, which
    // hold the latest literals. Then a reference to 0 + 1 reads what the
    // first reference wrote at 5..
    std::string literals = RandomBytes(4100, 7);
    StreamBuilder builder;
    for (char c : literals) builder.Literal(static_cast<uint8_t>(c));
    Bytes stream = builder.Reference(4094, 4).Reference(5, 1).End().Finish();

    std::string expected = literals;
    expected += literals.substr(4093, 6);  // window 4094, 4095, 0, 1, 2, 3
    expected += literals.substr(4093, 3);  // window 5.. holds that copy
    Bytes out;
    ASSERT_TRUE(DecodeGuarded(stream, static_cast<uint32_t>(expected.size()), &out));
    EXPECT_EQ(out, ToBytes(expected));
}

struct DamagedStream {
    const char* what;
    Bytes stream;
    uint32_t size;
};

TEST(LzssTest, DamagedStreamsFailInsideTheirBuffers) {
    const Bytes aaaa = {0xB0, 0x80, 0x04, 0x40, 0x00};
    const Bytes abc = {0xB0, 0xD8, 0xAC, 0x60, 0x01, 0x40, 0x00, 0x00};
    const DamagedStream cases[] = {
        {"no bytes at all", {}, 0},
        {"no bytes, output expected", {}, 4},
        {"ends after a literal", {0xB0, 0x80}, 1},
        {"ends inside the end marker", Bytes(aaaa.begin(), aaaa.end() - 1), 4},
        {"ends inside a length field", Bytes{0xB0, 0x80, 0x04}, 4},
        {"literals only, source runs out", Bytes(64, 0xFF), 1000},
        {"literals only, destination runs out", Bytes(64, 0xFF), 10},
        {"a literal beyond the destination", aaaa, 0},
        {"a reference beyond the destination", abc, 8},
        {"ends short of the expanded length", aaaa, 5},
        {"end marker only, output expected", {0x00, 0x00}, 1},
        {"reference of 17 into a buffer of 16",
         StreamBuilder().Literal('q').Reference(1, 15).End().Finish(), 16},
    };
    for (const auto& c : cases) {
        Bytes out;
        EXPECT_FALSE(DecodeGuarded(c.stream, c.size, &out)) << c.what;
    }
}

struct RoundTrip {
    const char* what;
    std::string data;
};

std::string RepetitiveText(size_t size) {
    std::string text;
    for (int line = 0; text.size() < size; ++line) {
        text += "line " + std::to_string(line % 37) + ": the quick brown fox\r\n";
    }
    text.resize(size);
    return text;
}

TEST(LzssTest, EncoderOutputDecodesBackToTheInput) {
    std::string allValues;
    for (int round = 0; round < 40; ++round) {
        for (int value = 0; value < 256; ++value) allValues += static_cast<char>(value);
    }
    std::string runs;
    for (int i = 0; i < 300; ++i) runs += std::string(1 + i % 23, static_cast<char>('a' + i % 5));
    std::string nearRepeats = RandomBytes(3000, 11);
    for (int i = 0; i < 20; ++i) {
        std::string copy = nearRepeats.substr(0, 3000);
        copy[static_cast<size_t>(i) * 149 % copy.size()] ^= 0x5A;
        nearRepeats += copy;
    }
    const RoundTrip cases[] = {
        {"empty", ""},
        {"one byte", "Q"},
        {"one zero byte", std::string(1, '\0')},
        {"two equal bytes", "zz"},
        {"a long run of zeros", std::string(10000, '\0')},
        {"a long run of one letter", std::string(9999, 'z')},
        {"runs of varying length", runs},
        {"every byte value, repeated", allValues},
        {"random, short", RandomBytes(1000, 1)},
        {"random, over 64 KiB", RandomBytes(70000, 2)},
        {"repetitive text, over 64 KiB", RepetitiveText(100000)},
        {"near repeats over 4096 apart", nearRepeats},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes stream = ToBytes(authoring::LzssEncode(c.data));
        Bytes out;
        ASSERT_TRUE(DecodeGuarded(stream, static_cast<uint32_t>(c.data.size()), &out));
        EXPECT_TRUE(out == ToBytes(c.data));
        StreamReport report = Walk(stream);
        EXPECT_TRUE(report.ended);
        EXPECT_FALSE(report.readsUnwritten);
        EXPECT_EQ(report.output, c.data.size());
        // The stream ends in its last byte: nothing follows the end marker's
        // byte, so a typed file's stored length is the stream's exact length.
        Bytes trimmed(stream.begin(), stream.end() - (stream.empty() ? 0 : 1));
        EXPECT_FALSE(Walk(trimmed).ended);
    }
}

TEST(LzssTest, EncoderCompressesRepetitiveData) {
    struct Case {
        const char* what;
        std::string data;
        size_t atMost;
    };
    const Case cases[] = {
        // A reference (17 bits) per 17 bytes: about one byte in eight.
        {"run of one byte", std::string(17000, 'r'), 17000 / 8 + 8},
        {"repetitive text", RepetitiveText(100000), 100000 / 6},
        // Nothing to find: nine bits a byte, plus the end marker.
        {"random bytes", RandomBytes(10000, 3), 10000 * 9 / 8 + 2},
    };
    for (const auto& c : cases) {
        std::string stream = authoring::LzssEncode(c.data);
        EXPECT_LE(stream.size(), c.atMost) << c.what;
    }
    StreamReport report = Walk(ToBytes(authoring::LzssEncode(RepetitiveText(20000))));
    EXPECT_GT(report.references, 10 * report.literals);
}

TEST(LzssTest, TypedFileBuildersWriteTheHeaders) {
    std::string data = RepetitiveText(5000);
    std::string stream = authoring::LzssEncode(data);
    std::string compressed = authoring::MakeCompressedTypedFile(data);
    const uint32_t stored = static_cast<uint32_t>(stream.size());
    std::string header = {1, 0, static_cast<char>(stored & 0xFF), static_cast<char>(stored >> 8),
                          0, 0, static_cast<char>(5000 & 0xFF),   static_cast<char>(5000 >> 8),
                          0, 0};
    EXPECT_EQ(compressed, header + stream);

    EXPECT_EQ(authoring::MakeStoredTypedFile("hello"), std::string("\0\0\5\0\0\0hello", 11));
    EXPECT_EQ(authoring::MakeStoredTypedFile("hi", 2), std::string("\2\0\2\0\0\0hi", 8));
}

}  // namespace
