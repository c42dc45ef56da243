#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace netupdate::nav {

// One piece of markup: a run of text, or a start or end tag with its name
// and the raw text of its attributes. Views into the scanned markup.
struct MarkupToken {
  enum class Kind { Text, StartTag, EndTag, End };
  Kind kind = Kind::End;
  std::string_view name;
  std::string_view attributes;
  std::string_view text;

  // Tag names compare by ASCII letters, whatever their case in the page.
  bool isTag(Kind tagKind, std::string_view tagName) const;
};

// Goes once through markup the way a browser would for our needs: comments,
// declarations and the content of script and style are skipped, and a tag
// never closed ends the markup. Each step moves forward, so a whole page takes
// linear time whatever it holds.
class MarkupScanner {
 public:
  explicit MarkupScanner(std::string_view markup) : m_markup(markup) {}
  MarkupToken next();

 private:
  std::size_t tagEnd(std::size_t from) const;
  void skipRawText(std::string_view tagName);

  std::string_view m_markup;
  std::size_t m_pos = 0;
};

// The value of the attribute name (ASCII letters in any case) in a tag's
// attribute text, still with its character references; nullopt when the tag
// has no such attribute.
std::optional<std::string_view> attributeValue(std::string_view attributes, std::string_view name);

}  // namespace netupdate::nav
