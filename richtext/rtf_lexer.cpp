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

}  // namespace

std::span<const std::string_view> nonTextDestinations() { return kNonTextDestinations; }

bool isNonTextDestination(std::string_view word) {
  return std::binary_search(kNonTextDestinations.begin(), kNonTextDestinations.end(), word);
}

}  // namespace yig::rtf
