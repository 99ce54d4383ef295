#include "tests/support/pdf_tools.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <optional>

#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

// The standard output of a poppler or zbar tool that ran to its end with exit code 0
// (zbarimg exits 4 when it finds no symbol); nothing otherwise.
std::optional<QByteArray> RunTool(const QString& program, const QStringList& args) {
  const RunResult result = RunProgram(program, args, {}, {}, 120000);
  if (!result.finished || result.exitCode != 0) return std::nullopt;
  return result.out;
}

}  // namespace

QImage RasterisePdf(const QString& pdf, int dpi, int page, bool antialias) {
  QTemporaryDir dir;
  const QString root = dir.filePath("page"), at = QString::number(page);
  const QString aa = antialias ? "yes" : "no";
  const QStringList args = {
      "-r", QString::number(dpi), "-gray", "-f",   at,  "-l", at, "-singlefile", "-aa",
      aa,   "-aaVector",          aa,      "-png", pdf, root};
  return dir.isValid() && RunTool("pdftoppm", args) ? QImage(root + ".png") : QImage();
}

QStringList DecodeBarcodes(const QString& imagePath, const QStringList& extraArgs) {
  const QStringList args = QStringList{"--nodbus", "--quiet", "--raw"} + extraArgs << imagePath;
  const QString out = QString::fromUtf8(RunTool("zbarimg", args).value_or(""));
  return out.trimmed().split('\n', Qt::SkipEmptyParts);  // one line a symbol
}

QStringList DecodeBarcodes(const QImage& image, const QStringList& extraArgs) {
  QTemporaryDir dir;
  if (!dir.isValid() || image.isNull()) return {};
  const QString path = dir.filePath("image.png");
  return image.save(path, "PNG") ? DecodeBarcodes(path, extraArgs) : QStringList();
}

std::vector<PdfWord> PdfWords(const QString& pdf) {
  std::vector<PdfWord> words;
  QXmlStreamReader xml(RunTool("pdftotext", {"-bbox", pdf, "-"}).value_or(""));
  int page = 0;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (xml.name() == QLatin1String("page")) {
      ++page;
    } else if (xml.name() == QLatin1String("word")) {
      const QXmlStreamAttributes box = xml.attributes();
      words.push_back({QString(), page, box.value("xMin").toDouble(), box.value("yMin").toDouble(),
                       box.value("xMax").toDouble(), box.value("yMax").toDouble()});
      words.back().text = xml.readElementText();
    }
  }
  return words;
}

int PdfPageCount(const QString& pdf) {
  static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                        QRegularExpression::MultilineOption);
  const QRegularExpressionMatch match =
      pages.match(QString::fromUtf8(RunTool("pdfinfo", {pdf}).value_or("")));
  return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QSizeF PdfPageSizeMm(const QString& pdf) {
  static const QRegularExpression size(QStringLiteral("^Page size:\\s+([\\d.]+) x ([\\d.]+) pts"),
                                       QRegularExpression::MultilineOption);
  static const QRegularExpression rotation(QStringLiteral("^Page rot:\\s+(\\d+)"),
                                           QRegularExpression::MultilineOption);
  const QString info = QString::fromUtf8(RunTool("pdfinfo", {pdf}).value_or(""));
  const QRegularExpressionMatch page = size.match(info);
  if (!page.hasMatch()) return {};
  const QSizeF mm(page.captured(1).toDouble() / 72 * 25.4, page.captured(2).toDouble() / 72 * 25.4);
  return rotation.match(info).captured(1).toInt() % 180 == 90 ? mm.transposed() : mm;
}

QStringList ListPdfFiles(const QString& folder) {
  QDir dir(folder);
  QStringList paths;
  for (const QString& name : dir.entryList({"*.pdf"}, QDir::Files, QDir::Name))
    paths << dir.filePath(name);
  return paths;
}

}  // namespace corvel::test
