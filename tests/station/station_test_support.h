#pragma once
// Shared pieces of the station tests: whole files of bytes, product files, label boxes.
#include <QFile>
#include <QString>
#include <string>
#include <vector>

#include "common/fixed_record.h"
#include "station/station_window.h"
#include "station/weighed_label.h"
#include "tests/support/fake_messages.h"

namespace corvel::test {

inline RecordBytes ReadAllBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray data = file.readAll();
  return RecordBytes(data.begin(), data.end());
}

inline void WriteAllBytes(const QString& path, const RecordBytes& bytes) {
  QFile file(path);
  file.open(QIODevice::WriteOnly | QIODevice::Truncate);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

// A product file of `count` records "Item 1" ...; record n has code n x 1000, price
// n + 0.99, tare 0.015, shelf life n, weighed. Every other byte differs from record to
// record, so a field written at the wrong place or a reserved byte lost shows up.
inline RecordBytes ProductFileBytes(int count) {
  RecordBytes bytes;
  for (int n = 1; n <= count; ++n) {
    RecordBytes record(150);
    for (std::size_t i = 0; i < record.size(); ++i)
      record[i] = static_cast<std::uint8_t>((i * 7 + static_cast<std::size_t>(n) * 31 + 1) % 251);
    PutInt64(record, 0, static_cast<std::int64_t>(n) * 1000 * 10000);
    PutInt64(record, 10, static_cast<std::int64_t>(n) * 10000 + 9900);
    PutInt16(record, 18, 0);
    PutInt16(record, 22, static_cast<std::int16_t>(n));
    PutTextField(record, 24, 24, "Item " + std::to_string(n));
    PutTextField(record, 48, 24, "Line two " + std::to_string(n));
    PutTextField(record, 72, 24, "");
    PutFloat32(record, 100, 0.015f);
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
  return bytes;
}

// The record "Add New Item" writes, or the one a missing file starts with.
inline RecordBytes NewItemRecord(const char* description) {
  RecordBytes record(150, 0);
  PutTextField(record, 24, 24, description);
  return record;
}

// 1.235 KG of ham less a tare of 0.015 at 12.99 a kilogram.
inline LabelBoxes HamBoxes(const std::string& shelfLife = {}) {
  LabelBoxes boxes;
  boxes.code = "1234";
  boxes.description1 = "Ham                     ";
  boxes.price = "12.99";
  boxes.weight = "1.235 KG";
  boxes.tare = "0.015";
  boxes.storeName1 = "Storename";
  boxes.storeName2 = " ";
  boxes.itemNumber = std::string("1");
  boxes.shelfLife = shelfLife;
  return boxes;
}

// Types 1.235 KG of leg ham less a tare of 0.015 at 12.99 a kilogram, kept 3 days, into
// the window's boxes as the operator would.
inline void TypeLegHam(StationWindow& w) {
  w.Text1->setText("1234");
  w.Text2->setText("Leg ham");
  w.Text3->setText("12.99");
  w.Text4->setText("1.235 KG");
  w.Text9->setText("0.015");
  w.Text10->setText("3");
}

}  // namespace corvel::test
