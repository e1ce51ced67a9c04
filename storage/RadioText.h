// A station text field that is usually empty (home page, icon, programme list, country, city,
// frequency, kind): one pointer while empty, the text on the heap once set. A catalogue of
// 100,000 stations sets none of them, so the tree stays small.
// Threading: a value type; the UI thread owns the stations that hold it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

class RadioText {
public:
    RadioText() = default;
    RadioText(std::u16string_view text) { Assign(text); }
    RadioText(const char16_t* text) { Assign(text ? std::u16string_view(text) : std::u16string_view()); }
    RadioText(const std::u16string& text) { Assign(text); }
    RadioText(const RadioText& other) { Assign(other.str()); }
    RadioText(RadioText&&) noexcept = default;
    RadioText& operator=(const RadioText& other) {
        if (this != &other) Assign(other.str());
        return *this;
    }
    RadioText& operator=(RadioText&&) noexcept = default;
    RadioText& operator=(std::u16string_view text) {
        Assign(text);
        return *this;
    }
    RadioText& operator=(const char16_t* text) {
        Assign(text ? std::u16string_view(text) : std::u16string_view());
        return *this;
    }
    RadioText& operator=(const std::u16string& text) {
        Assign(text);
        return *this;
    }

    // The text (the empty text while none is set); valid until the field changes.
    const std::u16string& str() const { return text_ ? *text_ : Empty(); }
    operator const std::u16string&() const { return str(); }
    bool empty() const { return !text_; }
    size_t size() const { return text_ ? text_->size() : 0; }

    friend bool operator==(const RadioText& a, std::u16string_view b) {
        return std::u16string_view(a.str()) == b;
    }
    friend bool operator==(const RadioText& a, const char16_t* b) {
        return std::u16string_view(a.str()) == (b ? std::u16string_view(b) : std::u16string_view());
    }
    friend bool operator==(const RadioText& a, const std::u16string& b) { return a.str() == b; }
    friend bool operator==(const RadioText& a, const RadioText& b) { return a.str() == b.str(); }

private:
    static const std::u16string& Empty();
    void Assign(std::u16string_view text) {
        if (text.empty())
            text_.reset();
        else
            text_ = std::make_unique<std::u16string>(text);
    }

    std::unique_ptr<std::u16string> text_;  // null while empty
};
