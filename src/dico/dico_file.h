// CInternalDicoFile: the file a dictionary image is read from.
//
// The object hides three containers, detected in this order when the file is
// opened for reading (mode 0):
//   1. a Windows module (first bytes 4D 5A 90 00): the image is the resource
//      "DICO" of type "DICO", copied into memory and read from there;
//   2. with compression asked: the gzip reader, which also passes a file that
//      is not gzip through unchanged;
//   3. otherwise the plain file.
// The read-write mode (1) always reads the plain file; the writing modes
// (2, 3, 4) create or truncate the file and read nothing.
//
// Errors: nothing here throws except std::bad_alloc. Opening and reopening
// answer a Status; Read() answers a short count and leaves the reason in
// status(). Reading past the end yields fewer bytes than asked.
//
// Sharing: the library asks for deny-write sharing when reading and for
// exclusive sharing otherwise. Standard C file streams have no portable
// equivalent, so other processes are not kept out while the file is open.
//
// Thread-safety: none; the owning dictionary handler serialises its use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dico/gzip_stream.h"
#include "dico/image_buffer.h"
#include "foundation/status.h"

namespace tavelnor::dico {

// Largest dictionary image ReadAll() hands out (after inflating): 1 GiB.
inline constexpr uint64_t kMaxDicoImageSize = uint64_t{1} << 30;

enum class DicoContainer { kPlain, kGzip, kModule };

class CInternalDicoFile {
 public:
  static constexpr int kModeRead = 0;             // read-only
  static constexpr int kModeReadWrite = 1;        // read-write, no truncation, plain
  static constexpr int kModeCreate = 2;           // create; back to kModeRead after a load
  static constexpr int kModeCreateReadWrite = 3;  // create; back to kModeReadWrite after a load
  static constexpr int kModeWrite = 4;            // create; back to kModeRead after a load

  // Opens `path` in mode 0 when `for_reading`, else in mode 4. `compressed`
  // lets mode 0 read through the gzip reader. The outcome is in status().
  // The path is passed to the C library as it stands (on Windows, in the
  // ANSI code page).
  CInternalDicoFile(std::string path, bool for_reading, bool compressed);
  ~CInternalDicoFile();
  CInternalDicoFile(const CInternalDicoFile&) = delete;
  CInternalDicoFile& operator=(const CInternalDicoFile&) = delete;

  // The constructor, with a failed open answered as its Status.
  static Result<std::unique_ptr<CInternalDicoFile>> Open(std::string path, bool for_reading,
                                                         bool compressed);

  const std::string& path() const { return path_; }
  int mode() const { return mode_; }
  bool compressed() const { return compressed_; }
  DicoContainer container() const { return container_; }
  // True when reads go through the gzip reader (also for a passed-through file).
  bool uses_gzip() const { return container_ == DicoContainer::kGzip; }
  bool is_open() const { return open_; }
  // Ok while the file is open and no read failed; else why not.
  const Status& status() const { return status_; }

  // Reads up to `n` bytes into `buf`; answers the count read.
  size_t Read(void* buf, size_t n);

  // Back to the first byte of the image: a seek for a plain file or an
  // in-memory module resource, a reopen for a gzip stream.
  Status Rewind();

  // Closes and opens the path again in `mode` (0 to 4), detecting the
  // container anew. On failure the object is closed and keeps `mode`.
  Status Reopen(int mode);
  Status Reopen() { return Reopen(mode_); }

  // The dictionary-update switch. With `write` false: true, nothing changes.
  // Otherwise reopens in mode 1 (mode 2 when `create`); when that fails,
  // reopens in mode 0 and answers false.
  bool ReopenForUpdate(bool write, bool create);

  // Where a load leaves the file: modes 2 and 4 reopen in mode 0, mode 3 in
  // mode 1; other modes stay as they are.
  Status SettleAfterLoad();

  // The whole dictionary image, from the first byte: rewinds, then reads to
  // the end. Corrupt when the image exceeds `max_size` bytes or a gzip
  // stream is damaged or truncated; IoError on a read error.
  Result<std::vector<uint8_t>> ReadAll(uint64_t max_size = kMaxDicoImageSize);
  // The same as a shared buffer; a file read as it stands is read straight
  // into it, without filling it first.
  Result<ImageBuffer> ReadImage(uint64_t max_size = kMaxDicoImageSize);

  void Close();

 private:
  Status OpenNow();
  Status OpenForReading();
  Status LoadModule(std::FILE* file);

  std::string path_;
  bool compressed_;
  int mode_;
  bool open_ = false;
  DicoContainer container_ = DicoContainer::kPlain;
  Status status_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<GzipReader> gzip_;
  std::vector<uint8_t> memory_;  // The module resource, for kModule.
  size_t memory_pos_ = 0;
};

}  // namespace tavelnor::dico
