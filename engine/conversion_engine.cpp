// The conversion request: routing a source/target pair to its operation, the
// hand-over through the work area, the elapsed time and the end notice.
#include "engine/conversion_engine.h"

#include "engine/convert_core.h"
#include "engine/encodings.h"
#include "engine/engine_internals.h"
#include "richtext/document.h"

namespace yig {

namespace {

constexpr std::u16string_view kRedNotice = u"转换完成，发现有不能转换的字符，请检查红色标记字符！”";

// Appends a whole number of milliseconds as seconds ("0.25", "3.5", "12").
void appendSeconds(std::u16string& out, long long ms) {
  long long whole = ms / 1000;
  int frac = static_cast<int>(ms % 1000);
  for (char c : std::to_string(whole)) out += static_cast<char16_t>(c);
  if (frac == 0) return;
  char digits[4] = {static_cast<char>('0' + frac / 100), static_cast<char>('0' + frac / 10 % 10),
                    static_cast<char>('0' + frac % 10), 0};
  int len = 3;
  while (len > 0 && digits[len - 1] == '0') --len;
  out += u'.';
  for (int i = 0; i < len; ++i) out += static_cast<char16_t>(digits[i]);
}

}  // namespace

std::u16string elapsedCaption(std::chrono::nanoseconds elapsed) {
  long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
  if (ms < 0) ms = 0;
  std::u16string caption;
  long long minutes = ms / 60000;
  if (minutes > 0) {
    for (char c : std::to_string(minutes)) caption += static_cast<char16_t>(c);
    caption += u':';
    appendSeconds(caption, ms % 60000);
  } else {
    appendSeconds(caption, ms);
    caption += u's';
  }
  return caption;
}

void upperCaseCode(std::u16string& code) {
  for (char16_t& c : code) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
}

std::string narrowCode(std::u16string_view code) {
  std::string out;
  out.reserve(code.size());
  for (char16_t c : code) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

void EngineInternals::stopWithMessage(ConversionEngine& e, std::u16string_view chineseMessage) {
  e.runNotAborted = kFalse;
  e.refusal_.assign(chineseMessage);
  e.host_.showMessage(e.host_.translateForDisplay(e.refusal_));
  e.proceed = kFalse;
}

void EngineInternals::writeWorkArea(ConversionEngine& e, std::string_view rtf, bool honourSelection) {
  if (e.outputCopy_ != nullptr) e.outputCopy_->assign(rtf);
  if (e.outputOnlyToCopy_) return;
  rt::Document& area = e.host_.workArea();
  if (honourSelection && !area.selectedText().empty()) {
    area.replaceSelectionRtf(rtf);
  } else {
    area.setRtf(rtf);
  }
}

ConversionEngine::ConversionEngine(EngineHost& host, const TableSource& tables) : host_(host), tables_(tables) {}

namespace {

// Runs one conversion of the core on `zz` with the engine's tables, family and
// progress display; empties `zz`.
conv::Result runCore(EngineHost& host, const TableSource& tables, std::string& zz, Encoding from, Encoding to,
                     bool requireSourceFont, std::string& out) {
  conv::Options options;
  options.tables = &tables;
  options.sambhotaFamily = host.sambhotaFamily();
  options.requireSourceFont = requireSourceFont;
  conv::Callbacks callbacks;
  callbacks.progress = [&host](int percent) {
    host.processEvents();
    host.setProgress(percent);
  };
  callbacks.cancelled = [&host] { return host.cancelRequested(); };
  host.progressStarted();
  conv::Result result = conv::convert(zz, from, to, options, out, callbacks);
  host.setProgress(100);
  host.progressStopped();
  std::string().swap(zz);
  return result;
}

}  // namespace

void ConversionEngine::run(std::string& zz, std::u16string_view fromCode, std::u16string_view toCode,
                           bool honourSelection) {
  if (zz.empty()) return;
  const auto from = encodingFromCode(fromCode);
  const auto to = encodingFromCode(toCode);
  if (!from || !to) {
    EngineInternals::stopWithMessage(*this, u"原文本中无所选编码的藏文！");
    return;
  }
  if (proceed != kTrue) {
    // A direct call checks the panel's source font list against the font table.
    std::string_view header(zz);
    header = header.substr(0, header.find(rtfpieces::bodyMarker(header)));
    if (!rtfpieces::containsAnyListItem(header, narrowCode(host_.sourceFontList()))) {
      EngineInternals::stopWithMessage(*this, info(*from).missingMessage);
      return;
    }
  }
  // A direct call (proceed not set by convertFile) and a request whose source
  // is not Unicode refuse a document that holds no text of the source.
  const bool requireSource =
      *from != Encoding::HIMA || *to == Encoding::SAM || proceed != kTrue || unicodeSourceRequest_;
  std::string out;
  conv::Result result = runCore(host_, tables_, zz, *from, *to, requireSource, out);
  stats_.unitsConverted += result.stats.converted;
  stats_.redMarks += result.stats.red;
  if (result.status == conv::Status::Cancelled) {
    // The user stopped it: the editor stays as it was, and nothing needs saying.
    runNotAborted = kFalse;
    proceed = kFalse;
    return;
  }
  if (!result.ok()) {
    if (result.status != conv::Status::SameEncoding) EngineInternals::stopWithMessage(*this, result.message);
    return;
  }
  if (result.stats.red > 0) sfywzh = kTrue;
  EngineInternals::writeWorkArea(*this, out, honourSelection);
}

void ConversionEngine::WJZH_HIMA_QT(std::string& zz, std::u16string dstcode) { run(zz, u"HIMA", dstcode, true); }
void ConversionEngine::WJZH_QT_HIMA(std::string& zz, std::u16string srccode) { run(zz, srccode, u"HIMA", false); }
void ConversionEngine::WJZH_SAM_HIMA(std::string& zz) { run(zz, u"SAM", u"HIMA", false); }
void ConversionEngine::WJZH_HIMA_SAM(std::string& zz) { run(zz, u"HIMA", u"SAM", true); }
void ConversionEngine::WJZH_SAM_QT(std::string& zz, std::u16string dstcode) { run(zz, u"SAM", dstcode, false); }
void ConversionEngine::WJZH_QT_SAM(std::string& zz, std::u16string srccode) { run(zz, srccode, u"SAM", false); }
void ConversionEngine::WJZH_QT_QT(std::string& zz, std::u16string srccode, std::u16string dstcode) {
  run(zz, srccode, dstcode, false);
}

void ConversionEngine::convertFile(std::u16string& srccode, std::u16string& dstcode) {
  sfywzh = kFalse;
  runNotAborted = kTrue;
  proceed = kTrue;
  upperCaseCode(srccode);
  upperCaseCode(dstcode);
  stats_ = {};
  refusal_.clear();
  if (srccode == dstcode) return;

  rt::Document& area = host_.workArea();
  std::string text = area.selectedText().empty() ? area.rtf() : area.selectionRtf();
  auto started = std::chrono::steady_clock::now();

  // Chains through Unicode run inside the core, the first stage streaming
  // into the second.
  unicodeSourceRequest_ = srccode == u"HIMA";
  run(text, srccode, dstcode, srccode == u"HIMA");
  unicodeSourceRequest_ = false;
  std::string().swap(text);
  host_.setElapsedTime(elapsedCaption(std::chrono::steady_clock::now() - started));

  // A request that stopped (nothing of the source encoding, input refused)
  // leaves the editor as it was.
  if (proceed != kFalse) {
    std::string result = area.rtf();
    area.clear();
    std::size_t lastPar = result.rfind("\\par }");
    if (lastPar != std::string::npos) {
      result.resize(lastPar);
      result += '}';
    }
    rt::Document& editor = host_.editor();
    if (host_.savedSelectionLength() != 0) {
      editor.select(host_.savedSelectionStart(), host_.savedSelectionLength());
      editor.replaceSelectionRtf(result);
    } else {
      editor.setRtf(result);
    }
  } else {
    area.clear();
  }

  if (proceed != kFalse && runNotAborted == kTrue && sfywzh == kTrue) {
    host_.showMessage(host_.translateForDisplay(std::u16string(kRedNotice)));
  }
  sfywzh = kFalse;
  runNotAborted = kFalse;
}

}  // namespace yig
