#include "nav/page_links.h"

#include <optional>

#include "nav/html_text.h"
#include "nav/markup_scanner.h"
#include "nav/page_forms.h"

namespace netupdate::nav {

namespace {

using Kind = MarkupToken::Kind;

// Link texts are short; a longer one is cut, not kept whole.
constexpr std::size_t kMaxLinkText = 4 * 1024;

bool visitLinks(std::string_view markup, const std::function<bool(const PageLink&)>& visit) {
  MarkupScanner scanner(markup);
  std::optional<PageLink> open;
  std::string text;
  const auto close = [&] {
    if (!open) return true;
    open->text = collapseBlanks(text);
    const bool more = visit(*open);
    open.reset();
    return more;
  };
  for (MarkupToken token = scanner.next(); token.kind != Kind::End; token = scanner.next()) {
    if (token.isTag(Kind::StartTag, "a")) {
      if (!close()) return false;
      const std::optional<std::string_view> href = attributeValue(token.attributes, "href");
      if (!href) continue;
      open.emplace();
      appendDecodedText(*href, open->href);
      text.clear();
    } else if (token.isTag(Kind::EndTag, "a")) {
      if (!close()) return false;
    } else if (open && text.size() < kMaxLinkText) {
      if (token.kind == Kind::Text) {
        appendDecodedText(token.text.substr(0, kMaxLinkText - text.size()), text);
      } else if (token.isTag(Kind::StartTag, "br")) {
        text += ' ';
      }
    }
  }
  return close();
}

}  // namespace

void forEachLink(std::string_view page, const std::function<bool(const PageLink&)>& visit) {
  if (!visitLinks(page, visit)) return;
  for (const std::string& markup : escapedMarkup(page)) {
    if (!visitLinks(markup, visit)) return;
  }
}

}  // namespace netupdate::nav
