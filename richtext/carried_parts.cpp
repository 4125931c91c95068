#include "richtext/carried_parts.h"

#include <algorithm>

#include "richtext/rtf_io.h"
#include "richtext/rtf_lexer.h"

namespace yig::rt {
namespace {

// A token with where it stands; `depth` counts the groups open around it
// (a group's own braces stand at the depth outside it).
struct Placed {
  rtf::Token t;
  std::size_t at = 0, end = 0;
  int depth = 0;
};

std::vector<Placed> placedTokens(std::string_view s) {
  std::vector<Placed> out;
  rtf::Lexer lexer(s);
  int depth = 0;
  for (rtf::Token t = lexer.next(); t.kind != rtf::TokenKind::End && t.kind != rtf::TokenKind::NeedMore;
       t = lexer.next()) {
    const auto at = static_cast<std::size_t>(t.bytes.data() - s.data());
    if (t.kind == rtf::TokenKind::GroupClose) --depth;
    out.push_back(Placed{t, at, at + t.bytes.size(), depth});
    if (t.kind == rtf::TokenKind::GroupOpen) ++depth;
  }
  return out;
}

PartKind kindOfWord(std::string_view word) {
  if (word == "footnote") return PartKind::Note;
  const auto words = rtf::headerFooterWords();
  const auto at = std::find(words.begin(), words.end(), word);
  if (at == words.end()) return PartKind::None;
  return at - words.begin() < 4 ? PartKind::Header : PartKind::Footer;
}

bool isStar(const rtf::Token& t) { return t.kind == rtf::TokenKind::ControlSymbol && t.symbol == '*'; }

// The index of the destination word of a group opened at toks[open], if it has one.
std::optional<std::size_t> destinationAt(const std::vector<Placed>& toks, std::size_t open) {
  std::size_t i = open + 1;
  if (i < toks.size() && isStar(toks[i].t)) ++i;
  if (i < toks.size() && toks[i].t.kind == rtf::TokenKind::ControlWord && kindOfWord(toks[i].t.name) != PartKind::None)
    return i;
  return std::nullopt;
}

// Whether a token puts text (or something shown) into the group.
bool isText(const rtf::Token& t) {
  switch (t.kind) {
    case rtf::TokenKind::Text:
      return t.bytes.find_first_not_of("\r\n") != std::string_view::npos;
    case rtf::TokenKind::HexByte:
    case rtf::TokenKind::Binary:
      return true;
    case rtf::TokenKind::ControlSymbol:
      return t.symbol != '*';
    case rtf::TokenKind::ControlWord: {
      for (std::string_view w : {"u", "par", "tab", "line", "sect", "cell", "row", "nestcell", "nestrow", "page", "column"}) {
        if (t.name == w) return true;
      }
      const auto symbols = rtf::symbolWords();
      return rtf::isSuppliedCharacterWord(t.name) ||
             std::any_of(symbols.begin(), symbols.end(), [&](const rtf::SymbolWord& s) { return s.word == t.name; });
    }
    default:
      return false;
  }
}

// A group cut where its content begins and ends. The content begins after the
// group's own words (destination, \ftnalt) and, in a note, after its reference
// mark when that comes before any text; `replay` holds the words between the
// two, which set the look the content starts in.
struct Split {
  std::size_t contentBegin = 0, contentEnd = 0;
  std::string replay;
};

std::optional<Split> splitGroup(std::string_view group) {
  const std::vector<Placed> toks = placedTokens(group);
  if (toks.size() < 3 || toks[0].t.kind != rtf::TokenKind::GroupOpen || toks[0].at != 0) return std::nullopt;
  // The group's braces must close exactly where its bytes end.
  std::size_t close = 1;
  while (close < toks.size() && !(toks[close].t.kind == rtf::TokenKind::GroupClose && toks[close].depth == 0)) ++close;
  if (close + 1 != toks.size() || toks[close].end != group.size()) return std::nullopt;
  const std::optional<std::size_t> word = destinationAt(toks, 0);
  if (!word) return std::nullopt;
  std::size_t i = *word + 1;
  const bool note = kindOfWord(toks[*word].t.name) == PartKind::Note;
  if (note && i < close && toks[i].t.is("ftnalt")) ++i;
  Split split{toks[i - 1].end, toks[close].at, {}};
  if (!note) return split;
  std::string replay;
  for (std::size_t j = i; j < close; ++j) {
    const Placed& p = toks[j];
    if (p.t.kind == rtf::TokenKind::GroupOpen) {
      std::size_t end = j + 1;
      bool mark = false, text = false;
      for (; !(toks[end].t.kind == rtf::TokenKind::GroupClose && toks[end].depth == p.depth); ++end) {
        mark = mark || toks[end].t.is("chftn");
        text = text || isText(toks[end].t);
      }
      const bool ignorable = j + 1 < end && isStar(toks[j + 1].t);
      if (!ignorable && mark) {
        split.contentBegin = toks[end].end;
        split.replay = std::move(replay);
        return split;
      }
      if (!ignorable && text) return split;
      j = end;
    } else if (p.t.is("chftn")) {
      split.contentBegin = p.end;
      split.replay = std::move(replay);
      return split;
    } else if (isText(p.t)) {
      return split;
    } else if (p.t.kind == rtf::TokenKind::ControlWord) {
      replay += p.t.bytes;
    }
  }
  return split;
}

std::string number(long n) { return std::to_string(n); }

// The header `header` as the writer writes it, without the body's opening line.
std::string headerRtf(const std::shared_ptr<const CarriedHeader>& header) {
  Document empty;
  empty.setCarriedHeader(header);
  CharFormat f;
  if (!header->fonts.empty()) f.font = header->fonts.front().font;  // adds no font to the table
  empty.setDefaultFormat(f);
  std::size_t bodyAt = 0;
  std::string out = detail::RtfWriter::write(empty, 0, 0, &bodyAt);
  out.resize(bodyAt);
  return out;
}

// Control words that set the character format `f` in a document with `header`'s tables.
std::string formatWords(const CarriedHeader& header, const CharFormat& f) {
  std::string w = "\\plain";
  w += f.extra;
  int font = -1;
  for (const CarriedHeader::FontEntry& e : header.fonts) {
    if (e.font == f.font && (font < 0 || e.number < font)) font = e.number;
  }
  if (font >= 0) w += "\\f" + number(font);
  w += "\\fs" + number(f.sizeHalfPoints);
  if (f.color) {
    for (std::size_t n = 1; n < header.colors.size(); ++n) {
      if (header.colors[n] == f.color) {
        w += "\\cf" + number(static_cast<long>(n));
        break;
      }
    }
  }
  if (f.bold) w += "\\b";
  if (f.italic) w += "\\i";
  if (f.underline) w += "\\ul";
  if (f.strike) w += "\\strike";
  w += ' ';
  return w;
}

const EmbeddedObject* objectAt(const Document& doc, std::size_t unit) {
  return unit < doc.length() ? doc.formatAt(unit).object.get() : nullptr;
}

}  // namespace

std::string_view partWord(std::string_view group) {
  const std::vector<Placed> toks = placedTokens(group.substr(0, std::min<std::size_t>(group.size(), 64)));
  if (toks.empty() || toks[0].t.kind != rtf::TokenKind::GroupOpen) return {};
  const std::optional<std::size_t> word = destinationAt(toks, 0);
  return word ? toks[*word].t.name : std::string_view();
}

PartKind partKindOf(std::string_view group) { return kindOfWord(partWord(group)); }

std::optional<PartRef> noteAt(const Document& doc, std::size_t unit) {
  const EmbeddedObject* o = objectAt(doc, unit);
  if (!o || doc.text()[unit] != 0xFFFC || partKindOf(o->rtf) != PartKind::Note) return std::nullopt;
  PartRef ref{unit, PartRef::Place::Object, 0, o->rtf.size(), o->unicodeSkip, PartKind::Note, "footnote"};
  const std::vector<Placed> toks = placedTokens(std::string_view(o->rtf).substr(0, 64));
  if (const auto word = destinationAt(toks, 0); word && *word + 1 < toks.size()) {
    ref.endnote = toks[*word + 1].t.is("ftnalt");
  }
  return ref;
}

std::vector<PartRef> headersAndFooters(const Document& doc) {
  std::vector<PartRef> out;
  int section = 1;
  // `topOnly`: a header's own groups (a style sheet's page styles hold headers too) are not looked into.
  auto scan = [&](std::string_view bytes, PartRef::Place place, std::size_t unit, bool topOnly) {
    const std::vector<Placed> toks = placedTokens(bytes);
    std::vector<int> skip{1};  // the \ucN in effect, a group's on top
    for (std::size_t i = 0; i < toks.size(); ++i) {
      const Placed& p = toks[i];
      if (p.t.kind == rtf::TokenKind::GroupOpen) {
        const auto word = destinationAt(toks, i);
        if (word || (topOnly && p.depth == 0)) {
          std::size_t end = i + 1;
          while (end < toks.size() && !(toks[end].t.kind == rtf::TokenKind::GroupClose && toks[end].depth == p.depth))
            ++end;
          const std::size_t bytesEnd = end < toks.size() ? toks[end].end : bytes.size();
          const PartKind kind = word ? kindOfWord(toks[*word].t.name) : PartKind::None;
          if (kind == PartKind::Header || kind == PartKind::Footer) {
            out.push_back(PartRef{unit, place, p.at, bytesEnd - p.at, skip.back(), kind,
                                  std::string(toks[*word].t.name), section});
          }
          i = end;
          continue;
        }
        skip.push_back(skip.back());
      } else if (p.t.kind == rtf::TokenKind::GroupClose) {
        if (skip.size() > 1) skip.pop_back();
      } else if (p.t.is("uc") && p.t.hasParam) {
        skip.back() = std::clamp(p.t.param, 0, 10);
      }
    }
  };
  if (const std::shared_ptr<const CarriedHeader>& header = doc.carriedHeader()) {
    scan(header->betweenTables, PartRef::Place::Header, 0, true);
    scan(header->afterColors, PartRef::Place::Header, 1, true);
  }
  const std::u16string_view text = doc.text();
  for (std::size_t u = 0; u < text.size(); ++u) {
    if (text[u] != u'\r' && text[u] != 0xFFFC) continue;
    const EmbeddedObject* o = objectAt(doc, u);
    if (!o) continue;
    if (o->kind == EmbeddedObject::Kind::Break) {
      if (!o->lead.empty()) scan(o->lead, PartRef::Place::Opening, u, false);
      if (o->rtf == "\\sect") ++section;
    } else if (o->kind == EmbeddedObject::Kind::Group && text[u] == 0xFFFC) {
      const PartKind kind = partKindOf(o->rtf);
      if (kind == PartKind::Header || kind == PartKind::Footer) {
        out.push_back(PartRef{u, PartRef::Place::Object, 0, o->rtf.size(), o->unicodeSkip, kind,
                              std::string(partWord(o->rtf)), section});
      }
    }
  }
  scan(doc.finalParagraphLead(), PartRef::Place::Opening, text.size(), false);
  return out;
}

namespace {

// The text a part's group stands in.
std::string_view placeOf(const Document& doc, const PartRef& ref) {
  switch (ref.place) {
    case PartRef::Place::Header:
      if (const CarriedHeader* h = doc.carriedHeader().get()) return ref.unit == 0 ? h->betweenTables : h->afterColors;
      return {};
    case PartRef::Place::Opening:
      if (ref.unit == doc.length()) return doc.finalParagraphLead();
      if (const EmbeddedObject* o = objectAt(doc, ref.unit); o && o->kind == EmbeddedObject::Kind::Break) return o->lead;
      return {};
    case PartRef::Place::Object:
      if (const EmbeddedObject* o = objectAt(doc, ref.unit)) return o->rtf;
      return {};
  }
  return {};
}

}  // namespace

std::string_view partBytes(const Document& doc, const PartRef& ref) {
  const std::string_view source = placeOf(doc, ref);
  if (ref.offset > source.size() || ref.size > source.size() - ref.offset) return {};
  const std::string_view group = source.substr(ref.offset, ref.size);
  return partKindOf(group) == ref.kind && ref.kind != PartKind::None ? group : std::string_view();
}

std::optional<std::string> partContentRtf(const Document& doc, const PartRef& ref) {
  const std::shared_ptr<const CarriedHeader>& header = doc.carriedHeader();
  const std::string_view group = partBytes(doc, ref);
  const std::optional<Split> split = group.empty() || !header ? std::nullopt : splitGroup(group);
  if (!split) return std::nullopt;
  const std::string head = headerRtf(header);
  const std::string opening = "\r\n\\uc" + number(ref.unicodeSkip) + "\\pard";
  // The look where the group stands: a note takes its mark's; a header starts plain.
  CharFormat start;
  if (ref.place == PartRef::Place::Object) {
    start = doc.formatAt(ref.unit);
    start.object.reset();
  }
  if (!split->replay.empty()) {
    // The words before a note's reference mark change that look: read them to learn how.
    Document probe;
    probe.setDefaultFormat(doc.defaultFormat());
    probe.setRtf(head + opening + formatWords(*header, start) + split->replay + " x}");
    if (!probe.text().empty() && probe.text().back() == u'x') {
      start = probe.formatAt(probe.length() - 1);
      start.object.reset();
    }
  }
  return head + opening + formatWords(*header, start) +
         std::string(group.substr(split->contentBegin, split->contentEnd - split->contentBegin)) + "}";
}

bool applyPartEdit(Document& doc, const PartRef& ref, const Document& edited) {
  const std::shared_ptr<const CarriedHeader> header = doc.carriedHeader();
  const std::string_view group = partBytes(doc, ref);
  const std::optional<Split> split = group.empty() || !header ? std::nullopt : splitGroup(group);
  if (!split) return false;
  // The edited content is written on the document's tables (a document read
  // from RTF with nothing else to carry keeps none of its own).
  Document content = edited;
  content.setCarriedHeader(header);
  // An empty last paragraph is left out: the group's last paragraph mark ends the one before it.
  std::size_t end = content.length();
  if (end > 0 && content.text()[end - 1] == u'\r') {
    const EmbeddedObject* mark = content.formatAt(end - 1).object.get();
    if (!mark || (mark->kind == EmbeddedObject::Kind::Break && mark->rtf == "\\par")) --end;
  }
  std::size_t bodyAt = 0;
  const std::string written = detail::RtfWriter::write(content, 0, end, &bodyAt);
  std::string_view body = std::string_view(written).substr(bodyAt);
  constexpr std::string_view kOpening = "\r\n\\uc1\\pard", kEnd = "}\r\n";
  if (!body.starts_with(kOpening) || !body.ends_with(kEnd)) return false;
  body = body.substr(2, body.size() - 2 - kEnd.size());
  std::string fresh(group.substr(0, split->contentBegin));
  // Words kept before the reference mark set the note's paragraph: no \pard
  // may undo them. \plain: the writer takes the character words it starts
  // from for the defaults, whatever the group stands in.
  const std::string_view rest = body.substr(std::string_view("\\uc1\\pard").size());
  fresh += split->replay.empty() ? "\\uc1\\pard" : "\\uc1";
  if (!rest.starts_with("\\plain")) fresh += "\\plain";
  fresh += rest;
  fresh += '}';

  // Fonts and colours the edit added to the tables join the document's.
  // (An ignorable group of its own after the tables makes the reader carry
  // them with their numbers, as it does for any header worth carrying.)
  Document reread;
  reread.setRtf(written.substr(0, bodyAt) + "{\\*\\yigtables}" + written.substr(bodyAt));
  auto tables = std::make_shared<CarriedHeader>(*header);
  if (const std::shared_ptr<const CarriedHeader>& added = reread.carriedHeader()) {
    for (const CarriedHeader::FontEntry& e : added->fonts) {
      const bool known = std::any_of(tables->fonts.begin(), tables->fonts.end(),
                                     [&](const CarriedHeader::FontEntry& t) { return t.number == e.number; });
      if (!known) tables->fonts.push_back(CarriedHeader::FontEntry{e.number, e.font, false});
    }
    for (std::size_t n = tables->colors.size(); n < added->colors.size(); ++n) tables->colors.push_back(added->colors[n]);
  }

  switch (ref.place) {
    case PartRef::Place::Header:
      (ref.unit == 0 ? tables->betweenTables : tables->afterColors).replace(ref.offset, ref.size, fresh);
      break;
    case PartRef::Place::Opening:
      if (ref.unit == doc.length()) {
        std::string lead = doc.finalParagraphLead();
        lead.replace(ref.offset, ref.size, fresh);
        doc.setFinalParagraphLead(std::move(lead));
        break;
      }
      [[fallthrough]];
    case PartRef::Place::Object: {
      auto object = std::make_shared<EmbeddedObject>(*doc.formatAt(ref.unit).object);
      (ref.place == PartRef::Place::Opening ? object->lead : object->rtf).replace(ref.offset, ref.size, fresh);
      if (ref.kind == PartKind::Note) {
        object->shown.clear();
        for (const char16_t c : edited.text()) {
          if (c != 0xFFFC) object->shown.push_back(c == u'\r' ? u'\n' : c);
        }
      }
      doc.setObjectAt(ref.unit, std::move(object));
      break;
    }
  }
  doc.setCarriedHeader(std::move(tables));
  return true;
}

std::u16string partText(const Document& doc, const PartRef& ref) {
  const std::optional<std::string> rtf = partContentRtf(doc, ref);
  if (!rtf) return {};
  Document content;
  content.setRtf(*rtf);
  std::u16string text;
  for (const char16_t c : content.text()) {
    if (c != 0xFFFC) text.push_back(c == u'\r' ? u'\n' : c);
  }
  while (!text.empty() && (text.back() == u'\n' || text.back() == u' ')) text.pop_back();
  return text;
}

}  // namespace yig::rt
