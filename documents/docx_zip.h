#pragma once
// Office packages (zip archives) held in memory: list and read their entries,
// and write the package again with some entries replaced. Entries that are
// not replaced keep their local header and compressed bytes exactly (they are
// never decompressed and compressed again). Stored and deflated entries are
// read, ZIP64 included; encrypted ones, other methods, and sizes, offsets or
// CRCs that do not agree are refused with the reason.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace yig::docs::zip {

/// What a package may expand to before it is refused as a zip bomb.
struct Limits {
  std::uint64_t maxTotal = std::uint64_t{1} << 30;  ///< all entries together, unpacked
  std::uint64_t maxRatio = 100;                      ///< unpacked size per packed byte
  std::uint64_t ratioFrom = std::uint64_t{1} << 20;  ///< entries smaller than this are not held to the ratio
};

/// New contents for an entry, given a piece at a time as they are made. Once
/// they pass the size from which entries are compressed fast, a thread of
/// their own compresses them while the rest is still being made; the package
/// written holds the bytes it would hold for the contents given whole.
class Streamed {
 public:
  /// The size of the pieces a part being made is best handed over in.
  static constexpr std::size_t kPiece = std::size_t{1} << 19;

  Streamed();
  ~Streamed();
  Streamed(const Streamed&) = delete;
  Streamed& operator=(const Streamed&) = delete;
  /// The next piece of the contents.
  void add(std::string&& piece);
  /// What goes before every piece added, when it is known only at the end
  /// (declarations that the rest made necessary). Once a thread compresses
  /// the pieces, the head is compressed on its own and put before them (the
  /// same contents, not quite the bytes of compressing them whole).
  void head(std::string&& head);
  /// An empty string with the room of a piece already compressed, when there
  /// is one (memory in use already costs less than new memory).
  std::string room();

 private:
  friend class Package;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class Package {
 public:
  /// Opens the package; nothing (and `error` set) when the bytes are not a
  /// readable zip archive or it would expand past `limits`.
  static std::unique_ptr<Package> open(std::string_view bytes, std::string& error, const Limits& limits = {});
  ~Package();
  Package(const Package&) = delete;
  Package& operator=(const Package&) = delete;

  std::size_t size() const { return names_.size(); }
  const std::string& name(std::size_t i) const { return names_[i]; }
  std::optional<std::size_t> find(std::string_view name) const;

  /// The unpacked bytes of entry `i`; false (and `error` set) when it cannot
  /// be read (damaged, longer than it says, failing its CRC check). It never
  /// unpacks more than the size the entry declares (and `open` held to the limits).
  bool read(std::size_t i, std::string& out, std::string& error) const;
  /// Entry `i` as it is stored: local header, compressed bytes, data descriptor.
  std::string_view stored(std::size_t i) const;

  /// The whole package again with the entries in `replaced` (by index) given
  /// new contents, compressed; every other entry copied as it is stored.
  bool write(const std::map<std::size_t, std::string>& replaced, std::string& out, std::string& error) {
    return write(replaced, {}, out, error);
  }
  /// The same, with the entries in `streamed` given the contents added to them.
  bool write(const std::map<std::size_t, std::string>& replaced, const std::map<std::size_t, Streamed*>& streamed,
             std::string& out, std::string& error);

 private:
  Package() = default;
  struct Handle;
  std::string bytes_;
  std::unique_ptr<Handle> handle_;
  std::vector<std::string> names_;
  std::vector<std::uint64_t> sizes_;
};

/// A new package of `entries` (name, contents), in this order, deflated.
std::string pack(const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace yig::docs::zip
