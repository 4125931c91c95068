// The zip container under Word and OpenDocument packages: damaged and hostile
// packages each refused with their reason, ZIP64 records read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "documents/docx_zip.h"

namespace yig::docs::zip {
namespace {

std::uint32_t get32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(k)]);
  return v;
}

void set(std::string& b, std::size_t at, std::uint64_t v, int n) {
  for (int k = 0; k < n; ++k) b[at + static_cast<std::size_t>(k)] = static_cast<char>((v >> (8 * k)) & 0xff);
}

std::string le(std::uint64_t v, int n) {
  std::string s(static_cast<std::size_t>(n), '\0');
  set(s, 0, v, n);
  return s;
}

// Where the parts of a package made by pack() are.
struct Layout {
  std::size_t end, cd;  // end record, central directory
};
Layout layout(const std::string& p) { return {p.size() - 22, get32(p, p.size() - 6)}; }

// The same package with its end values moved into ZIP64 records.
std::string asZip64(std::string p) {
  const Layout l = layout(p);
  const std::uint64_t count = static_cast<unsigned char>(p[l.end + 10]), size = get32(p, l.end + 12);
  const std::string record = le(0x06064b50, 4) + le(44, 8) + le(45, 2) + le(45, 2) + le(0, 8) + le(count, 8) +
                             le(count, 8) + le(size, 8) + le(l.cd, 8);
  const std::string locator = le(0x07064b50, 4) + le(0, 4) + le(l.end, 8) + le(1, 4);
  std::string end = p.substr(l.end);
  set(end, 8, 0xffff, 2);
  set(end, 10, 0xffff, 2);
  set(end, 12, 0xffffffff, 4);
  set(end, 16, 0xffffffff, 4);
  return p.substr(0, l.end) + record + locator + end;
}

// The error opening and reading every entry gives; empty when all is read.
std::string errorOf(const std::string& package) {
  std::string error, bytes;
  auto pkg = Package::open(package, error);
  for (std::size_t i = 0; pkg && i < pkg->size(); ++i) {
    if (!pkg->read(i, bytes, error)) return error;
  }
  return pkg ? std::string() : error;
}

TEST(ZipContainer, DamagedAndHostilePackagesEachGetTheirReason) {
  const std::string text(300000, 'x');
  const std::string good = pack({{"a.xml", "<a>" + text + "</a>"}});
  const Layout l = layout(good);
  const std::size_t packed = get32(good, l.cd + 20);
  // Both headers changed alike, so that only the contents can tell.
  auto both = [&](std::size_t central, std::size_t local, std::uint32_t v) {
    std::string p = good;
    set(p, l.cd + central, v, 4);
    set(p, local, v, 4);
    return p;
  };
  auto at = [&](std::size_t where, std::uint64_t v, int n) {
    std::string p = good;
    set(p, where, v, n);
    return p;
  };
  std::string twice = pack({{"a.xml", "<a/>"}, {"a.xml", "<a/>"}});
  set(twice, layout(twice).cd + 46 + 5 + 42, 0, 4);  // the second entry's local header is the first's
  std::string nul = good;
  nul[l.cd + 46 + 1] = '\0';
  std::string badLocator = asZip64(good);
  set(badLocator, badLocator.size() - 22 - 20 + 8, 3, 8);

  const std::vector<std::pair<std::string, std::string>> cases = {
      {good.substr(0, good.size() - 5), "no end of central directory"},
      {good.substr(0, 10), "too short"},
      {at(l.end + 16, good.size(), 4), "central directory lies outside"},
      {at(l.end + 12, 10, 4), "central directory is cut short"},
      {at(l.cd + 42, 7, 4), "local header of 'a.xml' is not where"},
      {at(l.cd + 20, packed + 100, 4), "runs past the entries"},
      {twice, "overlap"},
      {both(24, 22, 1000), "unpacks to more than the 1000 bytes"},
      {both(24, 22, 400000), "is not the size it says"},
      {both(16, 14, 0x12345678), "fails its CRC check"},
      {at(l.cd + 16, 0x12345678, 4), "differ between its two headers"},
      {at(35, 0xff, 1), "cannot be unpacked"},
      {at(l.cd + 8, 1, 2), "encrypted"},
      {at(l.cd + 10, 12, 2), "method 12"},
      {at(8, 0, 2), "does not match the central directory"},
      {nul, "NUL byte"},
      {at(l.end + 16, 0xffffffff, 4), "ZIP64 end record is missing"},
      {badLocator, "ZIP64 end record is not where"},
      {at(l.cd + 24, 0xffffffff, 4), "lacks its ZIP64 sizes"},
      {at(l.end + 4, 1, 2), "several disks"},
      {pack({{"big", std::string(4 << 20, '\0')}}), "zip bomb"},
  };
  for (const auto& [package, reason] : cases) {
    SCOPED_TRACE(reason);
    const std::string error = errorOf(package);
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
  EXPECT_EQ(errorOf(good), "");
}

// A package read through its ZIP64 records reads the same; written again, it
// needs them no longer and keeps the entries not replaced as they are stored.
TEST(ZipContainer, Zip64RecordsAreRead) {
  const std::string good = pack({{"a.xml", "<a/>"}, {"b.bin", std::string(5000, 'b')}});
  std::string error, a, b, out;
  auto pkg = Package::open(asZip64(good), error);
  ASSERT_TRUE(pkg) << error;
  ASSERT_EQ(pkg->size(), 2u);
  ASSERT_TRUE(pkg->read(0, a, error) && pkg->read(1, b, error)) << error;
  EXPECT_EQ(a, "<a/>");
  EXPECT_EQ(b, std::string(5000, 'b'));
  ASSERT_TRUE(pkg->write({{0, "<b/>"}}, out, error)) << error;
  auto again = Package::open(out, error);
  ASSERT_TRUE(again) << error;
  EXPECT_EQ(again->stored(1), pkg->stored(1));
  ASSERT_TRUE(again->read(0, a, error)) << error;
  EXPECT_EQ(a, "<b/>");
}

}  // namespace
}  // namespace yig::docs::zip
