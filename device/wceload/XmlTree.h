// The elements of an XML document as a tree, read by a small strict reader
// made for the documents a CAB brings: elements, attributes, text, comments
// and the XML declaration. Anything else — a document type, a processing
// instruction, CDATA, an entity the XML standard does not define — is
// refused, and so is a document nested deeper than the reader's limit.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct XmlElement
{
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> attributes;
    std::vector<XmlElement> children;

    // The attribute's value; null when the element has none of that name.
    const std::wstring* Attribute(const wchar_t* attribute) const;
};

// The deepest elements the reader takes lie this many levels down.
constexpr unsigned kMaxXmlDepth = 16;

// The single element of the document in text, with its children; false with
// the reason (and the line) when the text is not a well-formed document the
// reader takes.
bool ReadXmlTree(const std::wstring& text, XmlElement& root, std::wstring& error);
