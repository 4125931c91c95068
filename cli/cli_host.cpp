#include "cli/cli_host.h"

#include <ostream>

#include "engine/message_map.h"

namespace yig::cli {

std::string toUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string fromUtf8(std::string_view text, bool* ok) {
  std::u16string out;
  out.reserve(text.size());
  bool good = true;
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    char32_t c;
    std::size_t len;
    if (b < 0x80) {
      c = b;
      len = 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
      c = b & 0x1F;
      len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      c = b & 0x0F;
      len = 3;
    } else if (b >= 0xF0 && b <= 0xF4) {
      c = b & 0x07;
      len = 4;
    } else {
      out += u'\xFFFD';
      good = false;
      ++i;
      continue;
    }
    if (i + len > text.size()) {
      out += u'\xFFFD';
      good = false;
      break;
    }
    bool valid = true;
    for (std::size_t k = 1; k < len; ++k) {
      unsigned char t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = (c << 6) | (t & 0x3F);
    }
    if (valid && ((len == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (len == 4 && (c < 0x10000 || c > 0x10FFFF)))) {
      valid = false;
    }
    if (!valid) {
      out += u'\xFFFD';
      good = false;
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += len;
  }
  if (ok != nullptr) *ok = good;
  return out;
}

std::u16string standardSourceFontList(std::u16string_view code) {
  if (code == u"BZD") return u" BZD;";
  if (code == u"TY") return u" CHINATIBET; TIBET;";
  if (code == u"FZ") return u"\\'b7\\'bd\\'d5\\'fd\\'b2\\'d8\\'ce\\'c4\\";
  if (code == u"HG") return u" A-Tibetan; JBHGZW";
  if (code == u"HIMA") return u"Himalaya;Monlam;Tibetan ; Uni;????;";
  if (code == u"SAM") return u"Dedris;Ededris;";
  if (code == u"HKA") return u"_Unicode;Sunshine";
  return {};
}

bool isEncodingCode(std::u16string_view code) { return !standardSourceFontList(code).empty(); }

CliHost::CliHost(std::ostream& messages, std::ostream& progress, Options options)
    : messages_(messages), progress_(progress), options_(std::move(options)) {}

std::u16string CliHost::translateForDisplay(const std::u16string& chinese) const {
  return TranslateForDisplay(chinese, options_.tibetan);
}

void CliHost::showMessage(const std::u16string& text) {
  if (lastPercent_ >= 0) {
    progress_ << '\r' << std::string(8, ' ') << '\r';
    lastPercent_ = -1;
  }
  shown_.push_back(text);
  messages_ << toUtf8(text) << '\n';
  messages_.flush();
}

void CliHost::say(std::u16string_view chinese) { showMessage(translateForDisplay(std::u16string(chinese))); }

void CliHost::progressStarted() { lastPercent_ = -1; }

void CliHost::progressStopped() {
  if (options_.showProgress && lastPercent_ >= 0) {
    progress_ << '\r' << std::string(8, ' ') << '\r';
    progress_.flush();
  }
  lastPercent_ = -1;
}

void CliHost::setProgress(int percent) {
  if (!options_.showProgress || percent == lastPercent_) return;
  lastPercent_ = percent;
  progress_ << '\r' << percent << '%';
  progress_.flush();
}

}  // namespace yig::cli
