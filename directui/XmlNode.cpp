#include "directui/XmlNode.h"

#include <cstring>
#include <utility>

#include "platform/Text.h"

// Sections: node data and handles; text decoding and entities; the tokenizer; the element parser;
// ParseString and lookups.

struct XmlNodeData {
    std::optional<std::u16string> name;  // none for the document
    bool isDeclaration = false;
    XmlNodeData* parent = nullptr;       // not owned
    std::vector<XmlNodeData*> children;  // each holds one reference
    std::vector<std::u16string> texts;
    std::vector<XmlClear> clears;
    std::vector<XmlAttribute> attributes;
    std::vector<int32_t> order;
    int references = 1;
};

namespace {

struct ClearTagText {
    std::u16string_view opening;
    std::u16string_view closing;
};

constexpr ClearTagText kClearTags[] = {
    {u"<![CDATA[", u"]]>"},
    {u"<!DOCTYPE", u">"},
    {u"<!--", u"-->"},
    {u"<PRE>", u"</PRE>"},
};

void AddRef(XmlNodeData* d) {
    if (d) ++d->references;
}

// Releasing a node releases its children; a child another handle still holds is detached first,
// so it never points at a freed parent. Deep trees are refused by the parser, so the recursion
// stays within kXmlMaxDepth.
void Release(XmlNodeData* d) {
    if (!d || --d->references > 0) return;
    for (XmlNodeData* child : d->children) {
        child->parent = nullptr;
        Release(child);
    }
    delete d;
}

const std::vector<std::u16string> kNoTexts;
const std::vector<XmlClear> kNoClears;
const std::vector<XmlAttribute> kNoAttributes;
const std::vector<int32_t> kNoOrder;

bool IsBlank(char16_t c) {
    return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ';
}

char16_t Lower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

}  // namespace

std::u16string_view XmlClear::Opening() const {
    return kClearTags[tag].opening;
}
std::u16string_view XmlClear::Closing() const {
    return kClearTags[tag].closing;
}

// ---- Node handles ----

CXmlNode::CXmlNode(const CXmlNode& other) : data_(other.data_) {
    AddRef(data_);
}
CXmlNode::CXmlNode(CXmlNode&& other) noexcept : data_(std::exchange(other.data_, nullptr)) {}
CXmlNode& CXmlNode::operator=(CXmlNode other) noexcept {
    std::swap(data_, other.data_);
    return *this;
}
CXmlNode::~CXmlNode() {
    Release(data_);
}

// ---- Text decoding and entities ----

std::u16string CXmlNode::DecodeText(const void* bytes, size_t length) {
    const auto* b = static_cast<const unsigned char*>(bytes);
    if (!b) return {};
    if (length >= 4 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        const bool little = b[0] == 0xFF;
        std::u16string out;
        out.reserve((length - 2) / 2);
        for (size_t i = 2; i + 1 < length; i += 2) {
            out.push_back(little ? static_cast<char16_t>(b[i] | (b[i + 1] << 8))
                                 : static_cast<char16_t>((b[i] << 8) | b[i + 1]));
        }
        return out;
    }
    if (length >= 4 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        return Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(b) + 3, length - 3));
    }
    return AnsiToUtf16(std::string_view(reinterpret_cast<const char*>(b), length));
}

bool XmlDecodeEntities(std::u16string_view in, std::u16string& out) {
    static constexpr struct {
        std::u16string_view name;
        char16_t ch;
    } kNamed[] = {{u"&amp;", u'&'}, {u"&lt;", u'<'}, {u"&gt;", u'>'}, {u"&quot;", u'"'}, {u"&apos;", u'\''}};
    out.clear();
    out.reserve(in.size());
    size_t i = 0;
    while (i < in.size()) {
        const size_t amp = in.find(u'&', i);
        if (amp == std::u16string_view::npos) {
            out.append(in.substr(i));
            break;
        }
        out.append(in.substr(i, amp - i));
        i = amp;
        if (i + 1 < in.size() && in[i + 1] == u'#') {
            size_t j = i + 2;
            const bool hex = j < in.size() && (in[j] == u'x' || in[j] == u'X');
            if (hex) ++j;
            const size_t first = j;
            uint32_t code = 0;
            for (; j < in.size() && in[j] != u';'; ++j) {
                const int d = hex ? HexDigit(in[j]) : (in[j] >= u'0' && in[j] <= u'9' ? in[j] - u'0' : -1);
                if (d < 0) return false;
                code = (code * (hex ? 16 : 10) + static_cast<uint32_t>(d)) & 0xFFFF;
            }
            if (j >= in.size() || j == first) return false;
            out.push_back(static_cast<char16_t>(code));
            i = j + 1;
            continue;
        }
        bool matched = false;
        for (const auto& e : kNamed) {
            if (in.size() - i >= e.name.size() && EqualsNoCase(in.substr(i, e.name.size()), e.name)) {
                out.push_back(e.ch);
                i += e.name.size();
                matched = true;
                break;
            }
        }
        if (!matched) return false;
    }
    return true;
}

// ---- Tokenizer and element parser ----

namespace {

enum class Tok {
    End,
    Clear,
    Quoted,
    Plain,
    ShortClose,   // "/>"
    EndTagStart,  // "</"
    DeclStart,    // "<?"
    StartTag,     // "<"
    Equals,
    Close,  // ">"
};

struct Token {
    Tok kind = Tok::End;
    size_t start = 0;  // position of the token's first character (after blanks)
    size_t end = 0;    // position after the token
    int clearTag = 0;
};

enum class State { StartTag, AttrName, Value, Content };

// How an element's parse ended.
enum class Outcome { Complete, Abort };

class XmlParser {
public:
    explicit XmlParser(const char16_t* text)
        : text_(text), length_(std::char_traits<char16_t>::length(text)) {}

    int error() const { return error_; }

    // Parses `el` (the document starts in content state) until it is complete.
    Outcome ParseElement(XmlNodeData* el, int depth) {
        State state = el->name ? State::StartTag : State::Content;
        std::u16string attrName;
        size_t textStart = pos_;
        for (;;) {
            if (state != State::Content) {
                const Token t = Next();
                switch (state) {
                    case State::StartTag:
                        if (t.kind == Tok::Plain) {
                            if (!Take(t, attrName)) return Abort(kXmlTooLarge);
                            state = State::AttrName;
                        } else if (t.kind == Tok::Close) {
                            state = State::Content;
                            textStart = pos_;
                        } else if (t.kind == Tok::ShortClose) {
                            return Finish(el);
                        } else {
                            return Abort(kXmlUnexpectedToken);
                        }
                        break;
                    case State::AttrName:
                        if (t.kind == Tok::Plain) {
                            el->attributes.push_back({std::move(attrName), std::nullopt});
                            if (!Take(t, attrName)) return Abort(kXmlTooLarge);
                        } else if (t.kind == Tok::Close || t.kind == Tok::ShortClose) {
                            bool shortClose = t.kind == Tok::ShortClose;
                            if (el->isDeclaration) {
                                if (!attrName.empty() && attrName.back() == u'?') attrName.pop_back();
                                if (!IsTopLevel(el)) shortClose = true;
                            }
                            if (!attrName.empty())
                                el->attributes.push_back({std::move(attrName), std::nullopt});
                            attrName.clear();
                            if (shortClose) return Finish(el);
                            state = State::Content;
                            textStart = pos_;
                        } else if (t.kind == Tok::Equals) {
                            state = State::Value;
                        } else {
                            return Abort(kXmlUnexpectedToken);
                        }
                        break;
                    case State::Value:
                        if (t.kind == Tok::Plain || t.kind == Tok::Quoted) {
                            std::u16string_view raw(text_ + t.start, t.end - t.start);
                            if (el->isDeclaration && !raw.empty() && raw.back() == u'?') raw.remove_suffix(1);
                            if (t.kind == Tok::Quoted) raw = raw.substr(1, raw.size() - 2);
                            if (raw.size() > kXmlMaxItemLength) return Abort(kXmlTooLarge);
                            std::u16string value;
                            if (!XmlDecodeEntities(raw, value)) return Abort(kXmlBadEntity);
                            el->attributes.push_back({std::move(attrName), std::move(value)});
                            attrName.clear();
                            state = State::StartTag;
                        } else {
                            return Abort(kXmlUnexpectedToken);
                        }
                        break;
                    case State::Content:
                        break;
                }
                continue;
            }

            // Content: character data runs up to the next markup; other tokens belong to it.
            const Token t = Next();
            switch (t.kind) {
                case Tok::StartTag:
                case Tok::DeclStart: {
                    if (!Flush(el, textStart, t.start)) return Outcome::Abort;
                    const Token nameTok = Next();
                    if (nameTok.kind != Tok::Plain) return Abort(kXmlMissingTagName);
                    if (depth + 1 > kXmlMaxDepth) return Abort(kXmlTooDeep);
                    if (++elements_ > kXmlMaxElements) return Abort(kXmlTooLarge);
                    auto* child = new XmlNodeData;
                    child->parent = el;
                    child->isDeclaration = t.kind == Tok::DeclStart;
                    el->order.push_back(static_cast<int32_t>(el->children.size() * 4 + kOrderChild));
                    el->children.push_back(child);
                    child->name.emplace();
                    if (!Take(nameTok, *child->name)) return Abort(kXmlTooLarge);
                    if (ParseElement(child, depth + 1) == Outcome::Abort) return Outcome::Abort;
                    if (pendingEnd_) {
                        if (!el->name) return Abort(kXmlUnmatchedEndTag);
                        if (NamesMatch(*el->name, *pendingEnd_)) pendingEnd_.reset();
                        return Finish(el);
                    }
                    textStart = pos_;
                    break;
                }
                case Tok::EndTagStart: {
                    if (!Flush(el, textStart, t.start)) return Outcome::Abort;
                    const Token nameTok = Next();
                    if (nameTok.kind != Tok::Plain) return Abort(kXmlMissingEndTagName);
                    if (Next().kind != Tok::Close) return Abort(kXmlMissingEndTagName);
                    if (!el->name || !NamesMatch(*el->name, nameTok.start)) {
                        error_ = kXmlMissingEndTag;
                        pendingEnd_ = nameTok.start;
                    }
                    return Finish(el);
                }
                case Tok::Clear: {
                    if (!Flush(el, textStart, t.start)) return Outcome::Abort;
                    if (!ReadClear(el, t)) return Outcome::Abort;
                    textStart = pos_;
                    break;
                }
                case Tok::End:
                    if (!Flush(el, textStart, t.start)) return Outcome::Abort;
                    if (el->name && !el->isDeclaration) error_ = kXmlMissingEndTag;
                    return Finish(el);
                default:
                    break;
            }
        }
    }

private:
    static bool IsTopLevel(const XmlNodeData* el) { return el->parent && !el->parent->name; }

    Outcome Abort(int code) {
        error_ = code;
        return Outcome::Abort;
    }

    static Outcome Finish(XmlNodeData* el) {
        el->children.shrink_to_fit();
        el->texts.shrink_to_fit();
        el->clears.shrink_to_fit();
        el->attributes.shrink_to_fit();
        el->order.shrink_to_fit();
        return Outcome::Complete;
    }

    bool Take(const Token& t, std::u16string& out) const {
        if (t.end - t.start > kXmlMaxItemLength) return false;
        out.assign(text_ + t.start, t.end - t.start);
        return true;
    }

    // An element name matches an end tag when it equals the start of the end tag's text (any case)
    // and the character after that is a blank, "/", "<", "=", ">" or the end.
    bool NamesMatch(const std::u16string& name, size_t at) const {
        if (length_ - at < name.size()) return false;
        for (size_t i = 0; i < name.size(); ++i) {
            if (Lower(name[i]) != Lower(text_[at + i])) return false;
        }
        const char16_t after = text_[at + name.size()];
        return after == 0 || IsBlank(after) || after == u'/' || after == u'<' || after == u'=' ||
               after == u'>';
    }

    Token Next() {
        while (pos_ < length_ && IsBlank(text_[pos_])) ++pos_;
        Token t;
        t.start = pos_;
        if (pos_ >= length_) {
            t.kind = Tok::End;
            t.end = pos_;
            return t;
        }
        const std::u16string_view rest(text_ + pos_, length_ - pos_);
        for (int i = 0; i < 4; ++i) {
            if (rest.substr(0, kClearTags[i].opening.size()) == kClearTags[i].opening) {
                t.kind = Tok::Clear;
                t.clearTag = i;
                pos_ += kClearTags[i].opening.size();
                t.end = pos_;
                return t;
            }
        }
        const char16_t c = rest[0];
        const char16_t c1 = rest.size() > 1 ? rest[1] : 0;
        if (c == u'"' || c == u'\'') {
            size_t j = pos_ + 1;
            while (j < length_ && text_[j] != c && text_[j] != u'<') ++j;
            if (j < length_ && text_[j] == c) {
                t.kind = Tok::Quoted;
                pos_ = j + 1;
                t.end = pos_;
                return t;
            }
            return Plain(t);
        }
        if (c == u'/') {
            if (c1 == u'>') {
                t.kind = Tok::ShortClose;
                pos_ += 2;
                t.end = pos_;
                return t;
            }
            return Plain(t);
        }
        if (c == u'<') {
            t.kind = c1 == u'/' ? Tok::EndTagStart : c1 == u'?' ? Tok::DeclStart : Tok::StartTag;
            pos_ += t.kind == Tok::StartTag ? 1 : 2;
            t.end = pos_;
            return t;
        }
        if (c == u'=' || c == u'>') {
            t.kind = c == u'=' ? Tok::Equals : Tok::Close;
            ++pos_;
            t.end = pos_;
            return t;
        }
        return Plain(t);
    }

    // Plain text from the current position up to the next blank, "<", "=", ">" or "/>"; at least
    // one character.
    Token Plain(Token t) {
        size_t j = pos_ + 1;
        while (j < length_) {
            const char16_t c = text_[j];
            if (IsBlank(c) || c == u'<' || c == u'=' || c == u'>' ||
                (c == u'/' && j + 1 < length_ && text_[j + 1] == u'>')) {
                break;
            }
            ++j;
        }
        t.kind = Tok::Plain;
        pos_ = j;
        t.end = j;
        return t;
    }

    bool ReadClear(XmlNodeData* el, const Token& t) {
        const std::u16string_view rest(text_ + t.end, length_ - t.end);
        std::u16string_view closing = kClearTags[t.clearTag].closing;
        if (t.clearTag == kClearDocType) {
            const size_t gt = rest.find(u'>');
            const size_t lt = rest.find(u'<');
            if (lt != std::u16string_view::npos && (gt == std::u16string_view::npos || lt < gt))
                closing = u"]>";
        }
        const size_t at = rest.find(closing);
        if (at == std::u16string_view::npos) {
            error_ = kXmlUnmatchedClearTag;
            return false;
        }
        if (at > kXmlMaxItemLength) {
            error_ = kXmlTooLarge;
            return false;
        }
        el->order.push_back(static_cast<int32_t>(el->clears.size() * 4 + kOrderClear));
        el->clears.push_back({std::u16string(rest.substr(0, at)), static_cast<XmlClearTag>(t.clearTag)});
        pos_ = t.end + at + closing.size();
        return true;
    }

    // Adds the character data [from, to) as a text; a comment that sits between two texts is
    // dropped and the texts merge.
    bool Flush(XmlNodeData* el, size_t from, size_t to) {
        std::u16string_view raw(text_ + from, to > from ? to - from : 0);
        while (!raw.empty() && IsBlank(raw.front())) raw.remove_prefix(1);
        while (!raw.empty() && IsBlank(raw.back())) raw.remove_suffix(1);
        if (raw.empty()) return true;
        if (raw.size() > kXmlMaxItemLength) {
            error_ = kXmlTooLarge;
            return false;
        }
        std::u16string text;
        if (!XmlDecodeEntities(raw, text)) {
            error_ = kXmlBadEntity;
            return false;
        }
        const size_t n = el->order.size();
        if (!el->texts.empty() && !el->clears.empty() && n >= 2 && (el->order[n - 2] & 3) == kOrderText &&
            (el->order[n - 1] & 3) == kOrderClear && el->clears[el->order[n - 1] / 4].tag == kClearComment) {
            el->clears.erase(el->clears.begin() + el->order[n - 1] / 4);
            el->order.pop_back();
            std::u16string& previous = el->texts[el->order[n - 2] / 4];
            if (previous.size() + text.size() > kXmlMaxItemLength) {
                error_ = kXmlTooLarge;
                return false;
            }
            previous += text;
            return true;
        }
        el->order.push_back(static_cast<int32_t>(el->texts.size() * 4 + kOrderText));
        el->texts.push_back(std::move(text));
        return true;
    }

    const char16_t* text_;
    size_t length_;
    size_t pos_ = 0;
    int error_ = kXmlOk;
    size_t elements_ = 0;
    std::optional<size_t> pendingEnd_;  // position of the name of an end tag no element matched yet
};

}  // namespace

// ---- ParseString and lookups ----

CXmlNode CXmlNode::ParseString(const char16_t* text, int* errorCode) {
    if (!text) {
        if (errorCode) *errorCode = kXmlNoElement;
        return {};
    }
    CXmlNode doc(new XmlNodeData);
    XmlParser parser(text);
    parser.ParseElement(doc.data_, 0);
    const int code = doc.data_->children.empty() ? kXmlNoElement : parser.error();
    if (errorCode) *errorCode = code;
    if (code != kXmlOk && code != kXmlMissingEndTag && code != kXmlNoElement) return {};
    const XmlNodeData* d = doc.data_;
    if (d->children.size() == 1 && d->texts.empty() && d->clears.empty() && d->attributes.empty()) {
        XmlNodeData* only = d->children.front();
        AddRef(only);
        return CXmlNode(only);  // the document is released with `doc`, detaching its child
    }
    return doc;
}

CXmlNode CXmlNode::GetChildNode(std::u16string_view name, int* iterator) const {
    if (!data_) return {};
    const int from = iterator && *iterator > 0 ? *iterator : 0;
    for (size_t i = static_cast<size_t>(from); i < data_->children.size(); ++i) {
        XmlNodeData* c = data_->children[i];
        if (c->name && EqualsNoCase(*c->name, name)) {
            if (iterator) *iterator = static_cast<int>(i) + 1;
            AddRef(c);
            return CXmlNode(c);
        }
    }
    return {};
}

CXmlNode CXmlNode::GetChildNode(int index) const {
    if (!data_ || index < 0 || static_cast<size_t>(index) >= data_->children.size()) return {};
    XmlNodeData* c = data_->children[static_cast<size_t>(index)];
    AddRef(c);
    return CXmlNode(c);
}

int CXmlNode::GetChildCount() const {
    return data_ ? static_cast<int>(data_->children.size()) : 0;
}

const std::u16string* CXmlNode::GetAttribute(std::u16string_view name) const {
    if (!data_) return nullptr;
    for (const XmlAttribute& a : data_->attributes) {
        if (EqualsNoCase(a.name, name)) return a.value ? &*a.value : nullptr;
    }
    return nullptr;
}

const std::u16string* CXmlNode::GetName() const {
    return data_ && data_->name ? &*data_->name : nullptr;
}

bool CXmlNode::IsDeclaration() const {
    return data_ && data_->isDeclaration;
}

CXmlNode CXmlNode::GetParent() const {
    if (!data_ || !data_->parent) return {};
    AddRef(data_->parent);
    return CXmlNode(data_->parent);
}

const std::vector<std::u16string>& CXmlNode::Texts() const {
    return data_ ? data_->texts : kNoTexts;
}
const std::vector<XmlClear>& CXmlNode::Clears() const {
    return data_ ? data_->clears : kNoClears;
}
const std::vector<XmlAttribute>& CXmlNode::Attributes() const {
    return data_ ? data_->attributes : kNoAttributes;
}
const std::vector<int32_t>& CXmlNode::Order() const {
    return data_ ? data_->order : kNoOrder;
}
int CXmlNode::References() const {
    return data_ ? data_->references : 0;
}
