#include "richtext/rtf_lexer.h"

#include <algorithm>
#include <array>

namespace yig::rtf {
namespace {

// Sorted for a binary search.
constexpr std::array<std::string_view, 72> kNonTextDestinations = {
    "atnauthor", "atndate", "atnicn", "atnid", "atnparent", "atnref", "atntime", "author",
    "bkmkend", "bkmkstart", "buptim", "category", "colorschememapping", "colortbl", "comment", "company",
    "creatim", "datafield", "datastore", "doccomm", "docvar", "falt", "fchars", "ffdeftext",
    "ffentrymcr", "ffexitmcr", "ffformat", "ffhelptext", "ffl", "ffname", "ffstattext", "filetbl",
    "fldinst", "fontemb", "fontfile", "fonttbl", "formfield", "generator", "hlinkbase", "info",
    "keywords", "latentstyles", "lchars", "listoverridetable", "listtable", "listtext", "manager", "mmathPr",
    "nonshppict", "objclass", "objdata", "objname", "operator", "panose", "pgdsctbl", "pict",
    "pntext", "printim", "revtbl", "revtim", "rsidtbl", "sn", "stylesheet", "subject",
    "sv", "themedata", "title", "userprops", "xmlattrname", "xmlattrvalue", "xmlname", "xmlnstbl",
};
static_assert(std::is_sorted(kNonTextDestinations.begin(), kNonTextDestinations.end()));

constexpr std::array<SymbolWord, 15> kSymbolWords = {{
    {"emdash", 0x2014},
    {"endash", 0x2013},
    {"bullet", 0x2022},
    {"lquote", 0x2018},
    {"rquote", 0x2019},
    {"ldblquote", 0x201C},
    {"rdblquote", 0x201D},
    {"emspace", 0x2003},
    {"enspace", 0x2002},
    {"qmspace", 0x2005},
    {"zwj", 0x200D},
    {"zwnj", 0x200C},
    {"zwbo", 0x200B},
    {"ltrmark", 0x200E},
    {"rtlmark", 0x200F},
}};

constexpr std::array<std::string_view, 8> kSuppliedCharacterWords = {
    "chatn", "chdate", "chftn", "chftnsep", "chftnsepc", "chpgn", "chtime", "sectnum",
};
static_assert(std::is_sorted(kSuppliedCharacterWords.begin(), kSuppliedCharacterWords.end()));

constexpr std::array<std::string_view, 8> kHeaderFooterWords = {
    "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr", "footerf",
};

}  // namespace

std::span<const std::string_view> nonTextDestinations() { return kNonTextDestinations; }

std::span<const SymbolWord> symbolWords() { return kSymbolWords; }

bool isSuppliedCharacterWord(std::string_view word) {
  return std::binary_search(kSuppliedCharacterWords.begin(), kSuppliedCharacterWords.end(), word);
}

std::span<const std::string_view, 8> headerFooterWords() { return kHeaderFooterWords; }

bool isNonTextDestination(std::string_view word) {
  return std::binary_search(kNonTextDestinations.begin(), kNonTextDestinations.end(), word);
}

}  // namespace yig::rtf
