#include "common/ini_document.h"

#include <algorithm>
#include <optional>

#include "common/text.h"

namespace corvel {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// ---------------------------------------------------------------------------------------
// The file as lines. Lines are positions in the file's bytes, never copies, so a large
// file costs little more than its own size.

struct LineSpan {
  std::size_t start = 0;         // of the line's text
  std::size_t length = 0;        // of the text, without the line ending
  std::size_t endingLength = 0;  // 2 for CR LF, 1 for LF, 0 for a last line without one
};

// Calls `visit` with every line of `bytes`, in order. Only CR LF and LF end a line.
template <typename Visit>
void ForEachLine(std::string_view bytes, Visit&& visit) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t lf = bytes.find('\n', start);
    if (lf == std::string_view::npos) {
      visit(LineSpan{start, bytes.size() - start, 0});
      return;
    }
    std::size_t end = lf;
    if (end > start && bytes[end - 1] == '\r') --end;
    visit(LineSpan{start, end - start, lf + 1 - end});
    start = lf + 1;
  }
}

// A line's text as UTF-8: the bytes themselves, or their Windows-1252 reading kept in
// `storage`.
std::string_view LineAsUtf8(std::string_view raw, std::string& storage) {
  if (IsValidUtf8(raw)) return raw;
  storage = Cp1252ToUtf8(raw);
  return storage;
}

// ---------------------------------------------------------------------------------------
// What a line means

enum class LineKind { Blank, Comment, Section, Entry, Other };

struct LineMeaning {
  LineKind kind = LineKind::Other;
  std::string_view name;   // the section name (Section) or the key (Entry)
  std::string_view value;  // Entry only: everything after the first '='
};

// `text` is one line as UTF-8 without a byte order mark; the meaning points into it.
LineMeaning ParseLine(std::string_view text) {
  const std::string_view trimmed = TrimBlanks(text);
  LineMeaning meaning;
  if (trimmed.empty()) {
    meaning.kind = LineKind::Blank;
  } else if (trimmed.front() == ';' || trimmed.front() == '#') {
    meaning.kind = LineKind::Comment;
  } else if (trimmed.front() == '[' && trimmed.find(']') != std::string_view::npos) {
    meaning.kind = LineKind::Section;
    meaning.name = trimmed.substr(1, trimmed.find(']') - 1);
  } else if (std::size_t eq = text.find('='); eq != std::string_view::npos) {
    const std::string_view key = TrimBlanks(text.substr(0, eq));
    if (!key.empty()) {
      meaning.kind = LineKind::Entry;
      meaning.name = key;
      meaning.value = text.substr(eq + 1);
    }
  }
  return meaning;
}

// ---------------------------------------------------------------------------------------
// Reading: the whole file as UTF-8 and a sorted index of its entries

// Turns the file's bytes into UTF-8 without a leading byte order mark; lines that are
// not UTF-8 are read as Windows-1252.
void MakeFileUtf8(std::string& bytes) {
  if (std::string_view(bytes).starts_with(kUtf8Bom)) bytes.erase(0, kUtf8Bom.size());
  if (IsValidUtf8(bytes)) return;
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 4);
  ForEachLine(bytes, [&](const LineSpan& line) {
    const std::string_view raw = std::string_view(bytes).substr(line.start, line.length);
    if (IsValidUtf8(raw))
      text += raw;
    else
      text += Cp1252ToUtf8(raw);
    text.append(bytes, line.start + line.length, line.endingLength);
  });
  bytes = std::move(text);
}

// ---------------------------------------------------------------------------------------
// Writing: new values applied to the file's bytes in one pass

// Where a key's line lies in the file.
struct FoundLine {
  std::size_t start = 0;
  std::size_t length = 0;
  bool utf8 = true;
  std::string value;  // the value it holds now, as UTF-8
};

}  // namespace

bool ApplyIniValues(std::string_view old, const std::string& section,
                    const std::vector<std::pair<std::string, std::string>>& values,
                    std::string& out) {
  std::vector<std::optional<FoundLine>> found(values.size());
  std::string current;  // the section of the line, "" before the first header
  // Where new keys go (a byte offset), found in the section's first block; the file's
  // lines before its first header are the section "".
  std::optional<std::size_t> insertAt;
  if (section.empty()) insertAt = 0;
  bool insertAfterUnterminated = false;
  bool blockEnded = false;
  std::size_t crlf = 0, lf = 0;
  std::string storage;
  ForEachLine(old, [&](const LineSpan& line) {
    crlf += line.endingLength == 2;
    lf += line.endingLength == 1;
    std::string_view raw = old.substr(line.start, line.length);
    if (line.start == 0 && raw.starts_with(kUtf8Bom)) raw.remove_prefix(kUtf8Bom.size());
    const std::string_view text = LineAsUtf8(raw, storage);
    const LineMeaning meaning = ParseLine(text);
    if (meaning.kind == LineKind::Section) current = meaning.name;
    if (current != section) {
      if (insertAt && meaning.kind == LineKind::Section) blockEnded = true;
      return;
    }
    if (!blockEnded && meaning.kind != LineKind::Blank && meaning.kind != LineKind::Comment) {
      insertAt = line.start + line.length + line.endingLength;
      insertAfterUnterminated = line.endingLength == 0;
    }
    if (meaning.kind != LineKind::Entry) return;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (!found[i] && values[i].first == meaning.name) {
        found[i] = FoundLine{line.start, line.length, text.data() == raw.data(),
                             std::string(meaning.value)};
        break;
      }
    }
  });
  const std::string ending = crlf > lf ? "\r\n" : "\n";
  // What closes an unterminated last line before new lines follow it. After a line that
  // ends in a carriage return, LF alone would make that CR part of a CR LF ending and
  // change what the line reads as; CR LF keeps it.
  const std::string closing = old.ends_with('\r') ? "\r\n" : ending;

  struct Edit {
    std::size_t at = 0;
    std::size_t erase = 0;
    std::string text;
  };
  std::vector<Edit> edits;
  std::string added;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto& [key, value] = values[i];
    if (!found[i]) {
      added += key + "=" + value + ending;
      continue;
    }
    if (found[i]->value == value) continue;
    // The key part stays byte for byte; a Windows-1252 line becomes UTF-8 as a whole, so
    // it stays one encoding (a byte order mark stays as it is).
    const std::string_view line = old.substr(found[i]->start, found[i]->length);
    std::string_view keyPart = line.substr(0, line.find('=') + 1);
    std::string text;
    if (found[i]->start == 0 && keyPart.starts_with(kUtf8Bom)) {
      text = kUtf8Bom;
      keyPart.remove_prefix(kUtf8Bom.size());
    }
    text += found[i]->utf8 ? std::string(keyPart) : Cp1252ToUtf8(keyPart);
    edits.push_back({found[i]->start, found[i]->length, text + value});
  }
  if (!added.empty()) {
    const bool unterminated = !old.empty() && old.back() != '\n';
    if (!insertAt) {
      edits.push_back(
          {old.size(), 0, (unterminated ? closing : "") + "[" + section + "]" + ending + added});
    } else if (*insertAt == 0) {
      // A byte order mark stays at the very start of the file.
      edits.push_back({old.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0, 0, added});
    } else {
      edits.push_back({*insertAt, 0, (insertAfterUnterminated ? closing : "") + added});
    }
  }
  if (edits.empty()) return false;

  std::stable_sort(edits.begin(), edits.end(),
                   [](const Edit& a, const Edit& b) { return a.at < b.at; });
  std::size_t size = old.size();
  for (const Edit& edit : edits)
    size += edit.text.size();
  out.clear();
  out.reserve(size);
  std::size_t from = 0;
  for (const Edit& edit : edits) {
    out.append(old.substr(from, edit.at - from));
    out += edit.text;
    from = edit.at + edit.erase;
  }
  out.append(old.substr(from));
  return true;
}

bool RemoveIniKeys(std::string_view old, const std::string& section,
                   const std::vector<std::string>& keys, std::string& out) {
  std::string current;  // the section of the line, "" before the first header
  std::string storage;
  std::vector<std::pair<std::size_t, std::size_t>> cuts;  // start and end of each line to go
  // A header whose block loses every line goes too, so that a key added to a new
  // section and removed again leaves the file as it was.
  std::optional<std::pair<std::size_t, std::size_t>> header;  // of the block being read
  bool blockKeeps = true, blockCut = false;
  const auto endBlock = [&] {
    if (header && blockCut && !blockKeeps) cuts.push_back(*header);
  };
  ForEachLine(old, [&](const LineSpan& line) {
    std::string_view raw = old.substr(line.start, line.length);
    std::size_t start = line.start;
    if (line.start == 0 && raw.starts_with(kUtf8Bom)) {
      raw.remove_prefix(kUtf8Bom.size());
      start += kUtf8Bom.size();  // the byte order mark stays at the very start
    }
    const std::size_t end = line.start + line.length + line.endingLength;
    const LineMeaning meaning = ParseLine(LineAsUtf8(raw, storage));
    if (meaning.kind == LineKind::Section) {
      endBlock();
      current = meaning.name;
      header = std::pair(start, end);
      blockKeeps = false;
      blockCut = false;
      return;
    }
    if (current == section && meaning.kind == LineKind::Entry &&
        std::find(keys.begin(), keys.end(), meaning.name) != keys.end()) {
      cuts.emplace_back(start, end);
      blockCut = true;
    } else {
      blockKeeps = true;
    }
  });
  endBlock();
  if (cuts.empty()) return false;
  std::sort(cuts.begin(), cuts.end());
  out.clear();
  out.reserve(old.size());
  std::size_t from = 0;
  for (const auto& [start, end] : cuts) {
    out.append(old.substr(from, start - from));
    from = end;
  }
  out.append(old.substr(from));
  return true;
}

std::string AsUtf8(std::string_view text) {
  return IsValidUtf8(text) ? std::string(text) : Cp1252ToUtf8(text);
}

std::optional<IniDocument> IniDocument::Parse(std::string bytes) {
  IniDocument document;
  document.text_ = std::move(bytes);
  MakeFileUtf8(document.text_);
  if (document.text_.size() > kMaxText) return std::nullopt;
  const std::string_view text = document.text_;
  std::vector<Entry>& entries = document.entries_;
  entries.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  const auto span = [&](std::string_view part) {
    return TextSpan{static_cast<std::uint32_t>(part.data() - text.data()),
                    static_cast<std::uint32_t>(part.size())};
  };
  TextSpan section;  // lines before the first header belong to the section ""
  ForEachLine(text, [&](const LineSpan& line) {
    const LineMeaning meaning = ParseLine(text.substr(line.start, line.length));
    if (meaning.kind == LineKind::Section) section = span(meaning.name);
    if (meaning.kind == LineKind::Entry)
      entries.push_back({section, span(meaning.name), span(meaning.value)});
  });
  if (entries.size() < entries.capacity() / 2) entries.shrink_to_fit();  // mostly other lines
  // By section, key and then place in the file, so the first of several equal keys
  // comes first.
  std::sort(entries.begin(), entries.end(), [&document](const Entry& a, const Entry& b) {
    if (const auto c = document.At(a.section) <=> document.At(b.section); c != 0) return c < 0;
    if (const auto c = document.At(a.key) <=> document.At(b.key); c != 0) return c < 0;
    return a.key.start < b.key.start;
  });
  return document;
}

std::string_view IniDocument::At(TextSpan span) const {
  return std::string_view(text_).substr(span.start, span.length);
}

std::vector<IniDocument::Entry>::const_iterator IniDocument::Find(std::string_view section,
                                                                  std::string_view key) const {
  return std::lower_bound(
      entries_.begin(), entries_.end(), std::pair(section, key),
      [this](const Entry& entry, std::pair<std::string_view, std::string_view> wanted) {
        return std::pair(At(entry.section), At(entry.key)) < wanted;
      });
}

std::optional<std::string_view> IniDocument::Get(std::string_view section,
                                                 std::string_view key) const {
  const auto found = Find(section, key);
  if (found == entries_.end() || At(found->section) != section || At(found->key) != key)
    return std::nullopt;
  return At(found->value);
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const {
  std::vector<std::string> keys;
  for (auto entry = Find(section, ""); entry != entries_.end() && At(entry->section) == section;
       ++entry) {
    const std::string_view key = At(entry->key);
    if (keys.empty() || keys.back() != key) keys.emplace_back(key);
  }
  return keys;
}

void IniDocument::Clear() {
  std::string().swap(text_);
  std::vector<Entry>().swap(entries_);
}

}  // namespace corvel
