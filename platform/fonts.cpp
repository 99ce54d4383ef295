// Font set-up: Debian's fonts-wine keeps Tahoma outside fontconfig's folders, so the
// files are loaded into the application's font database by path.
//
// It also remembers FreeType's character-to-glyph lookups. Qt's PDF writer maps every
// code point from 0 to 0xFFFF back to a glyph for each font it embeds, and it embeds the
// fonts anew in every document; one sheet is one document, so a run of sheets spent
// most of its time in those lookups. The program's own FT_Get_Char_Index is found
// before FreeType's (the executable comes first in the symbol search), answers from the
// memo and asks FreeType once per face, character map and code point.
#include <dlfcn.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <atomic>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/printing.h"
#include "platform/qt_text.h"

namespace {

template <typename Function>
Function FreeTypeFunction(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Bumped whenever a face may have gone, so that no memo outlives its face (a new face
// can get the address of a freed one).
std::atomic<std::uint64_t> faceGeneration{0};

// Glyph indices of the code points below 0x10000 of each face in one thread (Qt keeps
// its faces per thread), for the character map in use when the face was first seen.
struct GlyphMemo {
  FT_CharMap charmap = nullptr;
  std::vector<FT_UInt> glyphs;  // kUnknown where FreeType was not asked yet
};
constexpr FT_UInt kUnknown = ~FT_UInt(0);
constexpr FT_ULong kMemoCodePoints = 0x10000;

// The memo of the face asked last, checked first.
thread_local FT_Face lastFace = nullptr;
thread_local FT_CharMap lastCharmap = nullptr;
thread_local FT_UInt* lastGlyphs = nullptr;
thread_local std::uint64_t lastGeneration = 0;

FT_UInt AskFreeType(FT_Face face, FT_ULong charcode) {
  using Lookup = FT_UInt (*)(FT_Face, FT_ULong);
  static const Lookup freeType = FreeTypeFunction<Lookup>("FT_Get_Char_Index");
  return freeType ? freeType(face, charcode) : 0;
}

// Kept out of line so that a memo hit in FT_Get_Char_Index stays a few instructions.
[[gnu::noinline]] FT_UInt LookUpAndRemember(FT_Face face, FT_ULong charcode) {
  if (!face || charcode >= kMemoCodePoints) return AskFreeType(face, charcode);
  thread_local std::unordered_map<FT_Face, GlyphMemo> memos;
  if (const std::uint64_t now = faceGeneration.load(std::memory_order_acquire);
      now != lastGeneration) {
    memos.clear();
    lastGeneration = now;
  }
  GlyphMemo& memo = memos[face];
  if (memo.glyphs.empty()) {
    memo.charmap = face->charmap;
    memo.glyphs.assign(kMemoCodePoints, kUnknown);
  }
  lastFace = face;
  lastCharmap = memo.charmap;
  lastGlyphs = memo.glyphs.data();
  // Another character map (a symbol font's, set for a moment) is asked directly.
  if (face->charmap != memo.charmap) return AskFreeType(face, charcode);
  FT_UInt& glyph = memo.glyphs[charcode];
  if (glyph == kUnknown) glyph = AskFreeType(face, charcode);
  return glyph;
}

}  // namespace

extern "C" FT_UInt FT_Get_Char_Index(FT_Face face, FT_ULong charcode) {
  if (face == lastFace && face && charcode < kMemoCodePoints && face->charmap == lastCharmap &&
      faceGeneration.load(std::memory_order_relaxed) == lastGeneration) {
    const FT_UInt glyph = lastGlyphs[charcode];
    if (glyph != kUnknown) return glyph;
  }
  return LookUpAndRemember(face, charcode);
}

extern "C" FT_Error FT_Done_Face(FT_Face face) {
  using Done = FT_Error (*)(FT_Face);
  static const Done freeType = FreeTypeFunction<Done>("FT_Done_Face");
  faceGeneration.fetch_add(1, std::memory_order_acq_rel);
  return freeType ? freeType(face) : 0;
}

extern "C" FT_Error FT_Done_FreeType(FT_Library library) {
  using Done = FT_Error (*)(FT_Library);
  static const Done freeType = FreeTypeFunction<Done>("FT_Done_FreeType");
  faceGeneration.fetch_add(1, std::memory_order_acq_rel);
  return freeType ? freeType(library) : 0;
}

namespace corvel {

bool SetUpFonts() {
  // The font database needs the application object; without it try again later.
  if (!QGuiApplication::instance()) return false;
  static const bool loaded = [] {
    bool all = true;
    for (const char* path :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
      all = QFontDatabase::addApplicationFont(QString::fromLatin1(path)) >= 0 && all;
    }
    return all;
  }();
  return loaded;
}

std::string ResolvedFontFamily(std::string_view requested) {
  const QFont font(ToQString(requested));
  return QFontInfo(font).family().toStdString();
}

}  // namespace corvel
