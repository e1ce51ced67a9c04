#include <gtest/gtest.h>

#include <string>

#include "directui/XmlNode.h"
#include "platform/Text.h"

namespace {

// A compact picture of a tree: name (with "?" for declarations, "#doc" for the document),
// attributes in parentheses, then children, texts ("...") and clear items (!tag:content) in order.
std::string Dump(const CXmlNode& n) {
    if (n.IsEmpty()) return "(empty)";
    std::string out = n.IsDeclaration() ? "?" : "";
    out += n.GetName() ? Utf16ToUtf8(*n.GetName()) : "#doc";
    if (!n.Attributes().empty()) {
        out += "(";
        for (size_t i = 0; i < n.Attributes().size(); ++i) {
            const XmlAttribute& a = n.Attributes()[i];
            if (i) out += ",";
            out += Utf16ToUtf8(a.name);
            if (a.value) out += "=" + Utf16ToUtf8(*a.value);
        }
        out += ")";
    }
    if (n.Order().empty()) return out;
    out += "{";
    for (size_t i = 0; i < n.Order().size(); ++i) {
        const int o = n.Order()[i];
        if (i) out += " ";
        switch (o & 3) {
            case kOrderChild:
                out += Dump(n.GetChildNode(o / 4));
                break;
            case kOrderText:
                out += "\"" + Utf16ToUtf8(n.Texts()[o / 4]) + "\"";
                break;
            case kOrderClear:
                out += "!" + std::to_string(n.Clears()[o / 4].tag) + ":" +
                       Utf16ToUtf8(n.Clears()[o / 4].content);
                break;
        }
    }
    return out + "}";
}

struct ParseCase {
    const char16_t* text;
    int code;
    const char* tree;
};

}  // namespace

TEST(XmlReader, EdgeCases) {
    const ParseCase cases[] = {
        // Unclosed and unmatched tags.
        {u"<a><b></a>", kXmlMissingEndTag, "a{b}"},
        {u"<a><b><c></a>", kXmlMissingEndTag, "a{b{c}}"},
        {u"<a>", kXmlMissingEndTag, "a"},
        {u"<a></b>", kXmlUnmatchedEndTag, "(empty)"},
        {u"<a><b></c></a>", kXmlUnmatchedEndTag, "(empty)"},
        {u"<A></a >", kXmlOk, "A"},
        {u"<ab></a>", kXmlUnmatchedEndTag, "(empty)"},
        {u"<a><></a>", kXmlMissingTagName, "(empty)"},
        {u"<>", kXmlNoElement, "#doc"},  // without an element every failure reads as "no element"
        {u"<a></>", kXmlMissingEndTagName, "(empty)"},
        {u"<a></a", kXmlMissingEndTagName, "(empty)"},
        // Attributes.
        {u"<a x='1' y>", kXmlMissingEndTag, "a(x=1,y)"},
        {u"<a x=\"1\" x=\"2\" z=3/>", kXmlOk, "a(x=1,x=2,z=3)"},
        {u"<a v=\"x>y\"/>", kXmlOk, "a(v=x>y)"},
        {u"<a v=\"x/>", kXmlOk, "a(v=\"x)"},
        {u"<a \"x\"/>", kXmlUnexpectedToken, "(empty)"},
        {u"<a x=/>", kXmlUnexpectedToken, "(empty)"},
        {u"<a x=>", kXmlUnexpectedToken, "(empty)"},
        // Entities.
        {u"<a v=\"a&amp;b\"/>", kXmlOk, "a(v=a&b)"},
        {u"<a v=\"&#65;&#x41;&#X4a;&LT;&apos;\"/>", kXmlOk, "a(v=AAJ<')"},
        {u"<a v=\"&#65601;\"/>", kXmlOk, "a(v=A)"},
        {u"<a v=\"&foo;\"/>", kXmlBadEntity, "(empty)"},
        {u"<a v=\"&#6x;\"/>", kXmlBadEntity, "(empty)"},
        {u"<a v=\"&amp\"/>", kXmlBadEntity, "(empty)"},
        {u"<a>1 &lt; 2 &gt; 0</a>", kXmlOk, "a{\"1 < 2 > 0\"}"},
        {u"<a>x &bad y</a>", kXmlBadEntity, "(empty)"},
        // Texts and clear items; a comment between two texts merges them.
        {u"<a>one<!-- c -->two</a>", kXmlOk, "a{\"onetwo\"}"},
        {u"<a>t1<!--c-->t2<!--d--></a>", kXmlOk, "a{\"t1t2\" !2:d}"},
        {u"<a><!--c-->t</a>", kXmlOk, "a{!2:c \"t\"}"},
        {u"<a> x <b/> y </a>", kXmlOk, "a{\"x\" b \"y\"}"},
        {u"<a><![CDATA[x<y]]></a>", kXmlOk, "a{!0:x<y}"},
        {u"<a><PRE> <b> </PRE></a>", kXmlOk, "a{!3: <b> }"},
        {u"<!DOCTYPE skin><skin/>", kXmlOk, "#doc{!1: skin skin}"},
        {u"<!DOCTYPE x [<!ENTITY a \"b\">]><x/>", kXmlOk, "#doc{!1: x [<!ENTITY a \"b\"> x}"},
        {u"<a><!-- open", kXmlUnmatchedClearTag, "(empty)"},
        {u"<a><![CDATA[x</a>", kXmlUnmatchedClearTag, "(empty)"},
        // Declarations: the top-level one holds the rest of the document.
        {u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<skin/>", kXmlOk,
         "?xml(version=1.0,encoding=utf-8){skin}"},
        {u"<?xml version=1.0?><skin/>", kXmlOk, "?xml(version=1.0){skin}"},
        {u"<a><?pi x?>text</a>", kXmlOk, "a{?pi(x) \"text\"}"},
        // The document: a single child replaces it; otherwise it stays.
        {u"<skin/>", kXmlOk, "skin"},
        {u"  <skin>\n</skin>  ", kXmlOk, "skin"},
        {u"<a/><b/>", kXmlOk, "#doc{a b}"},
        {u"hello <a/>", kXmlOk, "#doc{\"hello\" a}"},
        {u"", kXmlNoElement, "#doc"},
        {u"just text", kXmlNoElement, "#doc{\"just text\"}"},
        {u"<a/></b>", kXmlMissingEndTag, "a"},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.text));
        int code = -1;
        const CXmlNode n = CXmlNode::ParseString(c.text, &code);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(Dump(n), c.tree);
    }
    int code = -1;
    EXPECT_TRUE(CXmlNode::ParseString(nullptr, &code).IsEmpty());
    EXPECT_EQ(code, kXmlNoElement);
}

TEST(XmlReader, Lookups) {
    const CXmlNode a = CXmlNode::ParseString(u"<a x='1' y><b/></a>");
    ASSERT_NE(a.GetAttribute(u"X"), nullptr);
    EXPECT_EQ(*a.GetAttribute(u"X"), u"1");
    EXPECT_EQ(a.GetAttribute(u"y"), nullptr);  // no value
    EXPECT_EQ(a.GetAttribute(u"z"), nullptr);
    EXPECT_EQ(*a.GetName(), u"a");

    const CXmlNode skin = CXmlNode::ParseString(u"<skin/>");
    EXPECT_EQ(*skin.GetName(), u"skin");
    const CXmlNode decl = CXmlNode::ParseString(u"<?xml version=\"1.0\"?><skin version=\"6\"/>");
    EXPECT_TRUE(decl.IsDeclaration());
    EXPECT_EQ(*decl.GetChildNode(u"SKIN").GetAttribute(u"version"), u"6");

    const CXmlNode r = CXmlNode::ParseString(u"<r><x i='1'/><y/><X i='2'/></r>");
    int it = 0;
    EXPECT_EQ(*r.GetChildNode(u"x", &it).GetAttribute(u"i"), u"1");
    EXPECT_EQ(it, 1);
    EXPECT_EQ(*r.GetChildNode(u"x", &it).GetAttribute(u"i"), u"2");
    EXPECT_EQ(it, 3);
    EXPECT_TRUE(r.GetChildNode(u"x", &it).IsEmpty());
    EXPECT_EQ(*r.GetChildNode(1).GetName(), u"y");
    EXPECT_TRUE(r.GetChildNode(3).IsEmpty());
    EXPECT_TRUE(r.GetChildNode(-1).IsEmpty());

    // Reads on the empty node give nothing.
    const CXmlNode none;
    EXPECT_EQ(none.GetName(), nullptr);
    EXPECT_EQ(none.GetAttribute(u"x"), nullptr);
    EXPECT_TRUE(none.GetChildNode(u"x").IsEmpty());
    EXPECT_EQ(none.GetChildCount(), 0);
}

TEST(XmlReader, HandlesShareNodesAndChildrenOutliveTheirParent) {
    CXmlNode b;
    {
        const CXmlNode r = CXmlNode::ParseString(u"<r><a/><b k='v'><c/></b></r>");
        b = r.GetChildNode(u"b");
        EXPECT_EQ(b.References(), 2);
        EXPECT_EQ(b.GetParent(), r);
        const CXmlNode copy = b;
        EXPECT_EQ(b.References(), 3);
    }
    EXPECT_EQ(b.References(), 1);
    EXPECT_TRUE(b.GetParent().IsEmpty());
    EXPECT_EQ(*b.GetAttribute(u"k"), u"v");
    EXPECT_EQ(*b.GetChildNode(u"c").GetName(), u"c");
}

TEST(XmlReader, DecodeTextByteOrderMarks) {
    struct Case {
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {std::string("\xFF\xFE<\0a\0/\0>\0", 10), u"<a/>"},
        {std::string("\xFE\xFF\0<\0a\0/\0>", 10), u"<a/>"},
        {std::string("\xFF\xFE\x2D\x4E", 4), u"中"},
        {"\xEF\xBB\xBF<a>\xE4\xB8\xAD</a>", u"<a>中</a>"},
        {"<a>\xE4\xB8\xAD</a>", u"<a>中</a>"},        // no mark: UTF-8 when valid
        {"<a>\xD6\xD0\xCE\xC4</a>", u"<a>中文</a>"},  // otherwise GB18030
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(CXmlNode::DecodeText(cases[i].bytes.data(), cases[i].bytes.size()), cases[i].text);
    }
    // Fewer than four bytes never count as a mark.
    EXPECT_NE(CXmlNode::DecodeText("\xFF\xFE\x41", 3), u"A");
    const std::u16string t = CXmlNode::DecodeText("\xFF\xFE<\0s\0/\0>\0", 10);
    EXPECT_EQ(*CXmlNode::ParseString(t.c_str()).GetName(), u"s");
}

TEST(XmlReader, RefusesDeepNestingAndGiganticItems) {
    std::u16string deep;
    for (int i = 0; i < 20000; ++i) deep += u"<a>";
    int code = 0;
    EXPECT_TRUE(CXmlNode::ParseString(deep.c_str(), &code).IsEmpty());
    EXPECT_EQ(code, kXmlTooDeep);

    std::u16string ok;
    for (int i = 0; i < kXmlMaxDepth; ++i) ok += u"<a>";
    EXPECT_FALSE(CXmlNode::ParseString(ok.c_str(), &code).IsEmpty());
    EXPECT_EQ(code, kXmlMissingEndTag);

    const std::u16string huge = u"<a v=\"" + std::u16string(kXmlMaxItemLength + 1, u'x') + u"\"/>";
    EXPECT_TRUE(CXmlNode::ParseString(huge.c_str(), &code).IsEmpty());
    EXPECT_EQ(code, kXmlTooLarge);
    const std::u16string hugeName = u"<" + std::u16string(kXmlMaxItemLength + 1, u'x') + u"/>";
    EXPECT_TRUE(CXmlNode::ParseString(hugeName.c_str(), &code).IsEmpty());
    EXPECT_EQ(code, kXmlTooLarge);
    const std::u16string fits = u"<a v=\"" + std::u16string(kXmlMaxItemLength, u'x') + u"\"/>";
    EXPECT_EQ(CXmlNode::ParseString(fits.c_str(), &code).GetAttribute(u"v")->size(), kXmlMaxItemLength);

    std::u16string many = u"<r>";
    for (size_t i = 0; i < kXmlMaxElements; ++i) many += u"<a/>";
    EXPECT_TRUE(CXmlNode::ParseString(many.c_str(), &code).IsEmpty());
    EXPECT_EQ(code, kXmlTooLarge);
}
