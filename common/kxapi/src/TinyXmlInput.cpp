// Text laid out so that TinyXML's parser cannot read past it (see TinyXmlInput.h).
#include "TinyXmlInput.h"

#include <tinyxml.h>

#include <cstring>

namespace KX {

TinyXmlInput::TinyXmlInput(const char* text, std::size_t size)
{
    owned_.resize(bufferSize(text ? size : 0));
    layOut(text, size, owned_.data());
}

TinyXmlInput::TinyXmlInput(const std::string& text) : TinyXmlInput(text.data(), text.size()) {}

TinyXmlInput::TinyXmlInput(const char* text, std::size_t size, char* buffer)
{
    layOut(text, size, buffer);
}

void TinyXmlInput::layOut(const char* text, std::size_t size, char* buffer)
{
    if (!text)
        size = 0;
    const void* nul = size > 0 ? std::memchr(text, '\0', size) : nullptr;
    length_ = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : size;
    complete_ = nul == nullptr;
    if (length_ > 0)
        std::memcpy(buffer, text, length_);
    std::memset(buffer + length_, 0, bufferSize(size) - length_);
    text_ = buffer;
}

bool TinyXmlInput::parse(TiXmlDocument& doc) const
{
    doc.Clear();
    doc.ClearError();
    if (!complete_) {
        // The part after the NUL would be lost without a word; refuse the whole text instead.
        doc.SetError(TiXmlBase::TIXML_ERROR_EMBEDDED_NULL, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
        return false;
    }
    doc.Parse(text_);
    if (doc.Error()) {
        // TinyXML keeps what it read before the error; nobody should mistake that for the document.
        doc.Clear();
        return false;
    }
    return true;
}

bool parseXml(TiXmlDocument& doc, const char* text, std::size_t size)
{
    return TinyXmlInput(text, size).parse(doc);
}

bool parseXml(TiXmlDocument& doc, const std::string& text)
{
    return TinyXmlInput(text).parse(doc);
}

} // namespace KX
