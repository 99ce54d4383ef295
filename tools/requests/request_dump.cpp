// Listing request files as readable rows (the request command's "--dump").
#include "tools/requests/request_writer.h"

#include <fcntl.h>

#include <QByteArray>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "common/regular_file.h"
#include "common/text.h"

namespace corvel {
namespace {
// A field in quotes with its padding trimmed; control characters, zero bytes included,
// show as \xNN (always two digits), so every byte of a record can be seen, and a quote
// or backslash in the text is escaped, so the quotes still mark where the field ends.
std::string ShownField(const std::string& field) {
  std::string out = "\"";
  for (const char c : TrimSpaces(field)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
  }
  return out + "\"";
}
}  // namespace

std::string DumpRequests(const std::string& folder, bool layouts) {
  std::string out;
  const auto describe = [&](const std::string& path, std::size_t length, QByteArray& bytes) {
    // Never blocks on a named pipe in the request's place, and never creates the file.
    FileDescriptor file;
    try {
      file = OpenRegularFile(path, O_RDONLY, IfMissing::Fail);
    } catch (const IoError& refused) {
      out += std::string(refused.what()) + "\n";
      return false;
    }
    if (!file.valid() && errno == ENOENT) {
      out += path + ": missing\n";
      return false;
    }
    std::optional<std::string> whole;
    if (file.valid()) whole = ReadWhole(file);
    if (!whole) {
      out += path + ": " + std::strerror(errno) + "\n";
      return false;
    }
    bytes = QByteArray::fromStdString(*whole);
    const std::size_t records = static_cast<std::size_t>(bytes.size()) / length;
    const std::size_t rest = static_cast<std::size_t>(bytes.size()) % length;
    out += path + ": " + std::to_string(records) + (records == 1 ? " record" : " records") + " (" +
           std::to_string(bytes.size()) + " bytes" +
           (rest ? ", " + std::to_string(rest) + " trailing bytes not read" : std::string()) +
           ")\n";
    return true;
  };

  QByteArray bytes;
  if (describe(folder + std::string(kBarcodeRequestName), BarcodeRequestRecord::kLength, bytes)) {
    const std::size_t n = static_cast<std::size_t>(bytes.size()) / BarcodeRequestRecord::kLength;
    for (std::size_t i = 0; i < n; ++i) {
      BarcodeRequestRecord record;
      const auto* start = reinterpret_cast<const std::uint8_t*>(bytes.constData()) +
                          i * BarcodeRequestRecord::kLength;
      record.bytes.assign(start, start + BarcodeRequestRecord::kLength);
      out += "  " + std::to_string(i + 1) + "  code " + ShownField(record.Code()) +
             "  description " + ShownField(record.Description()) + "  price " +
             ShownField(record.Price()) + "\n";
    }
  }
  if (describe(folder + std::string(kShelfRequestName), ShelfRecord::kLength, bytes)) {
    const std::size_t n = static_cast<std::size_t>(bytes.size()) / ShelfRecord::kLength;
    for (std::size_t i = 0; i < n; ++i) {
      ShelfRecord record;
      const auto* start =
          reinterpret_cast<const std::uint8_t*>(bytes.constData()) + i * ShelfRecord::kLength;
      record.bytes.assign(start, start + ShelfRecord::kLength);
      out += "  " + std::to_string(i + 1) + "  " +
             (record.ByWeight() == -1 ? "by weight" : "by the piece") + " (" +
             std::to_string(record.ByWeight()) + ")";
      for (int k = 0; k < ShelfRecord::kTextCount; ++k) {
        if (!TrimSpaces(record.Text(k)).empty())
          out += "  text" + std::to_string(k + 1) + " " + ShownField(record.Text(k));
      }
      out += "\n";
      if (!layouts) continue;
      for (int z = 1; z <= ShelfRecord::kLayoutCount; ++z) {
        out += "     layout " + std::to_string(z) + ": paperSource " +
               ShownField(record.Layout(kPaperSourceX, kPaperSourceY, z)) + "\n";
        for (int e = 1; e <= ShelfRecord::kElementCount; ++e) {
          std::string cells;
          for (int y = 0; y < int(kLayoutRowNames.size()); ++y) {
            const std::string cell = record.Layout(e, y, z);
            if (!TrimSpaces(cell).empty())
              cells += " " + std::string(kLayoutRowNames[y]) + "=" + ShownField(cell);
          }
          if (!cells.empty()) out += "       element " + std::to_string(e) + ":" + cells + "\n";
        }
      }
    }
  }
  return out;
}

}  // namespace corvel
