// Block-wise Base64 encoding of a byte stream, and the two streams it joins.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

// An in-memory byte stream, read from its position to its end.
class TMemoryStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string bytes) : m_bytes(std::move(bytes)) {}

    // Replaces the content with the whole file and moves to its start.
    // Throws std::runtime_error naming the file and the reason on failure.
    void LoadFromFile(const std::string& path);

    // The next count bytes (fewer at the end), without copying them.
    std::span<const std::uint8_t> Read(std::size_t count);

    std::size_t Position() const { return m_position; }
    // Moves to position (at most the end).
    void Seek(std::size_t position) { m_position = std::min(position, m_bytes.size()); }
    std::size_t Size() const { return m_bytes.size(); }

private:
    std::string m_bytes;
    std::size_t m_position = 0;
};

// A text stream written at its end.
class TTextStream {
public:
    void Write(std::string_view text) { m_text.append(text); }
    // Makes room for `more` characters, so that writing them allocates nothing.
    void Reserve(std::size_t more);
    const std::string& Text() const { return m_text; }
    std::string TakeText() { return std::move(m_text); }

private:
    std::string m_text;
};

class DecodeFile {
public:
    // Input and output of one block: 192 lines of 57 bytes, each written as
    // 76 characters and CR LF.
    static constexpr std::size_t kBlockBytes = 10944;
    static constexpr std::size_t kBlockChars = 14976;

    // Appends to Target the Base64 text of Source from its position to its
    // end: lines of 76 characters joined by CR LF, with no CR LF after the last
    // line unless the data is a positive multiple of kBlockBytes long. Works a
    // block at a time through one fixed output buffer. Stream failures pass on
    // to the caller.
    void StreamToBase64(TMemoryStream& Source, TTextStream& Target);
};
