#pragma once
// Deterministic output streams shared by the child program (which writes
// them) and the tests and benchmark (which know what must arrive).
#include <cstddef>
#include <cstdint>
#include <string>

class StreamRandom {
public:
    explicit StreamRandom(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {}
    uint64_t next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    // A number in [0, bound).
    size_t below(size_t bound) { return bound ? static_cast<size_t>(next() % bound) : 0; }

private:
    uint64_t state_;
};

// Lines of text ending in CRLF, some of them with GBK characters, `size` bytes in all.
inline std::string textLinesStream(size_t size)
{
    static const char gbkWords[] = "\xD6\xD0\xCE\xC4\xCA\xE4\xB3\xF6 ";  // 中文输出
    std::string stream;
    stream.reserve(size);
    for (size_t line = 0; stream.size() < size; ++line) {
        std::string text = "line " + std::to_string(line) + ": ";
        if (line % 3 == 0) text += gbkWords;
        while (text.size() < 70) text += static_cast<char>('a' + (text.size() + line) % 26);
        text += "\r\n";
        stream += text;
    }
    stream.resize(size);
    return stream;
}

enum class StreamKind {
    Raw,  // any byte 0x00-0xFF: zero bytes, lone high bytes, trail bytes 0x5C
    Gbk,  // text a GBK edit box keeps byte for byte: ASCII, CR, LF and whole GBK pairs
};

// A hostile stream for integrity checks, up to `maxSize` bytes.
inline std::string mixedStream(uint64_t seed, size_t maxSize, StreamKind kind)
{
    StreamRandom random(seed);
    const size_t size = random.below(maxSize + 1);
    std::string stream;
    stream.reserve(size + 2);
    while (stream.size() < size) {
        switch (random.below(kind == StreamKind::Raw ? 9 : 7)) {
        case 0: stream += "\r\n"; break;
        case 1: stream += '\n'; break;
        case 2: stream += '\r'; break;
        case 3:  // an assigned GBK pair; some have the trail byte 0x5C
            if (random.below(4) == 0) {
                stream += static_cast<char>(0x81 + random.below(0x20));  // 0x81-0xA0 take any trail
                stream += '\x5C';
            } else {
                stream += static_cast<char>(0xB0 + random.below(0x27));  // level-1 hanzi rows
                stream += static_cast<char>(0xA1 + random.below(0x5E));
            }
            break;
        case 4: {  // a long line with no break
            const size_t length = random.below(3000);
            for (size_t i = 0; i < length; ++i) stream += static_cast<char>('A' + random.below(26));
            break;
        }
        case 5:
        case 6: {
            const size_t length = 1 + random.below(80);
            for (size_t i = 0; i < length; ++i) stream += static_cast<char>(0x20 + random.below(0x5F));
            break;
        }
        case 7: stream += '\0'; break;
        default: stream += static_cast<char>(0x80 + random.below(0x80)); break;
        }
    }
    stream.resize(size);
    if (kind == StreamKind::Gbk && !stream.empty()) {
        // Do not end on half a pair.
        size_t i = 0;
        while (i < stream.size()) i += static_cast<unsigned char>(stream[i]) >= 0x81 ? 2 : 1;
        if (i > stream.size()) stream.pop_back();
    }
    return stream;
}

// The text an output box must hold after the stream went through: the stream
// less its zero bytes.
inline std::string withoutZeroBytes(const std::string& stream)
{
    std::string text;
    text.reserve(stream.size());
    for (char c : stream)
        if (c != '\0') text += c;
    return text;
}
