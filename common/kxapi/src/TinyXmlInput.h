// Hands text to TinyXML's parser. Everything of ours that parses XML text (loaders, tools, tests,
// fuzz targets) goes through TinyXmlInput or parseXml, never through TiXmlDocument::Parse or
// LoadFile directly (LoadFile parses its copy of the file with a bare terminator). A loader reads
// the file itself and hands the bytes to parseXml.
//
// Why: TinyXML 2.6.2 reads past the end of the text it parses. In a UTF-8 document (one that
// starts with a byte-order mark or an XML declaration naming UTF-8 or no encoding),
// TiXmlBase::GetChar, inlined into TiXmlBase::ReadText, takes a character's length from its lead
// byte (0xC2..0xDF two bytes, 0xE0..0xEF three, 0xF0..0xF4 four) and steps that far even when the
// terminator comes sooner; ReadText then tests the byte it landed on. A text ending in a
// four-byte lead byte makes the parser read three bytes past its terminator, and whatever it
// finds there keeps it going. No step of the parser is longer than four bytes, every step starts
// on a byte that is not NUL, and every loop of the parser ends on a NUL. So a text followed by
// four NUL bytes (its terminator and three more) cannot be read past: the longest step from its
// last character ends on the last of them.
//
// Ownership: a TinyXmlInput owns its copy of the text, or uses a buffer the caller owns and keeps
// alive as long as the TinyXmlInput. Nothing is shared between objects; no GL context needed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class TiXmlDocument;

namespace KX {

// A text laid out for TinyXML's parser: the text up to its first NUL, then kPadding NUL bytes.
class TinyXmlInput {
public:
    // NUL bytes after the text: its terminator and three more (see above).
    static constexpr std::size_t kPadding = 4;

    // Bytes a caller's buffer needs for a text of `size` bytes.
    static constexpr std::size_t bufferSize(std::size_t size) { return size + kPadding; }

    // Copies `size` bytes of `text` (need not be terminated; null reads as empty) into a buffer
    // of its own.
    TinyXmlInput(const char* text, std::size_t size);
    explicit TinyXmlInput(const std::string& text);
    // Lays the text out at the start of `buffer`, bufferSize(size) bytes owned by the caller, which
    // must stay alive and unchanged as long as this object. Bytes past the text's first NUL are
    // all set to NUL.
    TinyXmlInput(const char* text, std::size_t size, char* buffer);

    TinyXmlInput(const TinyXmlInput&) = delete;
    TinyXmlInput& operator=(const TinyXmlInput&) = delete;

    // The padded text, valid as long as this object (and the caller's buffer).
    const char* c_str() const { return text_; }
    // Characters before the terminator.
    std::size_t length() const { return length_; }
    // False when the text held a NUL before its end; the part after it is never parsed.
    bool complete() const { return complete_; }

    // Parses the text into `doc`, whose earlier content is dropped. True when the whole text was
    // read without error; otherwise false, `doc` is left empty and doc.ErrorDesc() says why (a NUL
    // inside the text is TinyXML's "embedded null" error). [any thread, one object per thread]
    bool parse(TiXmlDocument& doc) const;

private:
    void layOut(const char* text, std::size_t size, char* buffer);

    std::vector<char> owned_; // empty when the caller gave the buffer
    const char* text_ = nullptr;
    std::size_t length_ = 0;
    bool complete_ = true;
};

// Parses `size` bytes of `text` into `doc` through a padded copy; as TinyXmlInput::parse.
bool parseXml(TiXmlDocument& doc, const char* text, std::size_t size);
// Parses the whole of `text` (a NUL inside it is an error); as TinyXmlInput::parse.
bool parseXml(TiXmlDocument& doc, const std::string& text);

} // namespace KX
