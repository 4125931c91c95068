#include "documents/proof_file.h"

#include "documents/document_host.h"
#include "documents/encoding_guess.h"
#include "documents/file_io.h"
#include "documents/text_decoding.h"
#include "engine/codec/cp936.h"
#include "engine/encodings.h"
#include "engine/message_map.h"

namespace yig::docs {

std::string filterProofBytes(std::string_view bytes, std::string_view mode) {
  const bool dropCommands = mode == kProofDropCommands;
  std::string out;
  out.reserve(bytes.size());
  bool inCommand = false;
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t j = 0;
  while (j < n) {
    if (j + 1 == n) {  // the last byte is kept whatever it is
      out += static_cast<char>(b[j]);
      break;
    }
    const unsigned first = b[j], second = b[j + 1];
    if (dropCommands && inCommand) {
      if (first == 0xA1 && second == 0xBD) {
        inCommand = false;
        j += 2;
      } else {
        ++j;
      }
      continue;
    }
    if (dropCommands && first == 0xA1 && second == 0xBC) {
      inCommand = true;
      j += 2;
      continue;
    }
    if ((first == 0x80 && second == 0x86) || (first == 0xAA && second == 0xA5) || (first == 0xAA && second == 0xA6)) {
      j += 2;
    } else if (first == 0x8D && second == 0x8A) {
      out += "\r\n";
      j += 2;
    } else if (first == 0xA1 && second == 0xFE) {
      out += "  ";
      j += 2;
    } else {
      out += static_cast<char>(first);
      ++j;
    }
  }
  return out;
}

std::u16string decodeProofText(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    if (b[i] < 0x80) {
      out += static_cast<char16_t>(b[i]);
      ++i;
    } else if (i + 1 < n) {
      out += cp936::decodePair(b[i], b[i + 1]).value_or(u'\xFFFD');
      i += 2;
    } else {
      out += u'\xFFFD';
      ++i;
    }
  }
  return out;
}

bool isHuaguangFont(std::u16string_view fontBox) { return encodingOfFontName(fontBox) == Encoding::HG; }

std::u16string proofFileText(std::string_view bytes, std::string_view mode) {
  return decodeProofText(filterProofBytes(bytes, mode));
}

bool ConvertProofFile(DocumentHost& host) {
  FileRead file = readWholeFile(host.openedFileName());
  if (!file.ok()) {
    host.showMessage(TranslateForDisplay(u"无法读取小样文件，未能转换！", host.tibetanInterface()) + u"\n" +
                     decodeUtf8Lenient(file.error));
    return false;
  }
  std::u16string text = proofFileText(file.bytes, host.proofMode());
  std::string().swap(file.bytes);
  rt::Document& editor = host.editor();
  editor.setText(text);
  editor.select(0, 0);
  GuessTibetanEncoding(host, text);
  const std::u16string_view result = isHuaguangFont(host.fontBox()) ? kHuaguangResult : kFangzhengResult;
  host.setStatusCaption(TranslateForDisplay(result, host.tibetanInterface()));
  host.clearModifiedFlag();
  return true;
}

}  // namespace yig::docs
