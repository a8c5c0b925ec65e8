#include "platform/graphics/FontTable.hpp"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <memory>

namespace gfx {

namespace {

struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

// Whether any of the families the font declares is `familyName`, compared without regard to case as
// fontconfig compares family names.
bool hasFamily(FcPattern* font, const std::string& familyName) {
    FcChar8* family = nullptr;
    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &family) == FcResultMatch; ++i)
        if (FcStrCmpIgnoreCase(family, reinterpret_cast<const FcChar8*>(familyName.c_str())) == 0)
            return true;
    return false;
}

struct FontFile {
    std::string path;
    int index = 0;
};

std::optional<FontFile> findFont(const std::string& familyName) {
    if (!FcInit()) return std::nullopt;
    Pattern wanted(FcPatternCreate());
    if (!wanted) return std::nullopt;
    FcPatternAddString(wanted.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(familyName.c_str()));
    FcConfigSubstitute(nullptr, wanted.get(), FcMatchPattern);
    FcDefaultSubstitute(wanted.get());
    FcResult result = FcResultNoMatch;
    Pattern found(FcFontMatch(nullptr, wanted.get(), &result));
    if (!found || result != FcResultMatch || !hasFamily(found.get(), familyName)) return std::nullopt;
    FcChar8* file = nullptr;
    if (FcPatternGetString(found.get(), FC_FILE, 0, &file) != FcResultMatch) return std::nullopt;
    int index = 0;
    FcPatternGetInteger(found.get(), FC_INDEX, 0, &index);
    return FontFile{reinterpret_cast<const char*>(file), index};
}

} // namespace

std::optional<std::vector<std::uint8_t>> copyFontTable(const std::string& familyName, std::uint32_t tag) {
    auto font = findFont(familyName);
    if (!font) return std::nullopt;

    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) return std::nullopt;
    std::unique_ptr<FT_LibraryRec_, decltype(&FT_Done_FreeType)> libraryGuard(library, FT_Done_FreeType);
    FT_Face face = nullptr;
    if (FT_New_Face(library, font->path.c_str(), font->index, &face) != 0) return std::nullopt;
    std::unique_ptr<FT_FaceRec_, decltype(&FT_Done_Face)> faceGuard(face, FT_Done_Face);

    FT_ULong length = 0;
    if (FT_Load_Sfnt_Table(face, tag, 0, nullptr, &length) != 0) return std::nullopt;
    std::vector<std::uint8_t> table(length);
    if (length > 0 && FT_Load_Sfnt_Table(face, tag, 0, table.data(), &length) != 0) return std::nullopt;
    return table;
}

} // namespace gfx
