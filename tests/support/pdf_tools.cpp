#include "tests/support/pdf_tools.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace corvel::test {
namespace {

struct ToolResult {
  bool ran = false;
  int exitCode = -1;
  QByteArray out;
};

ToolResult RunTool(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  ToolResult result;
  if (!process.waitForStarted(10000)) return result;
  process.closeWriteChannel();
  if (!process.waitForFinished(120000)) {
    process.kill();
    process.waitForFinished(5000);
    return result;
  }
  result.ran = process.exitStatus() == QProcess::NormalExit;
  result.exitCode = process.exitCode();
  result.out = process.readAllStandardOutput();
  return result;
}

}  // namespace

QImage RasterisePdf(const QString& pdf, int dpi, int page, bool antialias) {
  QTemporaryDir dir;
  if (!dir.isValid()) return {};
  const QString root = dir.filePath("page");
  QStringList args = {"-r", QString::number(dpi),  "-gray",      "-f", QString::number(page),
                      "-l", QString::number(page), "-singlefile"};
  if (!antialias)
    args << "-aa"
         << "no"
         << "-aaVector"
         << "no";
  args << "-png" << pdf << root;
  const ToolResult result = RunTool("pdftoppm", args);
  if (!result.ran || result.exitCode != 0) return {};
  return QImage(root + ".png");
}

QStringList DecodeBarcodes(const QString& imagePath, const QStringList& extraArgs) {
  QStringList args = {"--nodbus", "--quiet", "--raw"};
  args << extraArgs << imagePath;
  const ToolResult result = RunTool("zbarimg", args);
  // zbarimg exits 4 when it finds no symbol.
  if (!result.ran || result.exitCode != 0) return {};
  QStringList texts;
  for (const QString& line : QString::fromUtf8(result.out).split('\n')) {
    if (!line.trimmed().isEmpty()) texts << line.trimmed();
  }
  return texts;
}

QStringList DecodeBarcodes(const QImage& image, const QStringList& extraArgs) {
  QTemporaryDir dir;
  if (!dir.isValid() || image.isNull()) return {};
  const QString path = dir.filePath("image.png");
  if (!image.save(path, "PNG")) return {};
  return DecodeBarcodes(path, extraArgs);
}

std::vector<PdfWord> PdfWords(const QString& pdf) {
  std::vector<PdfWord> words;
  const ToolResult result = RunTool("pdftotext", {"-bbox", pdf, "-"});
  if (!result.ran || result.exitCode != 0) return words;
  QXmlStreamReader xml(result.out);
  int page = 0;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (xml.name() == QLatin1String("page")) {
      ++page;
    } else if (xml.name() == QLatin1String("word")) {
      const QXmlStreamAttributes attributes = xml.attributes();
      PdfWord word;
      word.page = page;
      word.xMin = attributes.value("xMin").toDouble();
      word.yMin = attributes.value("yMin").toDouble();
      word.xMax = attributes.value("xMax").toDouble();
      word.yMax = attributes.value("yMax").toDouble();
      word.text = xml.readElementText();
      words.push_back(word);
    }
  }
  return words;
}

int PdfPageCount(const QString& pdf) {
  const ToolResult result = RunTool("pdfinfo", {pdf});
  if (!result.ran || result.exitCode != 0) return -1;
  static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                        QRegularExpression::MultilineOption);
  const QRegularExpressionMatch match = pages.match(QString::fromUtf8(result.out));
  return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QStringList ListPdfFiles(const QString& folder) {
  QDir dir(folder);
  QStringList paths;
  for (const QString& name : dir.entryList({"*.pdf"}, QDir::Files, QDir::Name)) {
    paths << dir.filePath(name);
  }
  return paths;
}

}  // namespace corvel::test
