#pragma once
// Failures the caller sees. Domain code throws these; the programs decide what the
// operator or the calling suite is told.
#include <stdexcept>
#include <string>

namespace corvel {

class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A number does not fit the field it goes into (16-bit value, fixed point, float).
class OverflowError : public Failure {
 public:
  using Failure::Failure;
};

// A file could not be opened, read or written.
class IoError : public Failure {
 public:
  using Failure::Failure;
};

// The print surface could not start, draw or finish a document.
class PrintError : public Failure {
 public:
  using Failure::Failure;
};

// The print server took the connection but gave no answer within its bound: asking it
// again at once would only wait as long again.
class PrintServerSilent : public PrintError {
 public:
  using PrintError::PrintError;
};

}  // namespace corvel
