// Page sizes from settings texts ("62.5x30", in millimetres), of any length, in any locale.
#include <gtest/gtest.h>

#include "common/page_size.h"

namespace corvel {
namespace {

TEST(PageSizeText, WidthByHeightInMillimetres) {
  using Size = std::optional<std::pair<double, double>>;
  const std::pair<std::string, Size> rows[] = {{" 62.5X30\t", Size{{62.5, 30}}},
                                               {" 62.5 x 29 ", Size{{62.5, 29}}},
                                               {"10001x5", {}},
                                               {"0x5", {}},
                                               {"62,5x30", {}},
                                               {"60x40x2", {}},
                                               {std::string(30000, '1') + "x40", {}}};
  for (const auto& [text, size] : rows)
    EXPECT_EQ(ParsePageSizeMm(text), size) << text.substr(0, 20);
}

}  // namespace
}  // namespace corvel
