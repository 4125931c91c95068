#include "sorting/syllable_key.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <vector>

namespace yig::sorting {
namespace {

// --- characters --------------------------------------------------------------

constexpr char16_t kHonorific = u'\u0F38';      // ༸ before a syllable
constexpr char16_t kNonBreakingTsheg = u'\u0F0C';  // ༌ after it
constexpr char16_t kAChung = u'\u0F71';

bool isBase(char16_t c) { return (c >= 0x0F40 && c <= 0x0F6C) || (c >= 0x0F88 && c <= 0x0F8C); }
bool isSubjoined(char16_t c) { return c >= 0x0F90 && c <= 0x0FBC; }

// The letter a subjoined letter stands for; the fixed forms ྺ ྻ ྼ stand for ཝ ཡ ར.
char16_t letterOfSubjoined(char16_t c) {
  switch (c) {
    case u'\u0FBA': return u'ཝ';
    case u'\u0FBB': return u'ཡ';
    case u'\u0FBC': return u'ར';
    default: return static_cast<char16_t>(c - 0x50);
  }
}

// Letter weights: the alphabet with each retroflex letter right after the
// letter it mirrors, ཫ after ཀ, ཬ after ར, and the sign letters last.
constexpr std::u16string_view kLetterOrder = u"ཀཫཁགངཅཆཇཉཏཊཐཋདཌནཎཔཕབམཙཚཛཝཞཟའཡརཬལཤཥསཧཨ\u0F88\u0F89\u0F8A\u0F8B\u0F8C";
constexpr char16_t kLettersFirst = 0x0F40;
constexpr std::size_t kLetterSpan = 0x0F8D - 0x0F40;

constexpr std::array<std::uint8_t, kLetterSpan> kLetterWeights = [] {
  std::array<std::uint8_t, kLetterSpan> w{};
  for (std::size_t i = 0; i < kLetterOrder.size(); ++i) w[kLetterOrder[i] - kLettersFirst] = static_cast<std::uint8_t>(i + 1);
  return w;
}();

// 0 for a character that is not a letter of the order.
std::uint16_t letterWeight(char16_t letter) {
  if (letter < kLettersFirst || letter >= kLettersFirst + kLetterSpan) return 0;
  return kLetterWeights[letter - kLettersFirst];
}

// A retroflex (or similar) root letter is filed after every syllable of the
// letter it mirrors that has no subscript, before that letter's first subscript.
char16_t mirroredLetter(char16_t c) {
  switch (c) {
    case u'ཊ': return u'ཏ';
    case u'ཋ': return u'ཐ';
    case u'ཌ': return u'ད';
    case u'ཎ': return u'ན';
    case u'ཥ': return u'ཤ';
    case u'ཫ': return u'ཀ';
    case u'ཬ': return u'ར';
    default: return 0;
  }
}

// A character compared as a letter: the letter and its tertiary difference
// (the fixed-form subjoined letters and ཪ are variants of their plain letter).
struct Letter {
  char16_t letter;
  std::uint16_t tertiary;
};
Letter letterOf(char16_t c) {
  std::uint16_t tertiary = 0;
  if (isSubjoined(c)) {
    if (c >= 0x0FBA) tertiary = 1;
    c = letterOfSubjoined(c);
  }
  if (c == u'ཪ') {
    c = u'ར';
    tertiary = 1;
  }
  return {c, tertiary};
}

// Vowel signs: none < ཱ < ི < ཱི < ྀ < ཱྀ < ུ < ཱུ < ེ < ཻ < ོ < ཽ; ཻ counts as ེེ and ཽ as ོོ.
std::uint16_t vowelWeight(char16_t c) {
  switch (c) {
    case u'\u0F72': return 1;
    case u'\u0F80': return 2;
    case u'\u0F74': return 3;
    case u'\u0F7A': case u'\u0F7B': return 4;
    case u'\u0F7C': case u'\u0F7D': return 5;
    default: return 0;
  }
}
bool isVowelSign(char16_t c) { return c == kAChung || vowelWeight(c) != 0; }
bool isDoubleVowel(char16_t c) { return c == u'\u0F7B' || c == u'\u0F7D'; }

// Signs that stand for a letter after the root stack: ཾ as མ, ྂ and ྃ as ང
// (each after the plain letter).
Letter signAsLetter(char16_t c) {
  switch (c) {
    case u'\u0F7E': return {u'མ', 1};
    case u'\u0F82': return {u'ང', 2};
    case u'\u0F83': return {u'ང', 1};
    default: return {0, 0};
  }
}
// Signs that only make a secondary difference.
bool isSecondarySign(char16_t c) {
  return (c >= 0x0F84 && c <= 0x0F87) || c == 0x0F18 || c == 0x0F19 || c == 0x0F35 || c == 0x0F37 || c == 0x0F39;
}

// --- canonical form --------------------------------------------------------------

std::u16string_view decomposition(char16_t c) {
  switch (c) {
    case u'\u0F00': return u"\u0F68\u0F7C\u0F7E";
    case u'\u0F43': return u"\u0F42\u0FB7";
    case u'\u0F4D': return u"\u0F4C\u0FB7";
    case u'\u0F52': return u"\u0F51\u0FB7";
    case u'\u0F57': return u"\u0F56\u0FB7";
    case u'\u0F5C': return u"\u0F5B\u0FB7";
    case u'\u0F69': return u"\u0F40\u0FB5";
    case u'\u0F73': return u"\u0F71\u0F72";
    case u'\u0F75': return u"\u0F71\u0F74";
    case u'\u0F76': return u"\u0FB2\u0F80";
    case u'\u0F77': return u"\u0FB2\u0F71\u0F80";
    case u'\u0F78': return u"\u0FB3\u0F80";
    case u'\u0F79': return u"\u0FB3\u0F71\u0F80";
    case u'\u0F81': return u"\u0F71\u0F80";
    case u'\u0F93': return u"\u0F92\u0FB7";
    case u'\u0F9D': return u"\u0F9C\u0FB7";
    case u'\u0FA2': return u"\u0FA1\u0FB7";
    case u'\u0FA7': return u"\u0FA6\u0FB7";
    case u'\u0FAC': return u"\u0FAB\u0FB7";
    case u'\u0FB9': return u"\u0F90\u0FB5";
    default: return {};
  }
}

// Canonical combining classes of the Tibetan signs (0 for everything else).
int combiningClass(char16_t c) {
  switch (c) {
    case u'\u0F71': return 129;
    case u'\u0F72': case u'\u0F7A': case u'\u0F7B': case u'\u0F7C': case u'\u0F7D': case u'\u0F80': return 130;
    case u'\u0F74': return 132;
    case u'\u0F84': return 9;
    case u'\u0F39': return 216;
    case u'\u0F18': case u'\u0F19': case u'\u0F35': case u'\u0F37': case u'\u0FC6': return 220;
    case u'\u0F82': case u'\u0F83': case u'\u0F86': case u'\u0F87': return 230;
    default: return 0;
  }
}

// --- reading a syllable ----------------------------------------------------------------

struct Stack {
  char16_t base = 0;
  std::u16string subs, vowels, signs;
  bool bare() const { return subs.empty() && vowels.empty() && signs.empty(); }
};

// Which root letters each superscript stands over.
std::u16string_view superscriptRoots(char16_t sup) {
  switch (sup) {
    case u'ར': return u"ཀགངཇཉཏདནབམཙཛ";
    case u'ལ': return u"ཀགངཅཇཏདཔབཧ";
    case u'ས': return u"ཀགངཉཏདནཔབམཙ";
    default: return {};
  }
}

// Which unstacked root letters each prefix stands before.
std::u16string_view prefixRoots(char16_t prefix) {
  switch (prefix) {
    case u'ག': return u"ཅཉཏདནཙཞཟཡཤས";
    case u'ད': return u"ཀགངཔབམ";
    case u'བ': return u"ཀགཅཏདཙཞཟཤས";
    case u'མ': return u"ཁགངཆཇཉཐདནཚཛ";
    case u'འ': return u"ཁགཆཇཐདཕབཚཛ";
    default: return {};
  }
}

// Prefixed stacks with subscripts, as written (prefix and stack).
constexpr std::u16string_view kPrefixedStacks[] = {
    u"དཀྱ", u"དཀྲ", u"དགྱ", u"དགྲ", u"དཔྱ", u"དཔྲ", u"དབྱ", u"དབྲ", u"དམྱ", u"བཀྱ", u"བཀྲ", u"བཀླ", u"བགྱ",
    u"བགྲ", u"བཟླ", u"བསླ", u"བསྲ", u"བརླ", u"མཁྱ", u"མཁྲ", u"མགྱ", u"མགྲ", u"འཁྱ", u"འཁྲ", u"འགྱ", u"འགྲ",
    u"འདྲ", u"འཕྱ", u"འཕྲ", u"འབྱ", u"འབྲ", u"བསྐྱ", u"བསྒྱ", u"བསྐྲ", u"བསྒྲ", u"བརྒྱ", u"བསྣྲ", u"བསྒྲྭ",
    u"གཤྭ", u"དབྱྭ"};

// Superscripted stacks that take the prefix བ.
std::u16string_view baPrefixedRoots(char16_t sup) {
  switch (sup) {
    case u'ར': return u"ཀགངཇཉཏདནཙཛ";
    case u'ལ': return u"ཏད";
    case u'ས': return u"ཀགངཉཏདནཙ";
    default: return {};
  }
}

constexpr std::u16string_view kSuffixes = u"གངདནབམའརལས";

bool validPrefix(const Stack& p, const Stack& stack) {
  if (!p.bare() || prefixRoots(p.base).empty()) return false;
  const bool takesPrefix = prefixRoots(p.base).find(stack.base) != std::u16string_view::npos;
  if (stack.subs.empty()) return takesPrefix;
  // The wa-zur keeps the prefixes of its root (བསྭ, གདྭ).
  if (stack.subs == u"\u0FAD" && std::u16string_view(u"ཀཁགཅཉཏདཙཚཞཟརལཤསཧ").find(stack.base) != std::u16string_view::npos) {
    return takesPrefix;
  }
  if (p.base == u'བ' && stack.subs.size() == 1 &&
      baPrefixedRoots(stack.base).find(static_cast<char16_t>(stack.subs[0] - 0x50)) != std::u16string_view::npos) {
    return true;
  }
  // So does a subscript under a superscripted root (བརྐྱ).
  constexpr std::u16string_view kSuperscriptedSubscripted[] = {u"རྐྱ", u"རྒྱ", u"རྨྱ", u"སྐྱ", u"སྒྱ", u"སྤྱ", u"སྦྱ", u"སྨྱ",
                                                             u"སྐྲ", u"སྒྲ", u"སྣྲ", u"སྤྲ", u"སྦྲ", u"སྨྲ", u"རྩྭ"};
  std::u16string stackText(1, stack.base);
  stackText += stack.subs;
  if (p.base == u'བ' && std::find(std::begin(kSuperscriptedSubscripted), std::end(kSuperscriptedSubscripted), stackText) !=
                           std::end(kSuperscriptedSubscripted)) {
    return baPrefixedRoots(stack.base).find(letterOfSubjoined(stack.subs[0])) != std::u16string_view::npos;
  }
  std::u16string written(1, p.base);
  written += stack.base;
  written += stack.subs;
  return std::find(std::begin(kPrefixedStacks), std::end(kPrefixedStacks), written) != std::end(kPrefixedStacks);
}

bool isOneOf(std::u16string_view word, std::initializer_list<std::u16string_view> words) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

// Index of the root stack (0 or 1) of a syllable without joiners.
std::size_t findRoot(const std::vector<Stack>& stacks) {
  const Stack& first = stacks[0];
  if (!first.subs.empty() || !first.vowels.empty() || stacks.size() == 1) return 0;
  const Stack& second = stacks[1];
  if (!second.subs.empty() || (!second.vowels.empty() && second.base != u'འ')) {
    return validPrefix(first, second) ? 1 : 0;
  }
  // Consonants only (or a vowel only on a following འ): count the consonants
  // up to the first འ that carries a vowel.
  std::size_t count = 0;
  for (const Stack& st : stacks) {
    ++count;
    if (!st.vowels.empty() || !st.subs.empty()) break;
  }
  if (!validPrefix(first, second)) return 0;
  if (count <= 2) return kSuffixes.find(second.base) != std::u16string_view::npos ? 0 : 1;
  if (count >= 4) return 1;
  const Stack& third = stacks[2];
  if (third.base == u'ས' && third.vowels.empty()) {
    const std::u16string word{first.base, second.base, third.base};
    if (isOneOf(word, {u"དངས", u"བགས", u"མགས", u"མངས"})) return 0;
    if (isOneOf(word, {u"དགས", u"འགས", u"དབས", u"འབས", u"དམས"})) return 1;
    return std::u16string_view(u"གངབམ").find(second.base) != std::u16string_view::npos ? 0 : 1;
  }
  return 1;
}

// One subjoined letter three times running (ཀྐྐྐ): no stack of any script
// does that.
bool tripledSubjoined(std::u16string_view subs) {
  return subs.size() >= 3 && subs[subs.size() - 1] == subs[subs.size() - 2] && subs[subs.size() - 2] == subs[subs.size() - 3];
}

// Appends a list of values so that keys compare as the lists would: each value
// raised by 2, then the terminator 1.
void putList(std::u16string& key, std::u16string_view values) {
  for (char16_t v : values) key.push_back(static_cast<char16_t>(v + 2));
  key.push_back(1);
}

}  // namespace

bool normalizeTibetan(std::u16string_view text, std::u16string& out) {
  bool needed = false;
  for (std::size_t i = 0; i < text.size() && !needed; ++i) {
    needed = !decomposition(text[i]).empty() ||
             (i + 1 < text.size() && combiningClass(text[i + 1]) != 0 &&
              combiningClass(text[i]) > combiningClass(text[i + 1]));
  }
  if (!needed) return false;
  out.clear();
  for (char16_t c : text) {
    const std::u16string_view d = decomposition(c);
    if (d.empty()) {
      out.push_back(c);
    } else {
      out.append(d);
    }
  }
  // Canonical order: each run of combining signs sorted by class, stably.
  for (std::size_t i = 0; i < out.size();) {
    if (combiningClass(out[i]) == 0) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < out.size() && combiningClass(out[end]) != 0) ++end;
    std::stable_sort(out.begin() + static_cast<std::ptrdiff_t>(i), out.begin() + static_cast<std::ptrdiff_t>(end),
                     [](char16_t a, char16_t b) { return combiningClass(a) < combiningClass(b); });
    i = end;
  }
  return true;
}

std::u16string syllableKey(std::u16string_view syllable) {
  std::u16string normal;
  std::u16string_view text = normalizeTibetan(syllable, normal) ? std::u16string_view(normal) : syllable;
  const bool honorific = !text.empty() && text.front() == kHonorific;
  if (honorific) text.remove_prefix(1);
  const bool closingTsheg = !text.empty() && text.back() == kNonBreakingTsheg;
  if (closingTsheg) text.remove_suffix(1);

  // Split into stacks; note where the joiners stand (after how many stacks).
  std::vector<Stack> stacks;
  std::size_t graphemeJoinerAfter = 0, wordJoinerAfter = 0;
  for (char16_t c : text) {
    if (isJoiner(c)) {
      (c == kGraphemeJoiner ? graphemeJoinerAfter : wordJoinerAfter) = stacks.size();
      continue;
    }
    if (isBase(c)) {
      if (letterWeight(letterOf(c).letter) == 0) return {};
      stacks.push_back(Stack{c, {}, {}, {}});
      continue;
    }
    if (stacks.empty()) return {};
    Stack& st = stacks.back();
    if (isSubjoined(c)) {
      if (!st.vowels.empty() || !st.signs.empty() || letterWeight(letterOf(c).letter) == 0) return {};
      st.subs.push_back(c);
      if (tripledSubjoined(st.subs)) return {};
    } else if (isVowelSign(c)) {
      st.vowels.push_back(c);
    } else if (signAsLetter(c).letter != 0 || isSecondarySign(c)) {
      st.signs.push_back(c);
    } else {
      return {};
    }
  }
  if (stacks.empty()) return {};

  std::size_t r = findRoot(stacks);
  if (graphemeJoinerAfter == 1 && stacks[0].subs.empty()) {
    r = 0;
  } else if (wordJoinerAfter == 2 && validPrefix(stacks[0], stacks[1])) {
    r = 1;
  }
  const Stack& root = stacks[r];
  const char16_t prefix = r == 1 ? stacks[0].base : 0;

  // The superscript, the root letter and the subscripts of the root stack.
  char16_t sup = 0;
  char16_t rootLetter = root.base;
  std::u16string_view subs = root.subs;
  const char16_t top = letterOf(root.base).letter;
  if (!subs.empty() && !superscriptRoots(top).empty()) {
    const char16_t below = letterOfSubjoined(subs[0]);
    if (superscriptRoots(top).find(below) != std::u16string_view::npos || (top == u'ར' && below == u'ལ')) {
      sup = top;
      rootLetter = below;
      subs.remove_prefix(1);
    }
  }

  std::u16string subWeights, rest, secondary, tertiary;
  const Letter rl = letterOf(rootLetter);
  char16_t letter = rl.letter;
  tertiary.push_back(rl.tertiary);
  if (const char16_t plain = mirroredLetter(letter); plain != 0) {
    subWeights.push_back(0);
    letter = plain;
  }
  const std::uint16_t rootWeight = letterWeight(letter);
  if (sup != 0 && root.base == u'ཪ') tertiary.push_back(1);
  for (char16_t c : subs) {
    const Letter l = letterOf(c);
    subWeights.push_back(letterWeight(l.letter));
    tertiary.push_back(l.tertiary);
  }

  // Head: nothing; prefix ག ད བ མ འ; superscript ར ལ ས; བ with a superscript.
  auto prefixWeight = [](char16_t p) -> std::uint16_t {
    const std::size_t at = std::u16string_view(u"གདབམའ").find(p);
    return at == std::u16string_view::npos ? 0 : static_cast<std::uint16_t>(at + 1);
  };
  std::uint16_t head = prefixWeight(prefix);
  if (sup != 0) {
    head = static_cast<std::uint16_t>(6 + std::u16string_view(u"རལས").find(sup));
    if (prefix != 0) head = static_cast<std::uint16_t>(head + (prefix == u'བ' ? 3 : 6 + prefixWeight(prefix)));
  }

  secondary.push_back(honorific ? 1 : 0);
  secondary.push_back(closingTsheg ? 1 : 0);
  auto addSigns = [&](const Stack& st) {
    for (char16_t c : st.signs) {
      if (const Letter l = signAsLetter(c); l.letter != 0) {
        rest.push_back(letterWeight(l.letter));
        tertiary.push_back(l.tertiary);
      } else {
        secondary.push_back(c);
      }
    }
  };
  // Vowels: the base weights in order (a doubled sign twice) and whether a long mark came with them.
  auto vowelBases = [](std::u16string_view vowels, bool& longMark) {
    std::u16string bases;
    longMark = false;
    for (char16_t v : vowels) {
      if (v == kAChung) {
        longMark = true;
        continue;
      }
      bases.push_back(vowelWeight(v));
      if (isDoubleVowel(v)) bases.push_back(vowelWeight(v));
    }
    return bases;
  };

  addSigns(root);
  // After the root stack, letter by letter; a vowel ranks after every consonant.
  constexpr char16_t kRestVowel = 1000;
  for (std::size_t k = r + 1; k < stacks.size(); ++k) {
    const Stack& st = stacks[k];
    const Letter l = letterOf(st.base);
    rest.push_back(letterWeight(l.letter));
    tertiary.push_back(l.tertiary);
    for (char16_t c : st.subs) {
      const Letter s = letterOf(c);
      rest.push_back(letterWeight(s.letter));
      tertiary.push_back(static_cast<char16_t>(2 + s.tertiary));
    }
    bool longMark = false;
    std::u16string bases = vowelBases(st.vowels, longMark);
    if (!bases.empty() || longMark) {
      if (bases.empty()) bases.push_back(0);
      for (std::size_t b = 0; b + 1 < bases.size(); ++b) rest.push_back(static_cast<char16_t>(kRestVowel + 2 * bases[b]));
      rest.push_back(static_cast<char16_t>(kRestVowel + 2 * bases.back() + (longMark ? 1 : 0)));
    }
    addSigns(st);
  }

  bool rootLong = false;
  const std::u16string rootVowels = vowelBases(root.vowels, rootLong);
  std::u16string key;
  key.reserve(16 + subWeights.size() + rest.size() + secondary.size() + tertiary.size() + syllable.size());
  key.push_back(rootWeight);
  key.push_back(head);
  putList(key, subWeights);
  putList(key, rootVowels);
  key.push_back(rootLong ? 1 : 0);
  putList(key, rest);
  putList(key, secondary);
  putList(key, tertiary);
  // Last the characters themselves; joiners that leave the reading as it was
  // leave the key as it was.
  for (char16_t c : syllable) {
    if (!isJoiner(c)) key.push_back(static_cast<char16_t>(c + 2));
  }
  key.push_back(1);
  return key;
}

}  // namespace yig::sorting
