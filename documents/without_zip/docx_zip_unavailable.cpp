// Office packages in a build without libzip: every package is refused with
// the reason, and the rest of the program works as usual.
#include "documents/docx_zip.h"

namespace yig::docs::zip {

struct Package::Handle {};
struct Streamed::Impl {};

Streamed::Streamed() = default;
Streamed::~Streamed() = default;
void Streamed::add(std::string&&) {}
std::string Streamed::room() { return {}; }

std::unique_ptr<Package> Package::open(std::string_view, std::string& error, const Limits&) {
  error = "Word and OpenDocument packages are not available in this build (it has no zip library)";
  return nullptr;
}

Package::~Package() = default;

std::optional<std::size_t> Package::find(std::string_view) const { return std::nullopt; }

bool Package::read(std::size_t, std::string&, std::string& error) const {
  error = "not available in this build";
  return false;
}

bool Package::write(const std::map<std::size_t, std::string>&, const std::map<std::size_t, Streamed*>&, std::string&,
                    std::string& error) {
  error = "not available in this build";
  return false;
}

}  // namespace yig::docs::zip
