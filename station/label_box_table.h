#pragma once
// Every box the weighed label reads, in one table: the window's control, the LabelBoxes
// field, the product field it shows and the edit rule it commits by (when it shows one),
// and the `corvel label` option that fills it. The window, the product boxes and the
// label command loop over it: a new label field is one row here plus its drawing.
#include <optional>
#include <span>
#include <string>

#include "station/product_file.h"
#include "station/weighed_label.h"

namespace corvel {

struct LabelBoxRow {
  const char* control;  // the window control's object name ("Text1", "Check1")
  // The LabelBoxes field: a text, or (for a tick box) a flag.
  std::string LabelBoxes::*text = nullptr;
  bool LabelBoxes::*tick = nullptr;
  // The product field the box shows, and the rule that stores an edit of it; none for
  // boxes that are not a product's.
  std::string ProductBoxTexts::*productText = nullptr;
  bool ProductBoxTexts::*productTick = nullptr;
  std::optional<ProductBox> edit;
  // The `corvel label` option that fills it ("" when none does).
  const char* option = "";
};

std::span<const LabelBoxRow> LabelBoxTable();

}  // namespace corvel
