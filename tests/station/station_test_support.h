#pragma once
// Shared pieces of the station tests: message boxes that record what they were asked,
// and reading and writing whole files of bytes.
#include <QDir>
#include <QFile>
#include <QString>
#include <string>
#include <vector>

#include "common/dialogs.h"
#include "common/fixed_record.h"

namespace corvel::test {

class FakeMessages : public MessageBoxes {
 public:
  bool answerYes = false;
  std::vector<std::string> questions;  // "title|text|default"
  std::vector<std::string> messages;

  bool AskYesNo(std::string_view text, std::string_view title, bool defaultYes) override {
    questions.push_back(std::string(title) + "|" + std::string(text) + "|" +
                        (defaultYes ? "Yes" : "No"));
    return answerYes;
  }
  void Inform(std::string_view text, std::string_view) override { messages.emplace_back(text); }
};

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

// Bytes that differ from record to record and from field to field, so a field written
// at the wrong place or a reserved byte lost shows up.
inline RecordBytes PatternBytes(std::size_t length, int seed) {
  RecordBytes bytes(length);
  for (std::size_t i = 0; i < length; ++i)
    bytes[i] = static_cast<std::uint8_t>((i * 7 + static_cast<std::size_t>(seed) * 31 + 1) % 251);
  return bytes;
}

}  // namespace corvel::test

namespace corvel::test {

// A product file of `count` records "Item 1" ... with every reserved byte set; record n
// has code n x 1000, price n + 0.99, tare 0.015, shelf life n, weighed.
inline RecordBytes ProductFileBytes(int count) {
  RecordBytes bytes;
  for (int n = 1; n <= count; ++n) {
    RecordBytes record = PatternBytes(150, n);
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

}  // namespace corvel::test
