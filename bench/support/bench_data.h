// What the benchmarks share: one scratch folder for the whole run and the sample label
// a deli counter prints all day.
#pragma once

#include <QTemporaryDir>

#include "station/weighed_label.h"

namespace corvel::bench {

inline QTemporaryDir& Scratch() {
  static QTemporaryDir dir;
  return dir;
}

inline LabelBoxes SampleLabelBoxes() {
  LabelBoxes boxes;
  boxes.code = "1234";
  boxes.description1 = "Leg Ham";
  boxes.price = "12.99";
  boxes.weight = "1.235 KG";
  boxes.tare = "0.015";
  boxes.shelfLife = "3";
  boxes.storeName1 = "Corner Deli";
  boxes.itemNumber = "1";
  return boxes;
}

}  // namespace corvel::bench
