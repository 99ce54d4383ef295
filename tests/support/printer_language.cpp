#include "tests/support/printer_language.h"

#include <QtEndian>
#include <algorithm>
#include <cctype>
#include <map>

namespace corvel::test {
namespace {

constexpr uchar kPaper = 255, kInk = 0;

// A bitmap drawn at (x, y): `rows` of `bytesPerRow` bytes, the first dot in the highest bit.
struct Bitmap {
  int x = 0, y = 0, bytesPerRow = 0;
  std::vector<QByteArray> rows;
};

// Draws `bitmaps` on a white image at least `width` dots wide; `inkBit` is the bit value
// that prints a dot. A bitmap placed off the page (a negative position) is left out.
QImage Render(std::vector<Bitmap> bitmaps, int width, bool inkBit) {
  std::erase_if(bitmaps, [](const Bitmap& b) { return b.x < 0 || b.y < 0; });
  int height = 0;
  for (const Bitmap& b : bitmaps) {
    width = std::max(width, b.x + 8 * b.bytesPerRow);
    height = std::max(height, b.y + int(b.rows.size()));
  }
  QImage image(width, height, QImage::Format_Grayscale8);
  image.fill(kPaper);
  for (const Bitmap& b : bitmaps)
    for (int r = 0; r < int(b.rows.size()); ++r)
      for (int dot = 0; dot < 8 * int(b.rows[r].size()); ++dot)
        if (bool(uchar(b.rows[r][dot / 8]) & (0x80 >> dot % 8)) == inkBit)
          image.scanLine(b.y + r)[b.x + dot] = kInk;
  return image;
}

// The number of times a ZPL compression letter repeats the next hex digit (G-Y: 1-19,
// g-z: 20-400 in steps of 20), 0 when `c` is no such letter.
int ZplRepeat(char c) {
  if (c >= 'G' && c <= 'Y') return c - 'F';
  if (c >= 'g' && c <= 'z') return (c - 'f') * 20;
  return 0;
}

// The rows of a "~DG" graphic from its data: hex digits, each repeated by the count
// letters before it; "," ends a row with zeros, "!" with ones, ":" repeats the last row.
std::vector<QByteArray> ZplGraphicRows(const QByteArray& data, int bytesPerRow, int rows) {
  std::vector<QByteArray> out;
  QByteArray hex;
  const int digits = 2 * bytesPerRow;
  const auto endRow = [&](char fill) {
    hex.append(digits - hex.size(), fill);
    out.push_back(QByteArray::fromHex(hex));
    hex.clear();
  };
  int repeat = 0;
  for (const char c : data) {
    if (int(out.size()) >= rows) break;
    if (const int n = ZplRepeat(c)) {
      repeat += n;
    } else if (std::isxdigit(uchar(c))) {
      hex.append(std::min(std::max(repeat, 1), digits - int(hex.size())), c);
      repeat = 0;
      if (hex.size() == digits) endRow('0');
    } else if (c == ',' || c == '!') {
      endRow(c == ',' ? '0' : 'F');
    } else if (c == ':') {
      out.push_back(out.empty() ? QByteArray(bytesPerRow, '\0') : out.back());
    }
  }
  return out;
}

quint32 HeaderValue(const char* header, int offset) {
  return qFromBigEndian<quint32>(header + offset);
}

}  // namespace

std::vector<QImage> DecodeEpl2(const QByteArray& job) {
  std::vector<QImage> labels;
  std::vector<Bitmap> buffer;
  int width = 0;
  for (qsizetype at = 0; at < job.size();) {
    const qsizetype end = job.indexOf('\n', at);
    const QByteArray line = job.mid(at, end < 0 ? -1 : end - at).trimmed();
    at = end < 0 ? job.size() : end + 1;
    if (line.startsWith("GW")) {
      // GWx,y,bytes per row,rows then the raw rows
      const QList<QByteArray> f = line.mid(2).split(',');
      if (f.size() != 4) break;
      Bitmap b{f[0].toInt(), f[1].toInt(), f[2].toInt(), {}};
      for (int r = 0; r < f[3].toInt() && at < job.size(); ++r, at += b.bytesPerRow)
        b.rows.push_back(job.mid(at, b.bytesPerRow));
      buffer.push_back(b);
    } else if (line.startsWith('q')) {
      width = line.mid(1).toInt();
    } else if (line == "N") {
      buffer.clear();
    } else if (line.startsWith('P') && !buffer.empty()) {
      labels.push_back(Render(buffer, width, false));  // a 0 bit prints in GW records
    }
  }
  return labels;
}

std::vector<QImage> DecodeZpl(const QByteArray& job) {
  std::map<QByteArray, Bitmap> graphics;
  std::vector<QImage> labels;
  std::vector<Bitmap> placed;
  int width = 0, x = 0, y = 0;
  // Commands start at "^" or "~"; a graphic's data holds neither.
  const auto commandAt = [&job](qsizetype from) {
    while (from < job.size() && job[from] != '^' && job[from] != '~')
      ++from;
    return from;
  };
  for (qsizetype at = commandAt(0); at < job.size();) {
    const qsizetype next = commandAt(at + 1);
    const QByteArray command = job.mid(at + 1, 2).toUpper();
    const QByteArray args = job.mid(at + 3, next - at - 3);
    at = next;
    const QList<QByteArray> f = args.split(',');
    if (command == "DG" && f.size() >= 4) {
      Bitmap& g = graphics[f[0].trimmed()];
      g.bytesPerRow = f[2].trimmed().toInt();
      if (g.bytesPerRow <= 0) continue;
      const qsizetype data = args.indexOf(',', args.indexOf(',', args.indexOf(',') + 1) + 1) + 1;
      g.rows =
          ZplGraphicRows(args.mid(data), g.bytesPerRow, f[1].trimmed().toInt() / g.bytesPerRow);
    } else if (command == "XA") {
      placed.clear();
      width = x = y = 0;
    } else if (command == "PW") {
      width = args.trimmed().toInt();
    } else if (command == "FO" && f.size() >= 2) {
      x = f[0].trimmed().toInt();
      y = f[1].trimmed().toInt();
    } else if (command == "XG" && graphics.count(f[0].trimmed())) {
      Bitmap b = graphics[f[0].trimmed()];
      b.x = x;
      b.y = y;
      placed.push_back(b);
    } else if (command == "XZ" && !placed.empty()) {
      labels.push_back(Render(placed, width, true));  // a 1 bit prints in ZPL graphics
      placed.clear();
    }
  }
  return labels;
}

std::vector<RasterPage> DecodePwgRaster(const QByteArray& stream) {
  // The page header: 1796 bytes, numbers as 32-bit big-endian values at these offsets.
  constexpr int kHeader = 1796, kDpi = 276, kPageSize = 352, kWidth = 372, kHeight = 376,
                kBitsPerPixel = 388, kBytesPerLine = 392, kColorSpace = 400;
  constexpr quint32 kSGray = 18;  // 0 is black; otherwise (black_1) 1 bits are black
  std::vector<RasterPage> pages;
  if (!stream.startsWith("RaS2")) return pages;
  qsizetype at = 4;
  while (at + kHeader <= stream.size()) {
    const char* h = stream.constData() + at;
    at += kHeader;
    const int width = int(HeaderValue(h, kWidth)), height = int(HeaderValue(h, kHeight));
    const int bits = int(HeaderValue(h, kBitsPerPixel));
    const int lineBytes = int(HeaderValue(h, kBytesPerLine));
    const bool gray = HeaderValue(h, kColorSpace) == kSGray;
    if ((bits != 1 && bits != 8) || lineBytes < (width * bits + 7) / 8) break;
    const uchar white = gray ? 0xFF : 0x00;
    RasterPage page{QImage(width, height, QImage::Format_Grayscale8),
                    double(HeaderValue(h, kPageSize)), double(HeaderValue(h, kPageSize + 4)),
                    int(HeaderValue(h, kDpi))};
    page.image.fill(kPaper);
    const int unit = std::max(bits / 8, 1);  // bytes per run element
    QByteArray line;
    for (int y = 0; y < height && at < stream.size();) {
      // A line: its repeat count, then runs (n < 128: one unit n + 1 times; n > 128: 257 - n
      // units as they are; 128: white to the end of the line).
      const int copies = uchar(stream[at++]) + 1;
      line.clear();
      while (line.size() < lineBytes && at < stream.size()) {
        const int n = uchar(stream[at++]);
        if (n == 128) {
          line.append(lineBytes - line.size(), char(white));
        } else if (n < 128) {
          const QByteArray u = stream.mid(at, unit);
          at += unit;
          for (int k = 0; k <= n; ++k)
            line += u;
        } else {
          line += stream.mid(at, (257 - n) * unit);
          at += (257 - n) * unit;
        }
      }
      line.resize(lineBytes);
      for (int c = 0; c < copies && y < height; ++c, ++y) {
        uchar* out = page.image.scanLine(y);
        for (int x = 0; x < width; ++x) {
          const bool ink =
              bits == 8 ? uchar(line[x]) < 128 : bool(uchar(line[x / 8]) & (0x80 >> x % 8)) != gray;
          out[x] = ink ? kInk : kPaper;
        }
      }
    }
    pages.push_back(page);
  }
  return pages;
}

QString PclPaper(const QByteArray& job) {
  // The page-size codes of PCL 5 for the sizes an office driver offers.
  static const std::map<int, QString> kPapers = {{1, "Executive"}, {2, "Letter"}, {3, "Legal"},
                                                 {6, "Tabloid"},   {25, "A5"},    {26, "A4"},
                                                 {27, "A3"}};
  for (qsizetype at = job.indexOf("\x1b&l"); at >= 0; at = job.indexOf("\x1b&l", at + 1)) {
    qsizetype end = at + 3;
    while (end < job.size() && std::isdigit(uchar(job[end])))
      ++end;
    if (end == job.size() || (job[end] != 'A' && job[end] != 'a')) continue;
    const auto paper = kPapers.find(job.mid(at + 3, end - at - 3).toInt());
    return paper == kPapers.end() ? QString() : paper->second;
  }
  return {};
}

}  // namespace corvel::test
