#include "XmlTree.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace {

bool IsSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// The XML name characters a provisioning document uses; other scripts'
// letters are taken too, as the standard allows.
bool IsNameStart(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_' || c == L':' || c >= 0xC0;
}

bool IsNameCharacter(wchar_t c)
{
    return IsNameStart(c) || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.' || c == 0xB7;
}

class Reader
{
public:
    explicit Reader(const std::wstring& text) : text_(text) {}

    bool Document(XmlElement& root)
    {
        if (At(L"\xFEFF"))
            ++at_;
        if (At(L"<?xml") && (at_ + 5 >= text_.size() || IsSpace(text_[at_ + 5])) && !Declaration())
            return false;
        if (!Miscellany())
            return false;
        if (!At(L"<") || !Element(root, 1))
            return Fail(L"has no element");
        if (!Miscellany())
            return false;
        return at_ == text_.size() || Fail(L"goes on after its element");
    }

    std::wstring Error() const
    {
        unsigned line = 1;
        for (size_t i = 0; i < at_ && i < text_.size(); ++i)
            line += text_[i] == L'\n';
        return L"is not well-formed XML (line " + std::to_wstring(line) + L"): it " + error_;
    }

private:
    bool Fail(const wchar_t* reason)
    {
        if (error_.empty())
            error_ = reason;
        return false;
    }

    bool At(const wchar_t* literal) const
    {
        return text_.compare(at_, std::wcslen(literal), literal) == 0;
    }

    void SkipSpace()
    {
        while (at_ < text_.size() && IsSpace(text_[at_]))
            ++at_;
    }

    // <?xml version="1.n" encoding="..." standalone="yes|no"?>: its version
    // first, the others perhaps, in this order, and nothing else.
    bool Declaration()
    {
        static const wchar_t* const kPseudoAttributes[] = {L"version", L"encoding", L"standalone"};
        at_ += 5;
        size_t next = 0;
        for (;;) {
            const size_t before = at_;
            SkipSpace();
            if (At(L"?>")) {
                at_ += 2;
                return next > 0 || Fail(L"has an XML declaration without its version");
            }
            if (at_ == before || at_ >= text_.size())
                return Fail(L"has an XML declaration that is not one");
            size_t which = next;
            while (which < std::size(kPseudoAttributes) && !At(kPseudoAttributes[which]))
                ++which;
            if (which == std::size(kPseudoAttributes) || (next == 0 && which != 0))
                return Fail(L"has an XML declaration that is not one");
            at_ += std::wcslen(kPseudoAttributes[which]);
            SkipSpace();
            if (!At(L"="))
                return Fail(L"has an XML declaration that is not one");
            ++at_;
            SkipSpace();
            const wchar_t quote = at_ < text_.size() ? text_[at_] : L'\0';
            const size_t end = quote == L'"' || quote == L'\'' ? text_.find(quote, at_ + 1) : std::wstring::npos;
            if (end == std::wstring::npos || !IsPseudoValue(which, text_.substr(at_ + 1, end - at_ - 1)))
                return Fail(L"has an XML declaration that is not one");
            at_ = end + 1;
            next = which + 1;
        }
    }

    static bool IsPseudoValue(size_t which, const std::wstring& value)
    {
        auto isLetter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
        auto isDigit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
        switch (which) {
        case 0: // 1.n
            return value.size() > 2 && value.compare(0, 2, L"1.") == 0 &&
                   std::all_of(value.begin() + 2, value.end(), isDigit);
        case 1: // a letter, then letters, digits, '.', '_' and '-'
            return !value.empty() && isLetter(value[0]) &&
                   std::all_of(value.begin(), value.end(), [&](wchar_t c) {
                       return isLetter(c) || isDigit(c) || c == L'.' || c == L'_' || c == L'-';
                   });
        default:
            return value == L"yes" || value == L"no";
        }
    }

    // Space and comments between the parts of a document.
    bool Miscellany()
    {
        for (;;) {
            SkipSpace();
            if (At(L"<!--")) {
                if (!Comment())
                    return false;
            } else if (At(L"<?") || At(L"<!")) {
                return Fail(L"has a document type or an instruction");
            } else {
                return true;
            }
        }
    }

    bool Comment()
    {
        at_ += 4;
        const size_t end = text_.find(L"--", at_);
        if (end == std::wstring::npos || text_.compare(end, 3, L"-->") != 0)
            return Fail(L"has a comment that does not end as XML's do");
        at_ = end + 3;
        return true;
    }

    bool Name(std::wstring& name)
    {
        if (at_ >= text_.size() || !IsNameStart(text_[at_]))
            return Fail(L"has a name that is no XML name");
        const size_t start = at_;
        while (at_ < text_.size() && IsNameCharacter(text_[at_]))
            ++at_;
        name.assign(text_, start, at_ - start);
        return true;
    }

    // An entity or character reference after its '&', appended to out.
    bool Reference(std::wstring& out)
    {
        const size_t end = text_.find(L';', at_);
        if (end == std::wstring::npos || end - at_ > 10)
            return Fail(L"has an '&' that starts no reference");
        const std::wstring name(text_, at_, end - at_);
        at_ = end + 1;
        static const struct
        {
            const wchar_t* name;
            wchar_t character;
        } entities[] = {{L"amp", L'&'}, {L"lt", L'<'}, {L"gt", L'>'}, {L"quot", L'"'}, {L"apos", L'\''}};
        for (const auto& entity : entities) {
            if (name == entity.name) {
                out += entity.character;
                return true;
            }
        }
        const bool hex = name.size() > 2 && name[0] == L'#' && name[1] == L'x';
        const size_t digits = hex ? 2 : 1;
        if (name.size() <= digits || name[0] != L'#')
            return Fail(L"has an entity XML does not define");
        unsigned long code = 0;
        for (size_t i = digits; i < name.size(); ++i) {
            const wchar_t c = name[i];
            unsigned digit = 0;
            if (c >= L'0' && c <= L'9')
                digit = static_cast<unsigned>(c - L'0');
            else if (hex && c >= L'a' && c <= L'f')
                digit = static_cast<unsigned>(c - L'a' + 10);
            else if (hex && c >= L'A' && c <= L'F')
                digit = static_cast<unsigned>(c - L'A' + 10);
            else
                return Fail(L"has a character reference that is no number");
            code = code * (hex ? 16 : 10) + digit;
        }
        // The Basic Multilingual Plane's characters XML allows.
        if (code > 0xFFFD || (code < 0x20 && code != 0x9 && code != 0xA && code != 0xD) ||
            (code >= 0xD800 && code <= 0xDFFF))
            return Fail(L"refers to a character XML does not allow");
        out += static_cast<wchar_t>(code);
        return true;
    }

    bool AttributeValue(std::wstring& value)
    {
        if (at_ >= text_.size() || (text_[at_] != L'"' && text_[at_] != L'\''))
            return Fail(L"has an attribute without a quoted value");
        const wchar_t quote = text_[at_++];
        for (;;) {
            if (at_ >= text_.size())
                return Fail(L"has an attribute value that does not end");
            const wchar_t c = text_[at_++];
            if (c == quote)
                return true;
            if (c == L'<')
                return Fail(L"has a '<' in an attribute value");
            if (c == L'&') {
                if (!Reference(value))
                    return false;
            } else {
                // As XML normalizes an attribute's white space.
                value += IsSpace(c) ? L' ' : c;
            }
        }
    }

    // The element whose '<' is at the reader, depth levels down.
    bool Element(XmlElement& element, unsigned depth)
    {
        if (depth > kMaxXmlDepth)
            return Fail(L"is nested deeper than the installer reads");
        ++at_;
        if (!Name(element.name))
            return false;
        for (;;) {
            const size_t before = at_;
            SkipSpace();
            if (At(L"/>")) {
                at_ += 2;
                return true;
            }
            if (At(L">")) {
                ++at_;
                break;
            }
            if (at_ == before)
                return Fail(L"has a tag that does not end");
            std::wstring name, value;
            if (!Name(name))
                return false;
            SkipSpace();
            if (!At(L"="))
                return Fail(L"has an attribute without a value");
            ++at_;
            SkipSpace();
            if (!AttributeValue(value))
                return false;
            if (element.Attribute(name.c_str()))
                return Fail(L"has an attribute twice in one tag");
            element.attributes.emplace_back(std::move(name), std::move(value));
        }
        for (;;) {
            if (at_ >= text_.size())
                return Fail(L"ends inside an element");
            if (At(L"</")) {
                at_ += 2;
                std::wstring name;
                if (!Name(name))
                    return false;
                SkipSpace();
                if (name != element.name || !At(L">"))
                    return Fail(L"closes an element it did not open");
                ++at_;
                return true;
            }
            if (At(L"<!--")) {
                if (!Comment())
                    return false;
            } else if (At(L"<?") || At(L"<!")) {
                return Fail(L"has CDATA or an instruction");
            } else if (At(L"<")) {
                element.children.emplace_back();
                if (!Element(element.children.back(), depth + 1))
                    return false;
            } else if (At(L"&")) {
                // Text is not kept; its references must still be sound.
                ++at_;
                std::wstring ignored;
                if (!Reference(ignored))
                    return false;
            } else {
                ++at_;
            }
        }
    }

    const std::wstring& text_;
    size_t at_ = 0;
    std::wstring error_;
};

} // namespace

const std::wstring* XmlElement::Attribute(const wchar_t* attribute) const
{
    for (const auto& [key, value] : attributes)
        if (key == attribute)
            return &value;
    return nullptr;
}

bool ReadXmlTree(const std::wstring& text, XmlElement& root, std::wstring& error)
{
    Reader reader(text);
    if (reader.Document(root))
        return true;
    error = reader.Error();
    return false;
}
