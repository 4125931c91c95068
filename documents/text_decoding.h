#pragma once
// Plain-text files: the proof-file signature, the kind of text told by the
// first bytes, and decoding to UTF-16. No editor involved: these are the pure
// steps of LoadTextFile, shared with the command-line tool and the fuzzers.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace yig::docs {

enum class TextKind {
  Utf16LE,   ///< FF FE
  Utf16BE,   ///< FE FF
  Utf8Bom,   ///< EF BB BF
  Utf8,      ///< no signature, but the whole file is valid UTF-8 with a multi-byte sequence
  Ansi,      ///< anything else: code page 936
};

/// The Chinese status text of a kind ("Unicode文件", "普通txt文件", ...).
std::u16string_view statusTextOf(TextKind kind);

/// Status texts of the other routes and of the proof-file prompt.
inline constexpr std::u16string_view kRtfStatus = u"RTF格式文件";
inline constexpr std::u16string_view kWordProcessorStatus = u"DOC文件";
inline constexpr std::u16string_view kProofPromptCaption = u"该文件自动识别为华光（方正）小样文件";

/// Offset of the proof-file signature 80 86 when a pair starts at an offset
/// from 0 to 500 inclusive; nothing otherwise.
std::optional<std::size_t> findProofSignature(std::string_view bytes);

/// The kind of text by the first bytes: FF FE, FE FF, EF BB BF, else UTF-8
/// when the whole file is valid UTF-8 holding a multi-byte sequence, else ANSI.
TextKind detectTextKind(std::string_view bytes);

/// Strict UTF-8: overlong forms, surrogates and codes past U+10FFFF are
/// invalid. Returns nothing when any byte is invalid.
std::optional<std::u16string> decodeUtf8Strict(std::string_view bytes);
/// UTF-8 with every invalid sequence as U+FFFD (one for each maximal subpart
/// of an invalid sequence). `firstInvalid`, when given, receives the offset of
/// the first invalid byte, or npos when there is none.
std::u16string decodeUtf8Lenient(std::string_view bytes, std::size_t* firstInvalid = nullptr);
/// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string encodeUtf8(std::u16string_view text);
/// Appends one code point (below U+110000, not a surrogate) as UTF-8.
void appendUtf8(std::string& out, char32_t c);

/// UTF-16 code units from bytes (no signature); a trailing odd byte is ignored.
std::u16string decodeUtf16(std::string_view bytes, bool bigEndian);

/// Line ends as CR LF: a bare LF or a bare CR becomes CR LF.
std::u16string normaliseLineEnds(std::u16string_view text);

/// A text file decoded by its kind.
struct DecodedText {
  TextKind kind = TextKind::Ansi;
  std::u16string text;  ///< without the signature
};

/// Decodes a whole file by its kind. UTF-16 and UTF-8 texts get CR LF line
/// ends (they go through InsertUnicodeText, which splits lines at CR LF).
DecodedText decodeTextFile(std::string_view bytes);

/// True when the bytes look like a binary file rather than text of the given
/// kind: a NUL byte in an 8-bit text, or a NUL code unit in UTF-16 text.
bool looksBinary(std::string_view bytes, const DecodedText& decoded);

}  // namespace yig::docs
