// Build step: turns a program's help source into the header its --help prints and into
// its manual page, so the two never say different things.
//   help_pages SOURCE HEADER MANPAGE VERSION
//
// The source is the --help text as printed, plus lines starting with "." for the
// manual page only:
//   .name PROGRAM          .summary ONE LINE     (the manual's NAME line)
//   .usage NAME SUMMARY    a block up to ".end": a subcommand's own usage text, kept
//                          out of the main text (the header gets it as kUsages[])
//   .subcommands           in the main text: one line "  NAME  SUMMARY" per .usage
// How the text becomes a manual page: the lines up to the first blank line are the
// synopsis ("Usage: " dropped); a line at the left edge ending in ":" starts a section;
// an indented line "  TERM  text" is an entry of that section, and a line indented
// further carries on the entry before it; other lines are running text, a blank line
// ends a paragraph.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Usage {
  std::string name, summary, text;
};

struct HelpSource {
  std::string name, summary;
  std::vector<std::string> lines;  // the main text
  std::vector<Usage> usages;
};

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string After(const std::string& line, const std::string& directive) {
  std::string rest = line.substr(directive.size());
  rest.erase(0, rest.find_first_not_of(' '));
  return rest;
}

HelpSource Read(std::istream& in) {
  HelpSource source;
  std::string line;
  Usage* usage = nullptr;
  while (std::getline(in, line)) {
    if (usage) {
      if (line == ".end") {
        usage = nullptr;
      } else {
        usage->text += line + "\n";
      }
    } else if (StartsWith(line, ".name ")) {
      source.name = After(line, ".name");
    } else if (StartsWith(line, ".summary ")) {
      source.summary = After(line, ".summary");
    } else if (StartsWith(line, ".usage ")) {
      const std::string rest = After(line, ".usage");
      const std::size_t space = rest.find(' ');
      if (space == std::string::npos) throw std::runtime_error(line + ": a summary is needed");
      source.usages.push_back({rest.substr(0, space), After(rest.substr(space), ""), ""});
      usage = &source.usages.back();
    } else if (line == ".subcommands") {
      source.lines.push_back(line);
    } else if (StartsWith(line, ".")) {
      throw std::runtime_error("unknown directive: " + line);
    } else {
      source.lines.push_back(line);
    }
  }
  if (usage) throw std::runtime_error(".usage " + usage->name + " has no .end");
  if (source.name.empty() || source.summary.empty())
    throw std::runtime_error(".name and .summary are needed");
  for (std::size_t i = 0; i < source.lines.size(); ++i) {
    if (source.lines[i] != ".subcommands") continue;
    source.lines.erase(source.lines.begin() + std::ptrdiff_t(i));
    for (const Usage& usage : source.usages) {
      std::string name = usage.name;
      name.resize(std::max<std::size_t>(name.size(), 10), ' ');
      source.lines.insert(source.lines.begin() + std::ptrdiff_t(i++),
                          "  " + name + " " + usage.summary);
    }
    --i;
  }
  while (!source.lines.empty() && source.lines.back().empty())
    source.lines.pop_back();
  return source;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\n";
  return text;
}

// A raw string literal; the delimiter is one no help text holds.
std::string Literal(const std::string& text) {
  if (text.find(")help\"") != std::string::npos) throw std::runtime_error("text holds )help\"");
  return "R\"help(" + text + ")help\"";
}

std::string Header(const HelpSource& source) {
  std::ostringstream out;
  out << "// Generated from the help source of " << source.name << "; edit that, not this.\n"
      << "#pragma once\n\nnamespace corvel::help {\n\n"
      << "inline constexpr const char* kHelp = " << Literal(Joined(source.lines)) << ";\n\n"
      << "struct SubcommandUsage {\n  const char* name;\n  const char* summary;\n"
      << "  const char* text;\n};\n"
      << "inline constexpr SubcommandUsage kUsages[] = {\n";
  for (const Usage& usage : source.usages)
    out << "    {\"" << usage.name << "\", \"" << usage.summary << "\", " << Literal(usage.text)
        << "},\n";
  out << "    {nullptr, nullptr, nullptr}};\n\n}  // namespace corvel::help\n";
  return out.str();
}

// Text for roff: backslashes and minus signs escaped, a leading dot or quote guarded.
std::string Roff(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string Upper(std::string text) {
  for (char& c : text)
    c = char(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool IsHeading(const std::string& line) {
  return !line.empty() && line[0] != ' ' && line.back() == ':';
}

std::string ManPage(const HelpSource& source, const std::string& version) {
  std::ostringstream out;
  out << ".TH " << Upper(source.name) << " 1 \"\" \"Corvel " << version << "\" \"User Commands\"\n"
      << ".SH NAME\n"
      << Roff(source.name) << " \\- " << Roff(source.summary) << "\n.SH SYNOPSIS\n";
  std::size_t i = 0;
  for (; i < source.lines.size() && !source.lines[i].empty(); ++i) {
    std::string line = Trimmed(source.lines[i]);
    for (const char* prefix : {"Usage: ", "usage: "})
      if (StartsWith(line, prefix)) line = line.substr(std::string(prefix).size());
    out << (i ? ".br\n" : "") << Roff(line) << "\n";
  }
  bool inSection = false, inEntry = false, paragraph = false;
  for (; i < source.lines.size(); ++i) {
    const std::string& line = source.lines[i];
    if (line.empty()) {
      paragraph = false;
      inEntry = false;
      continue;
    }
    if (IsHeading(line)) {
      out << ".SH \"" << Upper(line.substr(0, line.size() - 1)) << "\"\n";
      inSection = true;
      inEntry = paragraph = false;
      continue;
    }
    if (!inSection) {
      out << ".SH DESCRIPTION\n";
      inSection = true;
    }
    const std::size_t indent = line.find_first_not_of(' ');
    const std::size_t gap = line.find("  ", indent);
    if (indent == 2 && gap != std::string::npos) {
      out << ".TP\n.B " << Roff(line.substr(indent, gap - indent)) << "\n"
          << Roff(Trimmed(line.substr(gap))) << "\n";
      inEntry = true;
    } else if (indent == 2) {
      out << ".TP\n.B " << Roff(Trimmed(line)) << "\n";
      inEntry = true;
    } else if (inEntry || paragraph) {
      out << Roff(Trimmed(line)) << "\n";
    } else {
      out << ".PP\n" << Roff(Trimmed(line)) << "\n";
      paragraph = true;
    }
  }
  if (!source.usages.empty()) {
    out << ".SH \"SUBCOMMAND OPTIONS\"\n";
    for (const Usage& usage : source.usages) {
      out << ".SS \"" << Roff(source.name + " " + usage.name) << "\"\n"
          << Roff(usage.summary) << ".\n.PP\n.nf\n";
      std::istringstream text(usage.text);
      std::string line;
      while (std::getline(text, line))
        out << (line.empty() ? ".sp" : Roff(line)) << "\n";
      out << ".fi\n";
    }
  }
  return out.str();
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs("usage: help_pages SOURCE HEADER MANPAGE VERSION\n", stderr);
    return 2;
  }
  try {
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + std::string(argv[1]));
    const HelpSource source = Read(in);
    Write(argv[2], Header(source));
    Write(argv[3], ManPage(source, argv[4]));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "help_pages: %s: %s\n", argv[1], error.what());
    return 1;
  }
  return 0;
}
