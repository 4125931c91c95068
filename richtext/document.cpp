#include "richtext/document.h"

#include <algorithm>
#include <functional>

#include "richtext/rtf_io.h"

namespace yig::rt {
namespace {

std::size_t mix(std::size_t h, std::size_t v) {
  return h ^ (v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
}

// Plain text in, document text out: CR LF, LF and CR each become one u'\r'.
std::u16string normaliseBreaks(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r') {
      out.push_back(u'\r');
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else if (c == u'\n') {
      out.push_back(u'\r');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

constexpr char16_t kObjectChar = 0xFFFC;

// Document text out as plain text: paragraph and line breaks become CR LF; an
// object character gives a field's result, or nothing (a list item's number is
// the list's, not the text's).
std::u16string toPlain(std::u16string_view text, const std::vector<std::uint32_t>& index,
                       const std::deque<CharFormat>& formats, std::size_t offset) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\v') {
      out += u"\r\n";
    } else if (c == kObjectChar && formats[index[offset + i]].object) {
      const EmbeddedObject& object = *formats[index[offset + i]].object;
      if (object.kind == EmbeddedObject::Kind::Field) out += object.shown;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

CharFormat applyChange(CharFormat f, const FormatChange& change) {
  if (change.font) f.font = *change.font;
  if (change.sizeHalfPoints) f.sizeHalfPoints = *change.sizeHalfPoints;
  if (change.color) f.color = *change.color;
  if (change.bold) f.bold = *change.bold;
  if (change.italic) f.italic = *change.italic;
  if (change.underline) f.underline = *change.underline;
  if (change.strike) f.strike = *change.strike;
  return f;
}

template <typename T, typename Get>
void mergeField(std::optional<T>& field, bool& mixed, const CharFormat& f, Get get) {
  if (mixed) return;
  if (!field) {
    field = get(f);
  } else if (!(*field == get(f))) {
    field.reset();
    mixed = true;
  }
}

}  // namespace

std::size_t CharFormatHash::operator()(const CharFormat& f) const noexcept {
  std::size_t h = std::hash<std::u16string>{}(f.font.name);
  h = mix(h, static_cast<std::size_t>(f.font.charset));
  h = mix(h, std::hash<std::string>{}(f.font.family));
  h = mix(h, static_cast<std::size_t>(f.font.pitch) + 1);
  h = mix(h, static_cast<std::size_t>(f.sizeHalfPoints));
  h = mix(h, f.color ? (1u << 24 | f.color->r << 16 | f.color->g << 8 | f.color->b) : 0u);
  h = mix(h, (f.bold ? 1u : 0u) | (f.italic ? 2u : 0u) | (f.underline ? 4u : 0u) | (f.strike ? 8u : 0u));
  if (!f.extra.empty()) h = mix(h, std::hash<std::string>{}(f.extra));
  if (f.object) h = mix(h, std::hash<const void*>{}(f.object.get()));
  return h;
}

Document::Document() {
  default_.font = Font{u"Microsoft Himalaya", 0, "fnil", -1};
}

std::uint32_t Document::internFormat(const CharFormat& f) {
  auto it = formatLookup_.find(f);
  if (it != formatLookup_.end()) return it->second;
  const auto index = static_cast<std::uint32_t>(formats_.size());
  formats_.push_back(f);
  formatLookup_.emplace(f, index);
  return index;
}

void Document::resetPool() {
  formats_.clear();
  formatLookup_.clear();
}

ReadResult Document::setRtf(std::string_view rtf) {
  return detail::RtfReader::read(rtf, *this);
}

std::string Document::rtf() const {
  return detail::RtfWriter::write(*this, 0, text_.size());
}

void Document::setText(std::u16string_view text) {
  clear();
  append(normaliseBreaks(text), default_);
}

std::u16string Document::plainText() const { return toPlain(text_, formatIndex_, formats_, 0); }

std::size_t Document::length() const { return text_.size(); }

void Document::clear() {
  text_.clear();
  formatIndex_.clear();
  resetPool();
  header_.reset();
  finalLead_.clear();
  selStart_ = selLength_ = 0;
  pendingCaretFormat_.reset();
}

void Document::select(std::size_t start, std::size_t length) {
  selStart_ = std::min(start, text_.size());
  selLength_ = std::min(length, text_.size() - selStart_);
  pendingCaretFormat_.reset();
}

std::u16string Document::selectedText() const {
  return toPlain(std::u16string_view(text_).substr(selStart_, selLength_), formatIndex_, formats_, selStart_);
}

std::string Document::selectionRtf() const {
  return detail::RtfWriter::write(*this, selStart_, selStart_ + selLength_);
}

CharFormat Document::caretFormat() const {
  if (pendingCaretFormat_) return *pendingCaretFormat_;
  if (text_.empty()) return default_;
  // Typed text takes the look of its neighbour, never the object it stands for.
  CharFormat f = selLength_ > 0 ? formatAt(selStart_) : selStart_ > 0 ? formatAt(selStart_ - 1) : formatAt(0);
  f.object.reset();
  return f;
}

void Document::replaceRange(std::size_t start, std::size_t length, std::u16string_view text,
                            const std::vector<std::uint32_t>& formats) {
  text_.replace(start, length, text);
  const auto first = formatIndex_.begin() + static_cast<std::ptrdiff_t>(start);
  formatIndex_.erase(first, first + static_cast<std::ptrdiff_t>(length));
  formatIndex_.insert(formatIndex_.begin() + static_cast<std::ptrdiff_t>(start), formats.begin(), formats.end());
  selStart_ = start + text.size();
  selLength_ = 0;
  pendingCaretFormat_.reset();
}

ReadResult Document::replaceSelectionRtf(std::string_view rtf) {
  Document inserted;
  inserted.default_ = caretFormat();
  ReadResult result = inserted.setRtf(rtf);
  if (!result.ok) return result;
  mergeHeader(inserted.header_, result);
  // The inserted text's first paragraph opened its document, where a \pard is
  // implied; anywhere else its opening must reset what the paragraph before
  // it set.
  if (selStart_ > 0) {
    auto standalone = [](std::string& lead) {
      if (!lead.empty() && !lead.starts_with("\\pard")) lead.insert(0, "\\pard");
    };
    const std::size_t firstMark = inserted.text_.find(u'\r');
    if (firstMark == std::u16string::npos) {
      standalone(inserted.finalLead_);
    } else if (const EmbeddedObject* mark = inserted.formatAt(firstMark).object.get(); mark && !mark->lead.empty()) {
      CharFormat f = inserted.formatAt(firstMark);
      auto copy = std::make_shared<EmbeddedObject>(*mark);
      standalone(copy->lead);
      f.object = std::move(copy);
      inserted.formatIndex_[firstMark] = inserted.internFormat(f);
    }
  }
  // The inserted text's last paragraph joins the paragraph at the selection's
  // end. When that is this document's last paragraph, without an opening of
  // its own, and the inserted paragraph starts it, the inserted opening
  // becomes its opening.
  const std::size_t insertedStart = inserted.text_.rfind(u'\r');
  const bool startsParagraph =
      insertedStart != std::u16string::npos || selStart_ == 0 || text_[selStart_ - 1] == u'\r';
  if (!inserted.finalLead_.empty() && finalLead_.empty() && startsParagraph &&
      text_.find(u'\r', selStart_ + selLength_) == std::u16string::npos) {
    finalLead_ = std::move(inserted.finalLead_);
    inserted.finalLead_.clear();
  }
  if (!inserted.finalLead_.empty()) {
    // Otherwise the words that opened the inserted text's last paragraph go in
    // with it, as an object character where that paragraph begins.
    const std::size_t at = inserted.text_.rfind(u'\r');
    const std::size_t start = at == std::u16string::npos ? 0 : at + 1;
    CharFormat f = start < inserted.length() ? inserted.formatAt(start) : inserted.default_;
    auto marks = std::make_shared<EmbeddedObject>();
    marks->kind = EmbeddedObject::Kind::Marks;
    marks->rtf = inserted.finalLead_;
    f.object = std::move(marks);
    inserted.text_.insert(start, 1, u'\uFFFC');
    inserted.formatIndex_.insert(inserted.formatIndex_.begin() + static_cast<std::ptrdiff_t>(start),
                                 inserted.internFormat(f));
  }
  std::vector<std::uint32_t> remap(inserted.formats_.size());
  for (std::size_t i = 0; i < inserted.formats_.size(); ++i) remap[i] = internFormat(inserted.formats_[i]);
  std::vector<std::uint32_t> formats(inserted.formatIndex_.size());
  for (std::size_t i = 0; i < formats.size(); ++i) formats[i] = remap[inserted.formatIndex_[i]];
  replaceRange(selStart_, selLength_, inserted.text_, formats);
  return result;
}

// What is pasted in may carry groups that name fonts and colours by the numbers
// of its own header: an empty document takes that header; otherwise the entries
// this document lacks are added under their numbers.
void Document::mergeHeader(const std::shared_ptr<const CarriedHeader>& incoming, ReadResult& result) {
  if (!incoming) return;
  if (!header_ || text_.empty()) {
    header_ = incoming;
    return;
  }
  if (incoming == header_) return;
  auto merged = std::make_shared<CarriedHeader>(*header_);
  bool clash = false;
  for (const CarriedHeader::FontEntry& entry : incoming->fonts) {
    auto same = std::find_if(merged->fonts.begin(), merged->fonts.end(),
                             [&](const CarriedHeader::FontEntry& e) { return e.number == entry.number; });
    if (same == merged->fonts.end()) {
      merged->fonts.push_back(entry);
    } else if (!(same->font == entry.font)) {
      clash = true;
    }
  }
  for (auto& entry : merged->fonts) {
    if (std::none_of(header_->fonts.begin(), header_->fonts.end(),
                     [&](const CarriedHeader::FontEntry& e) { return e.number == entry.number; })) {
      entry.inTable = false;  // came from the inserted header: written from its description
    }
  }
  for (std::size_t i = merged->colors.size(); i < incoming->colors.size(); ++i) merged->colors.push_back(incoming->colors[i]);
  if (clash) {
    if (!result.error.empty()) result.error += "; ";
    result.error += "fonts of the inserted text share numbers with this document's; groups kept from it may show another font";
  }
  header_ = std::move(merged);
}

void Document::replaceSelectionText(std::u16string_view text) {
  const std::u16string normalised = normaliseBreaks(text);
  const std::uint32_t index = internFormat(caretFormat());
  replaceRange(selStart_, selLength_, normalised, std::vector<std::uint32_t>(normalised.size(), index));
}

SelectionFormat Document::selectionFormat() const {
  SelectionFormat out;
  auto take = [&out](const CharFormat& f, bool mixed[8]) {
    mergeField(out.fontName, mixed[0], f, [](const CharFormat& g) { return g.font.name; });
    mergeField(out.fontCharset, mixed[1], f, [](const CharFormat& g) { return g.font.charset; });
    mergeField(out.sizeHalfPoints, mixed[2], f, [](const CharFormat& g) { return g.sizeHalfPoints; });
    mergeField(out.color, mixed[3], f, [](const CharFormat& g) { return g.color; });
    mergeField(out.bold, mixed[4], f, [](const CharFormat& g) { return g.bold; });
    mergeField(out.italic, mixed[5], f, [](const CharFormat& g) { return g.italic; });
    mergeField(out.underline, mixed[6], f, [](const CharFormat& g) { return g.underline; });
    mergeField(out.strike, mixed[7], f, [](const CharFormat& g) { return g.strike; });
  };
  bool mixed[8] = {};
  if (selLength_ == 0) {
    take(caretFormat(), mixed);
    return out;
  }
  std::uint32_t previous = formatIndex_[selStart_];
  take(formats_[previous], mixed);
  for (std::size_t i = selStart_ + 1; i < selStart_ + selLength_; ++i) {
    const std::uint32_t index = formatIndex_[i];
    if (index == previous) continue;
    previous = index;
    take(formats_[index], mixed);
  }
  return out;
}

void Document::applyFormat(const FormatChange& change) {
  if (selLength_ == 0) {
    pendingCaretFormat_ = applyChange(caretFormat(), change);
    return;
  }
  std::unordered_map<std::uint32_t, std::uint32_t> remap;
  for (std::size_t i = selStart_; i < selStart_ + selLength_; ++i) {
    const std::uint32_t old = formatIndex_[i];
    auto it = remap.find(old);
    if (it == remap.end()) {
      // Copy before interning: the pool may grow while the new format is added.
      const CharFormat changed = applyChange(formats_[old], change);
      it = remap.emplace(old, internFormat(changed)).first;
    }
    formatIndex_[i] = it->second;
  }
}

const CharFormat& Document::formatAt(std::size_t pos) const {
  if (pos < formatIndex_.size()) return formats_[formatIndex_[pos]];
  return default_;
}

std::vector<Document::Run> Document::runs() const {
  std::vector<Run> out;
  std::size_t start = 0;
  for (std::size_t i = 1; i <= formatIndex_.size(); ++i) {
    if (i == formatIndex_.size() || formatIndex_[i] != formatIndex_[start]) {
      out.push_back(Run{start, i, &formats_[formatIndex_[start]]});
      start = i;
    }
  }
  return out;
}

void Document::setObjectAt(std::size_t pos, std::shared_ptr<const EmbeddedObject> object) {
  if (pos >= text_.size()) return;
  CharFormat f = formats_[formatIndex_[pos]];
  f.object = std::move(object);
  formatIndex_[pos] = internFormat(f);
}

void Document::append(std::u16string_view text, const CharFormat& format) {
  if (text.empty()) return;
  const std::uint32_t index = internFormat(format);
  text_.append(text);
  formatIndex_.insert(formatIndex_.end(), text.size(), index);
}

}  // namespace yig::rt
