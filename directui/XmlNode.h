// The tolerant XML reader of skin definitions: decodes the file's bytes to UTF-16 and parses them
// into a tree of reference-counted element nodes. It never validates and recovers from missing end
// tags; comments, CDATA sections, DOCTYPE declarations and PRE blocks are kept as opaque items.
// Threading: node handles are not thread-safe; a tree is built and read on one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct XmlNodeData;

// Codes a parse records (ParseString's errorCode).
enum XmlError : int {
    kXmlOk = 0,
    kXmlMissingEndTag = 1,      // text ended inside an element, or an end tag of another name closed it
    kXmlNoElement = 2,          // the text holds no element
    kXmlMissingTagName = 4,     // "<" or "<?" not followed by a name
    kXmlMissingEndTagName = 5,  // "</" not followed by a name and ">"
    kXmlUnmatchedEndTag = 6,    // an end tag that matches no open element
    kXmlUnmatchedClearTag = 7,  // the closing sequence of a comment, CDATA, DOCTYPE or PRE is missing
    kXmlUnexpectedToken = 8,    // inside a start tag
    kXmlBadEntity = 12,         // character entity not in the table or malformed
    kXmlTooDeep = 13,           // elements nested deeper than kXmlMaxDepth
    kXmlTooLarge = 14,  // an item longer than kXmlMaxItemLength, or more than kXmlMaxElements elements
};

// Limits that keep a hostile definition from exhausting the stack or memory. Real skins nest
// about ten levels, hold a few thousand elements and attribute values of a few hundred units.
inline constexpr int kXmlMaxDepth = 256;
inline constexpr size_t kXmlMaxItemLength = 65536;  // UTF-16 units of a name, value, text or clear item
inline constexpr size_t kXmlMaxElements = 200000;

// Opaque items, in the order of the table of clear tags.
enum XmlClearTag : int { kClearCData = 0, kClearDocType = 1, kClearComment = 2, kClearPre = 3 };

struct XmlClear {
    std::u16string content;  // verbatim, between the opening and closing tags
    XmlClearTag tag;
    std::u16string_view Opening() const;
    std::u16string_view Closing() const;
};

struct XmlAttribute {
    std::u16string name;
    std::optional<std::u16string> value;  // none for an attribute written without "="
};

// Kinds of the entries of Order(): index * 4 + kind.
enum XmlOrderKind : int { kOrderChild = 0, kOrderText = 2, kOrderClear = 3 };

// A handle to an element (or to the document). Copying shares the node; the node and its children
// are released with the last handle. A handle to nothing is the empty node: every lookup that fails
// returns it and reads on it return nothing. A child kept alive by a handle outlives its parent
// (it then has no parent).
class CXmlNode {
public:
    CXmlNode() = default;
    CXmlNode(const CXmlNode& other);
    CXmlNode(CXmlNode&& other) noexcept;
    CXmlNode& operator=(CXmlNode other) noexcept;
    ~CXmlNode();

    // Bytes of a definition to text: FF FE is UTF-16 little endian, FE FF big endian, EF BB BF
    // UTF-8 (the marks are dropped; a mark counts only in inputs of at least 4 bytes); anything
    // else is the "ANSI" code page (UTF-8 when valid, else GB18030).
    static std::u16string DecodeText(const void* bytes, size_t length);

    // Parses zero-terminated text; nullptr gives the empty node. Codes 0, 1 and 2 return the
    // (possibly partial) tree, any other code the empty node. A document with exactly one child
    // and nothing else is replaced by that child.
    static CXmlNode ParseString(const char16_t* text, int* errorCode = nullptr);

    bool IsEmpty() const { return data_ == nullptr; }
    explicit operator bool() const { return data_ != nullptr; }
    bool operator==(const CXmlNode& other) const { return data_ == other.data_; }

    // First child at or after *iterator whose name equals `name` without regard to case; the
    // iterator (optional) moves past the match.
    CXmlNode GetChildNode(std::u16string_view name, int* iterator = nullptr) const;
    CXmlNode GetChildNode(int index) const;
    int GetChildCount() const;
    // Value of the first attribute of that name (any case); nullptr when there is none or it has
    // no value. The pointer lives as long as the node.
    const std::u16string* GetAttribute(std::u16string_view name) const;
    // nullptr for the document and the empty node.
    const std::u16string* GetName() const;

    bool IsDeclaration() const;
    CXmlNode GetParent() const;
    const std::vector<std::u16string>& Texts() const;
    const std::vector<XmlClear>& Clears() const;
    const std::vector<XmlAttribute>& Attributes() const;
    const std::vector<int32_t>& Order() const;
    int References() const;

    // Adopts node data that already carries one reference for this handle.
    explicit CXmlNode(XmlNodeData* adopted) : data_(adopted) {}

private:
    XmlNodeData* data_ = nullptr;
};

// Entity decoding of attribute values and texts: "&#65;", "&#x41;" (codes modulo 65536) and the
// five named entities (any case). False for any other "&" sequence.
bool XmlDecodeEntities(std::u16string_view in, std::u16string& out);
