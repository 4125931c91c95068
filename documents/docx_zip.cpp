#include "documents/docx_zip.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

// The zip container read and written here, with zlib for the deflate
// streams. Facts of the layout: every entry is a local header (30 bytes,
// the name, extra fields), its compressed bytes and, when flag bit 3 is set,
// a data descriptor (an optional signature, CRC-32, the two sizes in 4 or 8
// bytes); then the central directory, one record (46 bytes, name, extra,
// comment) per entry; then the end record (22 bytes and a comment). When a
// count, size or offset does not fit its field, the field holds all ones and
// the value is in the ZIP64 extra field (0x0001) or the ZIP64 end record, found
// through the locator just before the end record.

namespace yig::docs::zip {
namespace {

constexpr std::uint32_t kLocalSig = 0x04034b50, kCentralSig = 0x02014b50, kEndSig = 0x06054b50,
                        kZip64EndSig = 0x06064b50, kZip64LocatorSig = 0x07064b50, kDescriptorSig = 0x08074b50;
constexpr std::uint64_t kFull32 = 0xffffffffu, kFull16 = 0xffffu;
constexpr std::uint16_t kZip64Extra = 0x0001;
constexpr std::uint16_t kEncrypted = 0x0001, kStrongEncryption = 0x0040, kDescriptor = 0x0008, kUtf8Names = 0x0800;
constexpr std::size_t kLocalSize = 30, kCentralSize = 46, kEndSize = 22, kZip64EndSize = 56, kLocatorSize = 20;

std::uint64_t get(std::string_view b, std::uint64_t at, int n) {
  std::uint64_t v = 0;
  for (int k = n - 1; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::uint64_t>(k)]);
  return v;
}

void put(std::string& out, std::uint64_t v, int n) {
  for (int k = 0; k < n; ++k) out.push_back(static_cast<char>((v >> (8 * k)) & 0xff));
}

std::string megabytes(std::uint64_t n) { return std::to_string((n + (1 << 20) - 1) >> 20) + " MB"; }

// Extra fields without the ZIP64 one (written anew where it is needed); the
// bytes as they are when they do not split into fields.
std::string withoutZip64(std::string_view extra) {
  std::string kept;
  for (std::size_t at = 0; at < extra.size();) {
    if (extra.size() - at < 4 || extra.size() - at - 4 < get(extra, at + 2, 2)) return std::string(extra);
    const std::size_t len = 4 + get(extra, at + 2, 2);
    if (get(extra, at, 2) != kZip64Extra) kept.append(extra.substr(at, len));
    at += len;
  }
  return kept;
}

// The ZIP64 extra field's data in `extra`; empty when there is none.
std::string_view zip64Field(std::string_view extra) {
  for (std::size_t at = 0; extra.size() - at >= 4;) {
    const std::size_t len = get(extra, at + 2, 2);
    if (extra.size() - at - 4 < len) break;
    if (get(extra, at, 2) == kZip64Extra) return extra.substr(at + 4, len);
    at += 4 + len;
  }
  return {};
}

std::uint32_t crcOf(std::string_view bytes) {
  return static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

// An entry compressed here (zlib, raw deflate).
struct Deflated {
  std::string data;
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
};

// Large parts are compressed fast rather than small: those longer than this.
constexpr std::size_t kFastFrom = std::size_t{2} << 20;

// Raw deflate, fed a piece at a time; the bytes do not depend on how the
// input is cut.
class Deflater {
 public:
  bool start(int level) {
    started_ = deflateInit2(&z_, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    return started_;
  }
  ~Deflater() {
    if (started_) deflateEnd(&z_);
  }
  // Adds `in` (the last of it when `last`); false when zlib fails.
  bool add(std::string_view in, bool last, Deflated& out) { return feed(in, last ? Z_FINISH : Z_NO_FLUSH, out); }
  // Adds `in` and ends the output on a byte, the stream not finished: a raw
  // deflate stream of its own may follow it.
  bool addOpenEnded(std::string_view in, Deflated& out) { return feed(in, Z_SYNC_FLUSH, out); }

 private:
  bool feed(std::string_view in, int flush, Deflated& out) {
    const bool last = flush == Z_FINISH;
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z_.avail_in = static_cast<uInt>(in.size());
    // Through a block at a time: text compresses to a small part of its
    // size, and memory for the worst case would all be cleared and never used.
    int r = Z_OK;
    do {
      z_.next_out = block_.data();
      z_.avail_out = static_cast<uInt>(block_.size());
      r = deflate(&z_, flush);
      out.data.append(reinterpret_cast<const char*>(block_.data()), block_.size() - z_.avail_out);
    } while (r == Z_OK && (last || z_.avail_out == 0));
    out.size += in.size();
    // (zlib takes a null buffer as asking for the starting value)
    if (!in.empty()) {
      out.crc = static_cast<std::uint32_t>(crc32(out.crc, reinterpret_cast<const Bytef*>(in.data()), static_cast<uInt>(in.size())));
    }
    return last ? r == Z_STREAM_END : r == Z_OK || r == Z_BUF_ERROR;
  }

  z_stream z_{};
  bool started_ = false;
  std::vector<Bytef> block_ = std::vector<Bytef>(std::size_t{1} << 17);
};

bool deflateRaw(std::string_view in, Deflated& out) {
  Deflater d;
  out.data.clear();
  out.size = 0;
  out.crc = 0;
  // zlib takes at most 4 GB at a time; no part comes near.
  return in.size() < kFull32 && d.start(in.size() > kFastFrom ? 1 : 6) && d.add(in, true, out);
}

}  // namespace

// Pieces are kept until the contents pass kFastFrom; from then on a thread
// compresses them (fast, as they will be past kFastFrom in the end) as they come.
struct Streamed::Impl {
  std::mutex mutex;
  std::condition_variable wake;
  std::string head;               // what goes before the pieces
  std::deque<std::string> queue;  // pieces not compressed yet
  std::vector<std::string> spare;  // pieces compressed, emptied, for room()
  std::size_t total = 0;
  bool last = false, failed = false, tried = false;
  std::thread worker;
  Deflater deflater;
  Deflated result;

  ~Impl() {
    if (worker.joinable()) {
      {
        std::lock_guard lock(mutex);
        last = true;
        queue.clear();
      }
      wake.notify_one();
      worker.join();
    }
  }

  void compress() {
    std::unique_lock lock(mutex);
    for (;;) {
      wake.wait(lock, [&] { return last || !queue.empty(); });
      if (queue.empty()) break;
      std::string piece = std::move(queue.front());
      queue.pop_front();
      const bool end = last && queue.empty();
      lock.unlock();
      const bool ok = deflater.add(piece, end, result);
      piece.clear();
      lock.lock();
      if (spare.size() < 2) spare.push_back(std::move(piece));
      failed = failed || !ok;
      if (end) return;
    }
    lock.unlock();
    failed = !deflater.add({}, true, result) || failed;
  }

  // The contents compressed, all pieces given.
  bool finish(Deflated& out) {
    if (!worker.joinable()) {
      std::string whole = std::move(head);
      whole.reserve(whole.size() + total);
      for (const std::string& piece : queue) whole += piece;
      queue.clear();
      return deflateRaw(whole, out);
    }
    {
      std::lock_guard lock(mutex);
      last = true;
    }
    wake.notify_one();
    worker.join();
    if (head.empty()) {
      out.data = std::move(result.data);
      out.size = result.size;
      out.crc = result.crc;
      return !failed;
    }
    // The head as a stream of its own ended on a byte, the pieces' stream
    // after it: one deflate stream of the head and then the pieces.
    Deflater first;
    out.data.clear();
    out.size = 0;
    out.crc = 0;
    if (head.size() >= kFull32 || !first.start(1) || !first.addOpenEnded(head, out)) return false;
    out.data += result.data;
    out.crc = static_cast<std::uint32_t>(crc32_combine(out.crc, result.crc, static_cast<z_off_t>(result.size)));
    out.size += result.size;
    return !failed;
  }
};

Streamed::Streamed() : impl_(std::make_unique<Impl>()) {}
Streamed::~Streamed() = default;

void Streamed::add(std::string&& piece) {
  Impl& d = *impl_;
  d.total += piece.size();
  if (d.worker.joinable()) {
    {
      std::lock_guard lock(d.mutex);
      d.queue.push_back(std::move(piece));
    }
    d.wake.notify_one();
    return;
  }
  d.queue.push_back(std::move(piece));
  if (!d.tried && d.total > kFastFrom) {
    d.tried = true;
    if (!d.deflater.start(1)) return;
    try {
      d.worker = std::thread([&d] { d.compress(); });
    } catch (const std::system_error&) {
      // No thread to be had: everything is compressed at the end instead.
    }
  }
}

void Streamed::head(std::string&& head) {
  impl_->total += head.size() - impl_->head.size();
  impl_->head = std::move(head);
}

std::string Streamed::room() {
  std::lock_guard lock(impl_->mutex);
  if (impl_->spare.empty()) return {};
  std::string r = std::move(impl_->spare.back());
  impl_->spare.pop_back();
  return r;
}

// What the central directory says of an entry, and where its stored bytes are.
struct Entry {
  std::uint16_t madeBy = 20, needed = 20, flags = 0, method = 8, time = 0, date = 0x21, internal = 0;
  std::uint32_t crc = 0, external = 0;
  std::uint64_t packed = 0, unpacked = 0;
  std::uint64_t local = 0, data = 0, end = 0;  // local header, compressed bytes, end of the entry as stored
  std::string extra, comment;                  // central extra fields (without ZIP64) and comment
  std::string localExtra;                      // local extra fields (without ZIP64)
};

struct Package::Handle {
  std::vector<Entry> entries;
  std::string comment;  // the archive's
};

namespace {

// Writes a package: entries one after another, then the central directory
// and the end records (the ZIP64 ones only when a value needs them).
class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}

  // An entry whose local header and compressed bytes are `stored`, as they are.
  void copy(const std::string& name, const Entry& e, std::string_view stored) {
    Entry c = e;
    c.local = out_.size();
    out_.append(stored);
    central_.emplace_back(name, std::move(c));
  }

  // An entry with new compressed bytes; the rest of `e` (name, times,
  // attributes, extra fields) kept.
  void add(const std::string& name, const Entry& e, const Deflated& d) {
    Entry c = e;
    c.flags = e.flags & kUtf8Names;
    c.method = 8;
    c.crc = d.crc;
    c.unpacked = d.size;
    c.packed = d.data.size();
    c.local = out_.size();
    const bool big = c.unpacked >= kFull32 || c.packed >= kFull32;
    c.needed = big ? 45 : 20;
    put(out_, kLocalSig, 4);
    common(c.needed, c, big ? kFull32 : c.packed, big ? kFull32 : c.unpacked, name);
    put(out_, c.localExtra.size() + (big ? 20 : 0), 2);
    out_ += name;
    if (big) {
      put(out_, kZip64Extra, 2);
      put(out_, 16, 2);
      put(out_, c.unpacked, 8);
      put(out_, c.packed, 8);
    }
    out_ += c.localExtra;
    out_ += d.data;
    central_.emplace_back(name, std::move(c));
  }

  void finish(const std::string& comment) {
    const std::uint64_t start = out_.size();
    for (const auto& [name, e] : central_) {
      std::string zip64;
      for (const std::uint64_t v : {e.unpacked, e.packed, e.local}) {
        if (v >= kFull32) put(zip64, v, 8);
      }
      std::uint16_t needed = e.needed;
      if (!zip64.empty()) needed = std::max<std::uint16_t>(needed, 45);
      put(out_, kCentralSig, 4);
      put(out_, e.madeBy, 2);
      common(needed, e, std::min(e.packed, kFull32), std::min(e.unpacked, kFull32), name);
      put(out_, e.extra.size() + (zip64.empty() ? 0 : 4 + zip64.size()), 2);
      put(out_, e.comment.size(), 2);
      put(out_, 0, 2);  // disk
      put(out_, e.internal, 2);
      put(out_, e.external, 4);
      put(out_, std::min(e.local, kFull32), 4);
      out_ += name;
      if (!zip64.empty()) {
        put(out_, kZip64Extra, 2);
        put(out_, zip64.size(), 2);
        out_ += zip64;
      }
      out_ += e.extra;
      out_ += e.comment;
    }
    const std::uint64_t size = out_.size() - start, count = central_.size();
    if (count >= kFull16 || size >= kFull32 || start >= kFull32) {
      const std::uint64_t record = out_.size();
      put(out_, kZip64EndSig, 4);
      put(out_, kZip64EndSize - 12, 8);
      put(out_, 45, 2);
      put(out_, 45, 2);
      put(out_, 0, 4);
      put(out_, 0, 4);
      put(out_, count, 8);
      put(out_, count, 8);
      put(out_, size, 8);
      put(out_, start, 8);
      put(out_, kZip64LocatorSig, 4);
      put(out_, 0, 4);
      put(out_, record, 8);
      put(out_, 1, 4);
    }
    put(out_, kEndSig, 4);
    put(out_, 0, 4);  // disks
    put(out_, std::min(count, kFull16), 2);
    put(out_, std::min(count, kFull16), 2);
    put(out_, std::min(size, kFull32), 4);
    put(out_, std::min(start, kFull32), 4);
    put(out_, comment.size(), 2);
    out_ += comment;
  }

 private:
  // The fields local header and central record share, from the version
  // needed to the name's length.
  void common(std::uint16_t needed, const Entry& e, std::uint64_t packed, std::uint64_t unpacked, const std::string& name) {
    put(out_, needed, 2);
    put(out_, e.flags, 2);
    put(out_, e.method, 2);
    put(out_, e.time, 2);
    put(out_, e.date, 2);
    put(out_, e.crc, 4);
    put(out_, packed, 4);
    put(out_, unpacked, 4);
    put(out_, name.size(), 2);
  }

  std::string& out_;
  std::vector<std::pair<std::string, Entry>> central_;
};

// Reads the central directory and checks every entry's local header against
// it; false with `error` set at the first thing that does not hold.
class Reader {
 public:
  Reader(std::string_view b, std::string& error) : b_(b), error_(error) {}

  bool read(std::vector<Entry>& entries, std::string& comment, std::vector<std::string>& names) {
    if (b_.size() < kEndSize) return fail("not a valid zip package: it is too short");
    // The end record, searched from the end: a comment of up to 64 KB may follow it.
    std::uint64_t end = b_.size() - kEndSize;
    const std::uint64_t lowest = end > kFull16 ? end - kFull16 : 0;
    for (;; --end) {
      if (get(b_, end, 4) == kEndSig && end + kEndSize + get(b_, end + 20, 2) == b_.size()) break;
      if (end == lowest) return fail("not a valid zip package: it has no end of central directory record");
    }
    std::uint64_t disk = get(b_, end + 4, 2), cdDisk = get(b_, end + 6, 2), onDisk = get(b_, end + 8, 2),
                  count = get(b_, end + 10, 2), size = get(b_, end + 12, 4), start = get(b_, end + 16, 4);
    comment.assign(b_.substr(end + kEndSize));
    std::uint64_t limit = end;  // where the central directory must end by
    if (end >= kLocatorSize && get(b_, end - kLocatorSize, 4) == kZip64LocatorSig) {
      const std::uint64_t record = get(b_, end - kLocatorSize + 8, 8);
      if (get(b_, end - kLocatorSize + 4, 4) != 0 || get(b_, end - kLocatorSize + 16, 4) > 1) {
        return fail("the package is split over several disks, which is not supported");
      }
      if (record > end - kLocatorSize || end - kLocatorSize - record < kZip64EndSize ||
          get(b_, record, 4) != kZip64EndSig) {
        return fail("the package is damaged: its ZIP64 end record is not where the locator says");
      }
      const std::uint64_t count64 = get(b_, record + 32, 8), size64 = get(b_, record + 40, 8),
                          start64 = get(b_, record + 48, 8);
      if ((count != kFull16 && count != count64) || (size != kFull32 && size != size64) ||
          (start != kFull32 && start != start64)) {
        return fail("the package is damaged: its ZIP64 end record disagrees with its end record");
      }
      disk = get(b_, record + 16, 4);
      cdDisk = get(b_, record + 20, 4);
      onDisk = get(b_, record + 24, 8);
      count = count64;
      size = size64;
      start = start64;
      limit = record;
    } else if (count == kFull16 || size == kFull32 || start == kFull32) {
      return fail("the package is damaged: its ZIP64 end record is missing");
    }
    if (disk != 0 || cdDisk != 0 || onDisk != count) {
      return fail("the package is split over several disks, which is not supported");
    }
    if (start > limit || size > limit - start) {
      return fail("the package is damaged: its central directory lies outside the package");
    }
    if (count > size / kCentralSize) return fail("the package is damaged: its central directory is cut short");
    std::uint64_t at = start;
    const std::uint64_t cdEnd = start + size;
    entries.reserve(count);
    names.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) {
      std::string name;
      Entry e;
      if (!central(at, cdEnd, name, e) || !local(name, e, start)) return false;
      entries.push_back(std::move(e));
      names.push_back(std::move(name));
    }
    return noOverlap(entries, names);
  }

 private:
  bool fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  bool central(std::uint64_t& at, std::uint64_t cdEnd, std::string& name, Entry& e) {
    if (cdEnd - at < kCentralSize || get(b_, at, 4) != kCentralSig) {
      return fail("the package is damaged: its central directory is cut short");
    }
    e.madeBy = static_cast<std::uint16_t>(get(b_, at + 4, 2));
    e.needed = static_cast<std::uint16_t>(get(b_, at + 6, 2));
    e.flags = static_cast<std::uint16_t>(get(b_, at + 8, 2));
    e.method = static_cast<std::uint16_t>(get(b_, at + 10, 2));
    e.time = static_cast<std::uint16_t>(get(b_, at + 12, 2));
    e.date = static_cast<std::uint16_t>(get(b_, at + 14, 2));
    e.crc = static_cast<std::uint32_t>(get(b_, at + 16, 4));
    e.packed = get(b_, at + 20, 4);
    e.unpacked = get(b_, at + 24, 4);
    const std::uint64_t nameLen = get(b_, at + 28, 2), extraLen = get(b_, at + 30, 2), commentLen = get(b_, at + 32, 2);
    std::uint64_t disk = get(b_, at + 34, 2);
    e.internal = static_cast<std::uint16_t>(get(b_, at + 36, 2));
    e.external = static_cast<std::uint32_t>(get(b_, at + 38, 4));
    e.local = get(b_, at + 42, 4);
    if (cdEnd - at - kCentralSize < nameLen + extraLen + commentLen) {
      return fail("the package is damaged: its central directory is cut short");
    }
    name.assign(b_.substr(at + kCentralSize, nameLen));
    const std::string_view extra = b_.substr(at + kCentralSize + nameLen, extraLen);
    e.comment.assign(b_.substr(at + kCentralSize + nameLen + extraLen, commentLen));
    at += kCentralSize + nameLen + extraLen + commentLen;
    if (name.find('\0') != std::string::npos) return fail("the package is damaged: an entry's name holds a NUL byte");
    if ((e.flags & (kEncrypted | kStrongEncryption)) != 0 || e.method == 99) {
      return fail("'" + name + "' in the package is encrypted, which is not supported");
    }
    if (e.method != 0 && e.method != 8) {
      return fail("'" + name + "' in the package is compressed with method " + std::to_string(e.method) +
                  ", which is not supported (only stored and deflated entries are)");
    }
    // ZIP64 values come in this order, each only when its field is full.
    std::string_view zip64 = zip64Field(extra);
    for (std::uint64_t* v : {&e.unpacked, &e.packed, &e.local}) {
      if (*v != kFull32) continue;
      if (zip64.size() < 8) return fail("the package is damaged: '" + name + "' lacks its ZIP64 sizes");
      *v = get(zip64, 0, 8);
      zip64.remove_prefix(8);
    }
    if (disk == kFull16 && zip64.size() >= 4) disk = get(zip64, 0, 4);
    if (disk != 0) return fail("the package is split over several disks, which is not supported");
    e.extra = withoutZip64(extra);
    if (e.method == 0 && e.packed != e.unpacked) {
      return fail("the package is damaged: '" + name + "' is stored, yet its two sizes differ");
    }
    return true;
  }

  // The local header (and data descriptor) of `e`, checked against the central directory.
  bool local(const std::string& name, Entry& e, std::uint64_t cdStart) {
    const std::string damaged = "the package is damaged: ";
    if (e.local > cdStart || cdStart - e.local < kLocalSize || get(b_, e.local, 4) != kLocalSig) {
      return fail(damaged + "the local header of '" + name + "' is not where the central directory says");
    }
    const std::uint64_t flags = get(b_, e.local + 6, 2), method = get(b_, e.local + 8, 2);
    const std::uint64_t nameLen = get(b_, e.local + 26, 2), extraLen = get(b_, e.local + 28, 2);
    if (cdStart - e.local - kLocalSize < nameLen + extraLen ||
        b_.substr(e.local + kLocalSize, nameLen) != name || method != e.method ||
        (flags & (kEncrypted | kDescriptor)) != (e.flags & (kEncrypted | kDescriptor))) {
      return fail(damaged + "the local header of '" + name + "' does not match the central directory");
    }
    const std::string_view extra = b_.substr(e.local + kLocalSize + nameLen, extraLen);
    e.localExtra = withoutZip64(extra);
    e.data = e.local + kLocalSize + nameLen + extraLen;
    if (e.packed > cdStart - e.data) {
      return fail(damaged + "'" + name + "' runs past the entries into the central directory");
    }
    e.end = e.data + e.packed;
    if ((flags & kDescriptor) == 0) {
      std::uint64_t packed = get(b_, e.local + 18, 4), unpacked = get(b_, e.local + 22, 4);
      if (packed == kFull32 || unpacked == kFull32) {
        const std::string_view zip64 = zip64Field(extra);
        if (zip64.size() < 16) return fail(damaged + "'" + name + "' lacks its ZIP64 sizes");
        unpacked = get(zip64, 0, 8);
        packed = get(zip64, 8, 8);
      }
      if (get(b_, e.local + 14, 4) != e.crc || packed != e.packed || unpacked != e.unpacked) {
        return fail(damaged + "the sizes or CRC of '" + name + "' differ between its two headers");
      }
      return true;
    }
    // The data descriptor: a signature or not, sizes in 4 bytes or (ZIP64) in 8.
    for (const std::uint64_t sig : {4, 0}) {
      if (sig != 0 && (cdStart - e.end < 4 || get(b_, e.end, 4) != kDescriptorSig)) continue;
      for (const int width : {4, 8}) {
        const std::uint64_t len = sig + 4 + 2 * static_cast<std::uint64_t>(width);
        if (cdStart - e.end < len) continue;
        if (get(b_, e.end + sig, 4) == e.crc && get(b_, e.end + sig + 4, width) == e.packed &&
            get(b_, e.end + sig + 4 + static_cast<std::uint64_t>(width), width) == e.unpacked) {
          e.end += len;
          return true;
        }
      }
    }
    return fail(damaged + "the data descriptor of '" + name + "' does not match the central directory");
  }

  // Every entry ends by the central directory (checked with its local
  // header); here no two share bytes.
  bool noOverlap(const std::vector<Entry>& entries, const std::vector<std::string>& names) {
    std::vector<std::size_t> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return entries[a].local < entries[b].local; });
    for (std::size_t k = 1; k < order.size(); ++k) {
      if (entries[order[k]].local < entries[order[k - 1]].end) {
        return fail("the package is damaged: entries '" + names[order[k - 1]] + "' and '" + names[order[k]] + "' overlap");
      }
    }
    return true;
  }

  std::string_view b_;
  std::string& error_;
};

}  // namespace

Package::~Package() = default;

std::unique_ptr<Package> Package::open(std::string_view bytes, std::string& error, const Limits& limits) {
  std::unique_ptr<Package> p(new Package());
  p->bytes_.assign(bytes);
  p->handle_ = std::make_unique<Handle>();
  if (!Reader(p->bytes_, error).read(p->handle_->entries, p->handle_->comment, p->names_)) return nullptr;
  // Zip bombs by what the entries declare; reading holds each to its
  // declared size, so the limits hold while unpacking too.
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < p->names_.size(); ++i) {
    const Entry& e = p->handle_->entries[i];
    if (e.unpacked > limits.maxTotal || total + e.unpacked > limits.maxTotal) {
      error = "refused as a zip bomb: the package would unpack to more than " + megabytes(limits.maxTotal);
      return nullptr;
    }
    total += e.unpacked;
    if (e.unpacked >= limits.ratioFrom && e.unpacked / limits.maxRatio > e.packed) {
      error = "refused as a zip bomb: entry '" + p->names_[i] + "' would unpack to " + megabytes(e.unpacked) + " from " +
              std::to_string(e.packed) + " bytes (more than " + std::to_string(limits.maxRatio) + " times)";
      return nullptr;
    }
    p->sizes_.push_back(e.unpacked);
  }
  return p;
}

std::optional<std::size_t> Package::find(std::string_view name) const {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (names_[i] == name) return i;
  }
  return std::nullopt;
}

std::string_view Package::stored(std::size_t i) const {
  const Entry& e = handle_->entries[i];
  return std::string_view(bytes_).substr(e.local, e.end - e.local);
}

bool Package::read(std::size_t i, std::string& out, std::string& error) const {
  out.clear();
  const Entry& e = handle_->entries[i];
  const std::string_view in = std::string_view(bytes_).substr(e.data, e.packed);
  const std::string damaged = "the package is damaged: '" + names_[i] + "' ";
  if (e.method == 0) {
    out.assign(in);
  } else {
    // One byte more than declared: an entry longer than it says stops there.
    out.resize(e.unpacked + 1);
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) {
      error = "cannot read '" + names_[i] + "': out of memory";
      out.clear();
      return false;
    }
    constexpr std::uint64_t kStep = std::uint64_t{1} << 30;  // zlib counts in 32 bits
    std::uint64_t fed = 0, made = 0;
    int r = Z_OK;
    while (r == Z_OK) {
      if (z.avail_in == 0 && fed < in.size()) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data() + fed));
        z.avail_in = static_cast<uInt>(std::min(kStep, in.size() - fed));
        fed += z.avail_in;
      }
      if (z.avail_out == 0 && made < out.size()) {
        z.next_out = reinterpret_cast<Bytef*>(out.data() + made);
        z.avail_out = static_cast<uInt>(std::min<std::uint64_t>(kStep, out.size() - made));
        made += z.avail_out;
      }
      r = inflate(&z, Z_NO_FLUSH);
      // No progress for want of room or input that is still to come.
      if (r == Z_BUF_ERROR && ((z.avail_in == 0 && fed < in.size()) || (z.avail_out == 0 && made < out.size()))) r = Z_OK;
    }
    const std::uint64_t got = made - z.avail_out;
    const std::string why = z.msg != nullptr ? z.msg : "";
    inflateEnd(&z);
    if (r != Z_STREAM_END) {
      if (got > e.unpacked) {
        error = damaged + "unpacks to more than the " + std::to_string(e.unpacked) + " bytes it says";
      } else if (r == Z_DATA_ERROR) {
        error = damaged + "cannot be unpacked (" + why + ")";
      } else {
        error = damaged + "is cut short";
      }
      out.clear();
      return false;
    }
    out.resize(got);
  }
  if (out.size() != e.unpacked) {
    error = damaged + "is not the size it says";
  } else if (crcOf(out) != e.crc) {
    error = damaged + "fails its CRC check";
  } else {
    return true;
  }
  out.clear();
  return false;
}

bool Package::write(const std::map<std::size_t, std::string>& replaced, const std::map<std::size_t, Streamed*>& streamed,
                    std::string& out, std::string& error) {
  out.clear();
  out.reserve(bytes_.size() + (std::size_t{1} << 16));
  Writer writer(out);
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const Entry& e = handle_->entries[i];
    const auto r = replaced.find(i);
    const auto s = streamed.find(i);
    if (r == replaced.end() && s == streamed.end()) {
      writer.copy(names_[i], e, stored(i));
      continue;
    }
    Deflated d;
    if (!(s != streamed.end() ? s->second->impl_->finish(d) : deflateRaw(r->second, d))) {
      error = "cannot compress '" + names_[i] + "'";
      out.clear();
      return false;
    }
    writer.add(names_[i], e, d);
  }
  writer.finish(handle_->comment);
  return true;
}

std::string pack(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string out;
  Writer writer(out);
  Entry e;
  e.flags = kUtf8Names;
  for (const auto& [name, bytes] : entries) {
    Deflated d;
    deflateRaw(bytes, d);
    writer.add(name, e, d);
  }
  writer.finish({});
  return out;
}

}  // namespace yig::docs::zip
