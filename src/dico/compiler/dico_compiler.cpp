// Encoding compiled dictionaries into files.
#include "dico/compiler/dico_compiler.h"

#include <fstream>
#include <iterator>
#include <new>
#include <stdexcept>

#include "dico/dico_handler.h"
#include "dico/gzip_stream.h"
#include "dico/pe_resource.h"

namespace tavelnor::dico {
namespace {

constexpr uint16_t kDicoLanguage = 1036;
constexpr std::uintmax_t kMaxSourceSize = std::uintmax_t{1} << 30;

Result<std::string> ReadWholeFile(const std::filesystem::path& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return Status::IoError(path.string() + ": " + ec.message());
  if (size > kMaxSourceSize) return Status::InvalidArgument(path.string() + ": file too large");
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::IoError(path.string() + ": cannot open for reading");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return Status::IoError(path.string() + ": read error");
  return bytes;
}

Status WriteWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return Status::IoError(path.string() + ": cannot open for writing");
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return Status::IoError(path.string() + ": write error");
  return Status::Ok();
}

}  // namespace

Result<std::vector<uint8_t>> EncodeDico(const DicoImage& image, int level, Container container) {
  if (level < kMinLevel || level > kMaxLevel) {
    return Status::InvalidArgument("format level " + std::to_string(level) +
                                   " is not between 0 and 11");
  }
  if (level <= 10) {
    for (int k = 0; k < ArrayCountForLevel(level); ++k) {
      if (image.Count(k) > 0xFFFF) {
        return Status::InvalidArgument(std::string("level ") + std::to_string(level) +
                                       " cannot hold " + std::to_string(image.Count(k)) +
                                       " objects of kind " + GetKindInfo(k).node_name);
      }
    }
  }
  std::vector<uint8_t> bytes = WriteDicoImage(image, level);
  try {
    switch (container) {
      case Container::kPlain:
        return bytes;
      case Container::kGzip:
        return GzipCompress(bytes);
      case Container::kPeModule:
        return BuildPeModuleWithResource(u"DICO", u"DICO", kDicoLanguage, bytes);
    }
  } catch (const std::length_error& e) {
    return Status::InvalidArgument(std::string("dictionary too large for its container: ") +
                                   e.what());
  } catch (const std::bad_alloc&) {
    return Status::IoError("out of memory while encoding the dictionary");
  }
  return Status::InvalidArgument("unknown container");
}

std::filesystem::path TranslationPathFor(const std::filesystem::path& dico_path) {
  return std::filesystem::u8path(DDicoHandler::TranslationPathFor(dico_path.string()));
}

Status BuildDicoFile(const std::filesystem::path& json_path, const std::filesystem::path& out_path,
                     int level, Container container) {
  auto text = ReadWholeFile(json_path);
  if (!text.ok()) return text.status();
  nlohmann::json source;
  try {
    source = nlohmann::json::parse(*text, nullptr, /*allow_exceptions=*/true,
                                   /*ignore_comments=*/true);
  } catch (const nlohmann::json::exception& e) {
    return Status::InvalidArgument(json_path.string() + ": " + e.what());
  }
  auto compiled = CompileDicoSource(source, CompileOptions{level});
  if (!compiled.ok()) {
    return Status::InvalidArgument(json_path.string() + ": " + compiled.status().message());
  }
  auto bytes = EncodeDico(compiled->image, compiled->image.header.level, container);
  if (!bytes.ok()) return bytes.status();
  if (Status s = WriteWholeFile(out_path, *bytes); !s.ok()) return s;
  if (!compiled->has_translations) return Status::Ok();
  auto archive = compiled->translations.Serialize();
  if (!archive.ok()) return archive.status();
  return WriteWholeFile(TranslationPathFor(out_path), *archive);
}

}  // namespace tavelnor::dico
