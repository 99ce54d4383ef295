#include "station/scale/scale_protocol.h"

#include <cctype>

namespace corvel {
namespace {

struct ProtocolRow {
  std::string_view name;
  std::unique_ptr<ScaleProtocol> (*make)(const ScaleOptions&);
};

const ProtocolRow kProtocols[] = {
    {"enq", [](const ScaleOptions&) { return MakeEnqProtocol(); }},
    {"lines", &MakeLinesProtocol},
    {"hid", &MakeHidProtocol},
};

}  // namespace

std::unique_ptr<ScaleProtocol> MakeScaleProtocol(std::string_view name,
                                                 const ScaleOptions& options) {
  for (const ProtocolRow& row : kProtocols)
    if (row.name == name) return row.make(options);
  return nullptr;
}

const std::vector<std::string_view>& ScaleProtocolNames() {
  static const std::vector<std::string_view> names = [] {
    std::vector<std::string_view> all;
    for (const ProtocolRow& row : kProtocols)
      all.push_back(row.name);
    return all;
  }();
  return names;
}

void ScaleProtocol::Forget(std::string& received) const {
  constexpr std::size_t kKeep = 4096;
  if (received.size() > kKeep) received.erase(0, received.size() - kKeep);
}

std::string Unescape(std::string_view text) {
  const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  const auto value = [](char c) {
    return std::isdigit(static_cast<unsigned char>(c))
               ? c - '0'
               : (std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
  };
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    if (next == 'r') {
      out += '\r';
    } else if (next == 'n') {
      out += '\n';
    } else if (next == 't') {
      out += '\t';
    } else if (next == 'x' && i + 2 < text.size() && hex(text[i + 1]) && hex(text[i + 2])) {
      out += static_cast<char>(value(text[i + 1]) * 16 + value(text[i + 2]));
      i += 2;
    } else {
      out += next;  // "\\" and any other escaped character stand for themselves
    }
  }
  return out;
}

ScaleAnswer TakeNewest(const NewestReading& newest, std::string& received) {
  received.erase(0, newest.end);
  ScaleAnswer answer;
  answer.skipped = newest.skipped;
  if (newest.reading) {
    answer.kind = ScaleAnswer::Kind::Reading;
    answer.reading = *newest.reading;
  }
  return answer;
}

}  // namespace corvel
