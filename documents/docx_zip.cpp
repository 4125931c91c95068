#include "documents/docx_zip.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace yig::docs::zip {
namespace {

std::string describe(zip_error_t* e) { return zip_error_strerror(e); }

std::string megabytes(std::uint64_t n) { return std::to_string((n + (1 << 20) - 1) >> 20) + " MB"; }

// An entry compressed here (zlib, raw deflate) and handed to libzip as
// compressed data, which it writes as it stands. libzip's own compression
// works at the slowest level; text parts of several megabytes take most of a
// conversion's time there.
struct Deflated {
  std::string data;
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
  std::size_t pos = 0;
  zip_error_t error;
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
  bool add(std::string_view in, bool last, Deflated& out) {
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z_.avail_in = static_cast<uInt>(in.size());
    // Through a block at a time: text compresses to a small part of its
    // size, and memory for the worst case would all be cleared and never used.
    int r = Z_OK;
    do {
      z_.next_out = block_.data();
      z_.avail_out = static_cast<uInt>(block_.size());
      r = deflate(&z_, last ? Z_FINISH : Z_NO_FLUSH);
      out.data.append(reinterpret_cast<const char*>(block_.data()), block_.size() - z_.avail_out);
    } while (r == Z_OK && (last || z_.avail_out == 0));
    out.size += in.size();
    // (zlib takes a null buffer as asking for the starting value)
    if (!in.empty()) {
      out.crc = static_cast<std::uint32_t>(crc32(out.crc, reinterpret_cast<const Bytef*>(in.data()), static_cast<uInt>(in.size())));
    }
    return last ? r == Z_STREAM_END : r == Z_OK || r == Z_BUF_ERROR;
  }

 private:
  z_stream z_{};
  bool started_ = false;
  std::vector<Bytef> block_ = std::vector<Bytef>(std::size_t{1} << 17);
};

bool deflateRaw(std::string_view in, Deflated& out) {
  Deflater d;
  out.data.clear();
  out.size = 0;
  out.crc = 0;
  return d.start(in.size() > kFastFrom ? 1 : 6) && d.add(in, true, out);
}

zip_int64_t deflatedSource(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  auto* d = static_cast<Deflated*>(userdata);
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      d->pos = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      const std::size_t n = std::min<std::size_t>(len, d->data.size() - d->pos);
      std::memcpy(data, d->data.data() + d->pos, n);
      d->pos += n;
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &d->error);
      if (st == nullptr) return -1;
      zip_stat_init(st);
      st->size = d->size;
      st->comp_size = d->data.size();
      st->comp_method = ZIP_CM_DEFLATE;
      st->crc = d->crc;
      st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&d->error, data, len);
    case ZIP_SOURCE_FREE:
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                            ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&d->error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

}  // namespace

// Pieces are kept until the contents pass kFastFrom; from then on a thread
// compresses them (fast, as they will be past kFastFrom in the end) as they come.
struct Streamed::Impl {
  std::mutex mutex;
  std::condition_variable wake;
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
      std::string whole;
      whole.reserve(total);
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
    out.data = std::move(result.data);
    out.size = result.size;
    out.crc = result.crc;
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

std::string Streamed::room() {
  std::lock_guard lock(impl_->mutex);
  if (impl_->spare.empty()) return {};
  std::string r = std::move(impl_->spare.back());
  impl_->spare.pop_back();
  return r;
}

struct Package::Handle {
  zip_source_t* source = nullptr;
  zip_t* archive = nullptr;
  ~Handle() {
    if (archive != nullptr) zip_discard(archive);
    if (source != nullptr) zip_source_free(source);
  }
};

Package::~Package() = default;

std::unique_ptr<Package> Package::open(std::string_view bytes, std::string& error, const Limits& limits) {
  std::unique_ptr<Package> p(new Package());
  p->bytes_.assign(bytes);
  p->handle_ = std::make_unique<Handle>();
  zip_error_t ze;
  zip_error_init(&ze);
  p->handle_->source = zip_source_buffer_create(p->bytes_.data(), p->bytes_.size(), 0, &ze);
  if (p->handle_->source == nullptr) {
    error = "cannot read the package: " + describe(&ze);
    zip_error_fini(&ze);
    return nullptr;
  }
  p->handle_->archive = zip_open_from_source(p->handle_->source, ZIP_CHECKCONS, &ze);
  if (p->handle_->archive == nullptr) {
    error = "not a valid zip package: " + describe(&ze);
    zip_error_fini(&ze);
    return nullptr;
  }
  // The archive holds the source now; one more hold keeps it for reading
  // back what the archive writes into it.
  zip_source_keep(p->handle_->source);
  zip_error_fini(&ze);
  const zip_int64_t n = zip_get_num_entries(p->handle_->archive, 0);
  std::uint64_t total = 0;
  for (zip_int64_t i = 0; i < n; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(p->handle_->archive, static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
        (st.valid & ZIP_STAT_NAME) == 0 || (st.valid & ZIP_STAT_SIZE) == 0 || (st.valid & ZIP_STAT_COMP_SIZE) == 0) {
      error = "the package is damaged: entry " + std::to_string(i) + " cannot be read";
      return nullptr;
    }
    const std::string name = st.name;
    if (st.size > limits.maxTotal || total + st.size > limits.maxTotal) {
      error = "refused as a zip bomb: the package would unpack to more than " + megabytes(limits.maxTotal);
      return nullptr;
    }
    total += st.size;
    if (st.size >= limits.ratioFrom && st.size / limits.maxRatio > st.comp_size) {
      error = "refused as a zip bomb: entry '" + name + "' would unpack to " + megabytes(st.size) + " from " +
              std::to_string(st.comp_size) + " bytes (more than " + std::to_string(limits.maxRatio) + " times)";
      return nullptr;
    }
    p->names_.push_back(name);
    p->sizes_.push_back(st.size);
  }
  return p;
}

std::optional<std::size_t> Package::find(std::string_view name) const {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (names_[i] == name) return i;
  }
  return std::nullopt;
}

bool Package::read(std::size_t i, std::string& out, std::string& error) const {
  out.clear();
  zip_file_t* f = zip_fopen_index(handle_->archive, i, 0);
  if (f == nullptr) {
    error = "cannot read '" + names_[i] + "' in the package: " + describe(zip_get_error(handle_->archive));
    return false;
  }
  out.resize(sizes_[i] + 1);
  std::uint64_t got = 0;
  bool ok = true;
  while (got < out.size()) {
    const zip_int64_t r = zip_fread(f, out.data() + got, out.size() - got);
    if (r < 0) {
      error = "the package is damaged: '" + names_[i] + "': " + describe(zip_file_get_error(f));
      ok = false;
      break;
    }
    if (r == 0) break;
    got += static_cast<std::uint64_t>(r);
  }
  zip_fclose(f);
  if (ok && got != sizes_[i]) {
    error = "the package is damaged: '" + names_[i] + "' is not the size it says";
    ok = false;
  }
  if (!ok) {
    out.clear();
    return false;
  }
  out.resize(got);
  return true;
}

bool Package::write(const std::map<std::size_t, std::string>& replaced, const std::map<std::size_t, Streamed*>& streamed,
                    std::string& out, std::string& error) {
  zip_t* za = handle_->archive;
  if (za == nullptr) {
    error = "the package was written already";
    return false;
  }
  // Every entry replaced, in package order.
  std::map<std::size_t, std::pair<const std::string*, Streamed*>> entries;
  for (const auto& [i, bytes] : replaced) entries[i].first = &bytes;
  for (const auto& [i, contents] : streamed) entries[i].second = contents;
  // The compressed entries must live until the archive is closed.
  std::vector<std::unique_ptr<Deflated>> deflated;
  for (const auto& [i, contents] : entries) {
    zip_stat_t st;
    zip_stat_init(&st);
    zip_stat_index(za, i, 0, &st);
    deflated.push_back(std::make_unique<Deflated>());
    Deflated& d = *deflated.back();
    zip_error_init(&d.error);
    if (!(contents.second != nullptr ? contents.second->impl_->finish(d) : deflateRaw(*contents.first, d))) {
      error = "cannot compress '" + names_[i] + "'";
      return false;
    }
    zip_source_t* s = zip_source_function(za, deflatedSource, &d);
    if (s == nullptr || zip_file_replace(za, i, s, 0) != 0) {
      if (s != nullptr) zip_source_free(s);
      error = "cannot replace '" + names_[i] + "': " + describe(zip_get_error(za));
      return false;
    }
    zip_set_file_compression(za, i, ZIP_CM_DEFLATE, 0);
    if ((st.valid & ZIP_STAT_MTIME) != 0) zip_file_set_mtime(za, i, st.mtime, 0);
  }
  if (zip_close(za) != 0) {
    error = "cannot write the package: " + describe(zip_get_error(za));
    return false;
  }
  handle_->archive = nullptr;
  zip_source_t* src = handle_->source;
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_source_open(src) != 0) {
    error = "cannot read the written package";
    return false;
  }
  out.clear();
  if (zip_source_stat(src, &st) == 0 && (st.valid & ZIP_STAT_SIZE) != 0) out.reserve(st.size);
  char buffer[1 << 16];
  for (;;) {
    const zip_int64_t r = zip_source_read(src, buffer, sizeof buffer);
    if (r < 0) {
      zip_source_close(src);
      error = "cannot read the written package";
      return false;
    }
    if (r == 0) break;
    out.append(buffer, static_cast<std::size_t>(r));
  }
  zip_source_close(src);
  return true;
}

}  // namespace yig::docs::zip
