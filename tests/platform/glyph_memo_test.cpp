// The program's own FT_Get_Char_Index (platform/fonts.cpp) answers as FreeType does: for
// every code point, every character map of a face, and for a face opened where a
// released one was (the memo must not outlive its face).
#include <dlfcn.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

namespace {

TEST(GlyphMemo, AnswersAsFreeTypeForEveryCodePointCharacterMapAndFaceInTurn) {
  using Lookup = FT_UInt (*)(FT_Face, FT_ULong);
  const auto freeType = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, "FT_Get_Char_Index"));
  ASSERT_NE(freeType, nullptr);
  ASSERT_NE(freeType, &FT_Get_Char_Index) << "the program's own lookup is not in front";
  FT_Library library;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  // Released and opened in turn, so that a later face may get an earlier one's address.
  for (const char* file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf",
                           "/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf",
                           "/usr/share/wine/fonts/tahoma.ttf"}) {
    FT_Face face;
    ASSERT_EQ(FT_New_Face(library, file, 0, &face), 0) << file;
    for (int map = 0; map < face->num_charmaps; ++map) {
      ASSERT_EQ(FT_Set_Charmap(face, face->charmaps[map]), 0);
      for (int pass = 0; pass < 2; ++pass) {  // the second pass answers from the memo
        for (FT_ULong code = 0; code < 0x10010; ++code) {
          ASSERT_EQ(FT_Get_Char_Index(face, code), freeType(face, code))
              << file << ", character map " << map << ", code point " << code;
        }
      }
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
}

}  // namespace
