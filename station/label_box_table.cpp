#include "station/label_box_table.h"

#include <array>

namespace corvel {
namespace {

using B = LabelBoxes;
using P = ProductBoxTexts;
using E = ProductBox;

const std::array<LabelBoxRow, 14> kBoxes{{
    {"Text1", &B::code, nullptr, &P::code, nullptr, E::Code, "--code"},
    {"Text2", &B::description1, nullptr, &P::description1, nullptr, E::Description1,
     "--description"},
    {"Text3", &B::price, nullptr, &P::price, nullptr, E::Price, "--price"},
    {"Text4", &B::weight, nullptr, nullptr, nullptr, std::nullopt, "--weight"},
    {"Text5", &B::storeName1, nullptr, nullptr, nullptr, std::nullopt, "--store1"},
    {"Text6", &B::description2, nullptr, &P::description2, nullptr, E::Description2,
     "--description2"},
    {"Text7", &B::description3, nullptr, &P::description3, nullptr, E::Description3,
     "--description3"},
    {"Text8", &B::itemNumber, nullptr, nullptr, nullptr, std::nullopt, "--item"},
    {"Text9", &B::tare, nullptr, &P::tare, nullptr, E::Tare, "--tare"},
    {"Text10", &B::shelfLife, nullptr, &P::shelfLife, nullptr, E::ShelfLife, "--shelf-life"},
    {"Text12", &B::storeName2, nullptr, nullptr, nullptr, std::nullopt, "--store2"},
    {"Text13", &B::flag, nullptr, nullptr, nullptr, std::nullopt, "--flag"},
    {"Check1", nullptr, &B::nonWeighed, nullptr, &P::nonWeighed, std::nullopt, "--non-weighed"},
    {"Check4", nullptr, &B::usePriceCheckDigit, nullptr, nullptr, std::nullopt, "--check-digit"},
}};

}  // namespace

std::span<const LabelBoxRow> LabelBoxTable() {
  return kBoxes;
}

}  // namespace corvel
