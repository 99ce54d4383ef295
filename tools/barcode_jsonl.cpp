// The JSON-lines session of "corvel barcode": request parsing, the op table and the
// answers of each op.
#include "tools/barcode_jsonl.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <string>

#include "barcode/barcode_job.h"
#include "common/errors.h"
#include "platform/qt_text.h"
#include "runner/number_line.h"
#include "station/label_barcode.h"

namespace corvel::tools {
namespace {

QJsonValue Field(const QJsonObject& input, const QString& name) {
  const QJsonValue value = input.value(name);
  if (value.isUndefined()) throw RequestError(("missing field \"" + name + "\"").toStdString());
  return value;
}

[[noreturn]] void WrongType(const QString& name, const char* expected) {
  throw RequestError(("field \"" + name + "\" must be " + expected).toStdString());
}

// ---------------------------------------------------------------------------------------
// op "prepare": PrepareBarcodeDigits and BuildBarPattern on a fresh record, as the
// runner calls them. The answer's fields come from the table below; a field that needs
// the request's print flags (a printed number line, say) is one more function and row.

using PrepareField = QJsonValue (*)(const BarcodeJob& job, const PrepareRequest& request);

struct PrepareFieldEntry {
  const char* name;
  PrepareField value;
};

const PrepareFieldEntry kPrepareFields[] = {
    {"DataDigits",
     [](const BarcodeJob& j, const PrepareRequest&) -> QJsonValue {
       return ToQString(j.DataDigits);
     }},
    {"LeadPair",
     [](const BarcodeJob& j, const PrepareRequest&) -> QJsonValue {
       return ToQString(j.LeadPair);
     }},
    {"FirstDigit",
     [](const BarcodeJob& j, const PrepareRequest&) -> QJsonValue {
       return ToQString(j.FirstDigit);
     }},
    {"LeftFirst",
     [](const BarcodeJob& j, const PrepareRequest&) -> QJsonValue {
       return ToQString(j.LeftFirst);
     }},
    {"LeftRest",
     [](const BarcodeJob& j, const PrepareRequest&) -> QJsonValue {
       return ToQString(j.LeftRest);
     }},
    {"RightDigits",
     [](const BarcodeJob& j, const PrepareRequest&) -> QJsonValue {
       return ToQString(j.RightDigits);
     }},
    {"CheckMarker",
     [](const BarcodeJob& j, const PrepareRequest&) -> QJsonValue {
       return QString(QChar::fromLatin1(j.CheckMarker));
     }},
    {"CheckDigit",
     [](const BarcodeJob& j, const PrepareRequest&) -> QJsonValue { return j.CheckDigit; }},
    {"CheckDigitText",
     [](const BarcodeJob& j, const PrepareRequest&) -> QJsonValue {
       return ToQString(j.CheckDigitText);
     }},
    {"IsUpcE", [](const BarcodeJob& j, const PrepareRequest&) -> QJsonValue { return j.IsUpcE; }},
    {"IsEan8", [](const BarcodeJob& j, const PrepareRequest&) -> QJsonValue { return j.IsEan8; }},
    {"UpcEDigits",
     [](const BarcodeJob& j, const PrepareRequest&) -> QJsonValue {
       return ToQString(j.UpcEDigits);
     }},
    {"Pattern",
     [](const BarcodeJob& j, const PrepareRequest&) -> QJsonValue { return ToQString(j.Pattern); }},
    {"NumberLine",
     [](const BarcodeJob& j, const PrepareRequest&) -> QJsonValue {
       return ToQString(NumberLine(j));
     }},
    {"SheetNumberLine",
     [](const BarcodeJob& j, const PrepareRequest& r) -> QJsonValue {
       return ToQString(SheetNumberLine(j, r.printCheckDigit, r.printUpcEDigits));
     }},
};

QJsonObject PrepareOp(const QJsonObject& input) {
  PrepareRequest request;
  request.codeField = RequireString(input, "codeField");
  request.allowUpcE = RequireBool(input, "allowUpcE");
  request.allowEan8 = RequireBool(input, "allowEan8");
  request.printCheckDigit = RequireBool(input, "printCheckDigit");
  request.printUpcEDigits = RequireBool(input, "printUpcEDigits");
  BarcodeJob job;
  try {
    PrepareBarcodeDigits(job, request.codeField, request.allowUpcE, request.allowEan8);
  } catch (const OverflowError&) {
    throw RequestError("codeField reads as a number beyond the range of a double");
  }
  BuildBarPattern(job, CheckDigitSource::Prepared);
  QJsonObject answer;
  for (const PrepareFieldEntry& field : kPrepareFields)
    answer.insert(field.name, field.value(job, request));
  return answer;
}

// ---------------------------------------------------------------------------------------
// op "label": the symbol of a weighed-item label as the station prepares it
// (the code box cut as the label cuts it, PrepareLabelBarcode, then BuildBarPattern
// with the check digit from the marker).

QJsonObject LabelOp(const QJsonObject& input) {
  const std::string codeText = RequireString(input, "codeText");
  const std::string flagText = RequireString(input, "flagText");
  const std::string priceText = RequireString(input, "priceText");
  const bool usePriceCheckDigit = RequireBool(input, "usePriceCheckDigit");
  BarcodeJob job;
  bool hasBarcode = false;
  try {
    hasBarcode =
        PrepareLabelBarcode(job, LabelCodeText(codeText), flagText, priceText, usePriceCheckDigit);
  } catch (const OverflowError&) {
    throw RequestError("codeText or priceText reads as a number beyond the range of a double");
  }
  QJsonObject answer;
  answer.insert("HasBarcode", hasBarcode);
  if (!hasBarcode) return answer;
  BuildBarPattern(job, CheckDigitSource::FromMarker);
  answer.insert("DataDigits", ToQString(job.LeadPair + job.LeftRest + job.RightDigits));
  answer.insert("LeadPair", ToQString(job.LeadPair));
  answer.insert("FirstDigit", ToQString(job.FirstDigit));
  answer.insert("LeftFirst", ToQString(job.LeftFirst));
  answer.insert("LeftRest", ToQString(job.LeftRest));
  answer.insert("RightDigits", ToQString(job.RightDigits));
  answer.insert("CheckMarker", QString(QChar::fromLatin1(job.CheckMarker)));
  answer.insert("CheckDigit", job.CheckDigit);
  answer.insert("Pattern", ToQString(job.Pattern));
  answer.insert("BarcodeNumberText", ToQString(MakeBarcodeNumberText(job)));
  return answer;
}

// op "price_check": the price check digit of a four-digit price field.
QJsonObject PriceCheckOp(const QJsonObject& input) {
  const std::string digits = RequireString(input, "digits");
  if (digits.size() != 4 || digits.find_first_not_of("0123456789") != std::string::npos)
    throw RequestError("field \"digits\" must be four decimal digits");
  QJsonObject answer;
  answer.insert("PriceCheckDigit", PriceCheckDigit(digits));
  return answer;
}

// ---------------------------------------------------------------------------------------
// The op table: a new op is a function from its input to its answer fields and one row.

using OpFunction = QJsonObject (*)(const QJsonObject& input);

struct OpEntry {
  const char* name;
  OpFunction run;
};

const OpEntry kOps[] = {
    {"prepare", &PrepareOp},
    {"label", &LabelOp},
    {"price_check", &PriceCheckOp},
};

QByteArray Compact(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray ErrorAnswer(const QJsonValue& id, const QString& message) {
  QJsonObject answer;
  answer.insert("id", id);
  answer.insert("error", message);
  return Compact(answer);
}

}  // namespace

std::string RequireString(const QJsonObject& input, const QString& name) {
  const QJsonValue value = Field(input, name);
  if (!value.isString()) WrongType(name, "a string");
  return value.toString().toStdString();
}

bool RequireBool(const QJsonObject& input, const QString& name) {
  const QJsonValue value = Field(input, name);
  if (!value.isBool()) WrongType(name, "true or false");
  return value.toBool();
}

QByteArray AnswerRequestLine(const QByteArray& line) {
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(line, &parseError);
  if (parseError.error != QJsonParseError::NoError)
    return ErrorAnswer(QJsonValue::Null, "not valid JSON: " + parseError.errorString());
  if (!document.isObject()) return ErrorAnswer(QJsonValue::Null, "a request must be a JSON object");
  const QJsonObject request = document.object();

  QJsonValue id = request.value("id");
  if (id.isUndefined()) id = QJsonValue::Null;
  if (!id.isNull() && !id.isString() && !id.isDouble())
    return ErrorAnswer(QJsonValue::Null, "\"id\" must be a string or a number");

  const QJsonValue op = request.value("op");
  if (op.isUndefined()) return ErrorAnswer(id, "missing \"op\"");
  if (!op.isString()) return ErrorAnswer(id, "\"op\" must be a string");
  const OpEntry* entry = nullptr;
  for (const OpEntry& candidate : kOps)
    if (op.toString() == QLatin1String(candidate.name)) entry = &candidate;
  if (!entry) return ErrorAnswer(id, "unknown op \"" + op.toString() + "\"");

  const QJsonValue input = request.value("input");
  if (input.isUndefined()) return ErrorAnswer(id, "missing \"input\"");
  if (!input.isObject()) return ErrorAnswer(id, "\"input\" must be a JSON object");

  QJsonObject answer;
  try {
    answer = entry->run(input.toObject());
  } catch (const RequestError& error) {
    return ErrorAnswer(id, QString::fromStdString(error.what()));
  } catch (const std::exception& error) {
    return ErrorAnswer(id, "failed: " + QString::fromStdString(error.what()));
  }
  answer.insert("id", id);
  return Compact(answer);
}

int RunJsonlSession(std::istream& in, std::FILE* out) {
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    QByteArray answer = AnswerRequestLine(QByteArray::fromStdString(line));
    answer += '\n';
    if (std::fwrite(answer.constData(), 1, answer.size(), out) !=
        static_cast<size_t>(answer.size()))
      return 1;
    std::fflush(out);
  }
  return 0;
}

}  // namespace corvel::tools
