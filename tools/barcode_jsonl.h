#pragma once
// "corvel barcode --jsonl": one JSON request per line on standard input, one flat JSON
// answer per line on standard output, in order.
//
// Request: {"id": ..., "op": "NAME", "input": {...}}. Each op is a function from its
// input object to the answer's fields, listed in the op table in barcode_jsonl.cpp; a
// new op is one function and one table entry there. The answer echoes "id" (a string or
// a number); a line that cannot be answered gets {"id": ..., "error": "..."}, with id
// null when it could not be read, and the session goes on with the next line.
#include <QJsonObject>
#include <QString>
#include <cstdio>
#include <istream>
#include <stdexcept>
#include <string>

#include "barcode/barcode_job.h"

namespace corvel::tools {

// A request the op cannot answer; its message becomes the answer's "error".
class RequestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Typed field readers for op functions: throw RequestError naming the field when it is
// missing or of another type.
std::string RequireString(const QJsonObject& input, const QString& name);
bool RequireBool(const QJsonObject& input, const QString& name);

// The input of op "prepare".
struct PrepareRequest {
  std::string codeField;
  bool allowUpcE = false;
  bool allowEan8 = false;
  bool printCheckDigit = false;
  bool printUpcEDigits = false;
};

// Answers one request line (without its line end): the compact JSON of the answer.
QByteArray AnswerRequestLine(const QByteArray& line);

// Runs a session until the end of `in`, flushing every answer. Returns the exit code.
int RunJsonlSession(std::istream& in, std::FILE* out);

}  // namespace corvel::tools
