#pragma once
// Typesetting proof files ("小样" of the Huaguang and Fangzheng systems): GBK
// text with typesetting codes in it, turned into plain text.
#include <string>
#include <string_view>

namespace yig::docs {

class DocumentHost;

inline constexpr std::string_view kProofKeepCommands = "11";
inline constexpr std::string_view kProofDropCommands = "12";
inline constexpr std::u16string_view kHuaguangResult = u"华光小样文件已经转换为txt纯文本";
inline constexpr std::u16string_view kFangzhengResult = u"方正小样文件已经转换为txt纯文本";

/// Applies the proof byte rules: 80 86, AA A5 and AA A6 vanish, 8D 8A becomes
/// CR LF, A1 FE two spaces; in mode "12" the commands between A1 BC (〖) and
/// A1 BD (〗) are dropped with their brackets. The last byte is always kept.
std::string filterProofBytes(std::string_view bytes, std::string_view mode);

/// Decodes filtered proof bytes as GBK: a byte below 0x80 is one character, a
/// byte from 0x80 up starts a pair with the next byte; unmapped pairs and a
/// lone lead byte at the end become U+FFFD.
std::u16string decodeProofText(std::string_view bytes);

/// Huaguang when the font box names a font of the HG encoding, else Fangzheng.
bool isHuaguangFont(std::u16string_view fontBox);

/// The whole proof text: filtered and decoded.
std::u16string proofFileText(std::string_view bytes, std::string_view mode);

/// Reads openedFileName again, filters it with the host's proofMode, sets the
/// editor's plain text to the result, guesses its Tibetan encoding and shows
/// the Huaguang or Fangzheng result text. A file that cannot be read any more
/// ends with a message and the editor as it was. Returns true when converted.
bool ConvertProofFile(DocumentHost& host);

}  // namespace yig::docs
