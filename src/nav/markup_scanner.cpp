#include "nav/markup_scanner.h"

#include "common/ascii.h"

namespace netupdate::nav {

namespace {

bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isNameChar(char c) {
  return isLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ':';
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

}  // namespace

bool MarkupToken::isTag(Kind tagKind, std::string_view tagName) const {
  return kind == tagKind && common::equalsIgnoringCase(name, tagName);
}

std::size_t MarkupScanner::tagEnd(std::size_t from) const {
  // A '>' inside a quoted attribute value does not end the tag.
  std::size_t i = from;
  while (i < m_markup.size()) {
    const char c = m_markup[i];
    if (c == '>') return i;
    if (c == '=') {
      ++i;
      while (i < m_markup.size() && isSpace(m_markup[i])) ++i;
      if (i < m_markup.size() && (m_markup[i] == '"' || m_markup[i] == '\'')) {
        const std::size_t close = m_markup.find(m_markup[i], i + 1);
        if (close == std::string_view::npos) return close;
        i = close + 1;
      }
      continue;
    }
    ++i;
  }
  return std::string_view::npos;
}

void MarkupScanner::skipRawText(std::string_view tagName) {
  for (;;) {
    const std::size_t open = m_markup.find("</", m_pos);
    if (open == std::string_view::npos) {
      m_pos = m_markup.size();
      return;
    }
    const std::string_view after = m_markup.substr(open + 2, tagName.size());
    const std::size_t behind = open + 2 + tagName.size();
    if (common::equalsIgnoringCase(after, tagName) &&
        (behind >= m_markup.size() || !isNameChar(m_markup[behind]))) {
      m_pos = open;
      return;
    }
    m_pos = open + 2;
  }
}

MarkupToken MarkupScanner::next() {
  while (m_pos < m_markup.size()) {
    if (m_markup[m_pos] != '<') {
      std::size_t end = m_markup.find('<', m_pos + 1);
      if (end == std::string_view::npos) end = m_markup.size();
      MarkupToken token;
      token.kind = MarkupToken::Kind::Text;
      token.text = m_markup.substr(m_pos, end - m_pos);
      m_pos = end;
      return token;
    }
    const std::string_view rest = m_markup.substr(m_pos);
    if (rest.starts_with("<!--")) {
      const std::size_t end = m_markup.find("-->", m_pos + 4);
      m_pos = end == std::string_view::npos ? m_markup.size() : end + 3;
      continue;
    }
    const bool closing = rest.size() > 1 && rest[1] == '/';
    const std::size_t nameStart = m_pos + (closing ? 2 : 1);
    if (nameStart < m_markup.size() && isLetter(m_markup[nameStart])) {
      std::size_t nameEnd = nameStart;
      while (nameEnd < m_markup.size() && isNameChar(m_markup[nameEnd])) ++nameEnd;
      const std::size_t end = tagEnd(nameEnd);
      if (end == std::string_view::npos) break;
      MarkupToken token;
      token.kind = closing ? MarkupToken::Kind::EndTag : MarkupToken::Kind::StartTag;
      token.name = m_markup.substr(nameStart, nameEnd - nameStart);
      token.attributes = m_markup.substr(nameEnd, end - nameEnd);
      m_pos = end + 1;
      if (!closing && (token.isTag(MarkupToken::Kind::StartTag, "script") ||
                       token.isTag(MarkupToken::Kind::StartTag, "style"))) {
        skipRawText(token.name);
      }
      return token;
    }
    if (rest.size() > 1 && (rest[1] == '!' || rest[1] == '?' || closing)) {
      const std::size_t end = m_markup.find('>', m_pos + 1);
      if (end == std::string_view::npos) break;
      m_pos = end + 1;
      continue;
    }
    // A '<' that starts no tag is text.
    MarkupToken token;
    token.kind = MarkupToken::Kind::Text;
    token.text = m_markup.substr(m_pos, 1);
    ++m_pos;
    return token;
  }
  m_pos = m_markup.size();
  return MarkupToken{};
}

std::optional<std::string_view> attributeValue(std::string_view attributes, std::string_view name) {
  std::size_t i = 0;
  const std::size_t size = attributes.size();
  while (i < size) {
    while (i < size && (isSpace(attributes[i]) || attributes[i] == '/')) ++i;
    const std::size_t nameStart = i;
    while (i < size && !isSpace(attributes[i]) && attributes[i] != '=' && attributes[i] != '/') ++i;
    const std::string_view found = attributes.substr(nameStart, i - nameStart);
    while (i < size && isSpace(attributes[i])) ++i;
    std::string_view value;
    if (i < size && attributes[i] == '=') {
      ++i;
      while (i < size && isSpace(attributes[i])) ++i;
      if (i < size && (attributes[i] == '"' || attributes[i] == '\'')) {
        const std::size_t close = attributes.find(attributes[i], i + 1);
        const std::size_t end = close == std::string_view::npos ? size : close;
        value = attributes.substr(i + 1, end - i - 1);
        i = end == size ? size : end + 1;
      } else {
        const std::size_t valueStart = i;
        while (i < size && !isSpace(attributes[i])) ++i;
        value = attributes.substr(valueStart, i - valueStart);
      }
    }
    if (!found.empty() && common::equalsIgnoringCase(found, name)) return value;
    if (found.empty() && i == nameStart) ++i;
  }
  return std::nullopt;
}

}  // namespace netupdate::nav
