// The skin package loader: opens a zip skin, parses its "SkinResDef.xml", decodes every image of
// the archive into a cache, answers the controls' property questions through property views,
// recolours colours and images with the user's tone, and tells the registered root controls when
// the skin or the tone changed so that they reload their properties.
// Threading: UI thread only (the process-wide instance and every view); no locking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "directui/XmlNode.h"
#include "platform/gfx/Rect.h"

class Bitmap;
class CControl;
class CSkinLoader;

// Limits on what a package may make us read: a definition is a few hundred kilobytes, an image a
// few hundred kilobytes, a skin a few hundred images of about a million pixels in all.
inline constexpr size_t kSkinMaxDefinitionBytes = 8u << 20;
inline constexpr size_t kSkinMaxImageBytes = 32u << 20;
inline constexpr size_t kSkinMaxImages = 10000;
inline constexpr size_t kSkinMaxPixels = 32u << 20;  // decoded pixels of all images together (128 MB)

// Colour text of a skin: "$AARRGGBB" (hexadecimal), or a signed decimal integer whose bits are the
// ARGB value (clamped to the 32-bit signed range).
uint32_t ParseSkinColour(std::u16string_view text);

// A {loader, element} pair through which a control reads its properties. Every read returns true
// when the key exists (with a value) and leaves `out` unchanged otherwise; an empty view reports
// every key missing. Copies share the element.
class CPropertyView {
public:
    CPropertyView() = default;
    CPropertyView(CSkinLoader* loader, CXmlNode node) : loader_(loader), node_(std::move(node)) {}

    bool IsEmpty() const { return node_.IsEmpty(); }
    const CXmlNode& Node() const { return node_; }
    CSkinLoader* Loader() const { return loader_; }

    bool GetString(std::u16string_view key, std::u16string& out) const;  // lower-cased
    bool GetInt(std::u16string_view key, int& out) const;                // _wtoi rules
    bool GetFloat(std::u16string_view key, float& out) const;            // the integer, as a float
    bool GetBool(std::u16string_view key, bool& out) const;              // integer not 0
    bool GetRect(std::u16string_view key, Rect& out) const;              // exactly "x,y,w,h"
    bool GetColour(std::u16string_view key, uint32_t& out) const;        // ParseSkinColour, then tinted
    // The loader's image for the value as a file name; a name without an image reports missing.
    bool GetImage(std::u16string_view key, std::shared_ptr<Bitmap>& out, bool raw = false) const;

private:
    const std::u16string* Value(std::u16string_view key) const;

    CSkinLoader* loader_ = nullptr;
    CXmlNode node_;
};

// One package of the skin selection list.
struct SkinListEntry {
    std::u16string path;
    std::u16string name;              // the skin element's "name", lower-cased
    std::shared_ptr<Bitmap> preview;  // "PreView.png" of the package; none without one
};

class CSkinLoader {
public:
    // The process-wide loader, created on first use and kept to the end of the process.
    static CSkinLoader& Instance();

    // Images beyond `pixelBudget` decoded pixels in all are treated as images that failed to decode.
    explicit CSkinLoader(size_t pixelBudget = kSkinMaxPixels);
    ~CSkinLoader();
    CSkinLoader(const CSkinLoader&) = delete;
    CSkinLoader& operator=(const CSkinLoader&) = delete;

    // Loads the package at `path` (a zip file). True when the package is (or already was) the
    // current skin; false for a missing file, a package that does not open, or a definition of
    // another version. On false the current skin, its images and the controls stay as they were.
    bool LoadSkin(std::u16string_view path);
    // With applyPosition, rebuilds the image cache from the open package and reads the skin-wide
    // colours; without it, drops the tinted images. Then tells the roots.
    void Apply(bool applyPosition);
    // Tints with `argb` (nothing happens when tinting is on with that tone already).
    void SetTone(uint32_t argb);
    void ToneOff();
    bool IsToneOn() const { return toneOn_; }
    uint32_t GetTone() const { return tone_; }

    // Root controls told about skin changes, in registration order, each at most once.
    void AddRoot(CControl* root);
    void RemoveRoot(CControl* root);

    CPropertyView GetRoot();                                // the "skin" element
    CPropertyView GetCommon(std::u16string_view typeName);  // "Common"/typeName
    // lookupMode 0: the control's path; 1: the path, or the parent's node for an unnamed control;
    // 2: the defaults of the control's type.
    CPropertyView FindNode(const CControl* control, std::u16string_view name, int lookupMode);

    // The cached image of an archive entry (name in any case). Raw (or with tinting off): the
    // decoded image, or an empty 0 x 0 image when it failed to decode. Tinted: a tinted copy made
    // once per tone, none for an image that failed to decode. Holders keep images alive across a
    // skin change.
    std::shared_ptr<Bitmap> GetImage(std::u16string_view fileName, bool raw = false);
    uint32_t TransformColour(uint32_t argb) const;

    // Appends {path, name, preview} of the package at `path`; false when it is listed already
    // (same path, case-sensitive) or does not open.
    bool AddSkinToList(std::vector<SkinListEntry>& list, std::u16string_view path);

    // The skin-wide values the last applied skin gave ("MainTone" without alpha, "DisFontColor").
    uint32_t MainTone() const { return mainTone_; }
    uint32_t DisabledTextColour() const { return disabledTextColour_; }
    // Folder of windows below the skin element ("Normal").
    const std::u16string& Section() const { return section_; }
    const std::u16string& PackagePath() const { return package_.path; }

    // What the last LoadSkin found, for skin authors' checks.
    struct Attempt {
        bool opened = false;                       // the archive opened and held a definition
        int xmlError = -1;                         // the definition's parse code; -1 when nothing was parsed
        CXmlNode top;                              // its "skin" element
        std::vector<std::u16string> failedImages;  // entries that did not decode (lower case)
    };
    const Attempt& LastAttempt() const { return attempt_; }
    // Lower-cased names of the cached images, failed ones included.
    std::vector<std::u16string> ImageNames() const;

private:
    struct ImageEntry {
        std::shared_ptr<Bitmap> base;  // the empty image when decoding failed
        bool failed = false;
        std::shared_ptr<Bitmap> tinted;  // made on request, dropped when the tone changes
    };
    struct Package {
        std::u16string path;
        CXmlNode top;
        void* archive = nullptr;  // minizip handle; open from LoadSkin until the images are read
    };

    bool OpenPackage(std::u16string_view path, Package& out);
    static void ClosePackage(Package& p);
    void ReadImages();
    void DropTintedImages();
    void TellRoots(bool applyPosition);

    size_t pixelBudget_;
    uint32_t tone_ = 0;
    bool toneOn_ = false;
    std::vector<CControl*> roots_;
    std::map<std::u16string, ImageEntry> images_;
    std::u16string requiredVersion_ = u"6";
    Package package_;
    std::u16string section_ = u"Normal";
    uint32_t mainTone_ = 0;
    uint32_t disabledTextColour_ = 0xFFFF00FFu;
    Attempt attempt_;
};
