// Buffers of the blob kinds: the data address holds the 8-byte slot of a
// variable-length part (see blob_value.h), not the bytes themselves.
#include <cstring>
#include <type_traits>

#include "record/er_buffer_kinds.h"
#include "record/er_buffer_text.h"
#include "record/rtf_text.h"
#include "record/type_codes.h"

namespace tavelnor::record {
namespace {

constexpr bool IsTextMemo(BlobKind k) { return k == BlobKind::kText || k == BlobKind::kRichText; }

template <BlobKind K>
using BlobBase = std::conditional_t<IsTextMemo(K), TextBuffer, ErBuffer>;

template <BlobKind K>
class ErBufferBlobKind final : public BlobBase<K> {
  using Base = BlobBase<K>;
  using Base::data_;
  using Base::upper_case_;

 public:
  using Base::Base;
  ~ErBufferBlobKind() override { ReleaseOwned(); }

  int16_t GetTypeCode() const override { return static_cast<int16_t>(K); }
  void Free() override {
    ReleaseOwned();
    ErBuffer::Free();
  }
  void CopyFrom(const ErBuffer& other) override { Put(other.GetBytes().view()); }
  void SetFromBuffer(const ErBuffer& other) override {
    if constexpr (K == BlobKind::kBinary) Put(other.GetBlob().Bytes());
    if constexpr (K == BlobKind::kText) Put(other.GetBlobText().Bytes());
    if constexpr (K == BlobKind::kRichText) Put(other.GetRichText().Bytes());
    if constexpr (K == BlobKind::kImage) Put(other.GetImage().Bytes());
    if constexpr (K == BlobKind::kSound) Put(other.GetSound().Bytes());
    if constexpr (K == BlobKind::kVideo) Put(other.GetVideo().Bytes());
  }
  // The slot travels with a copy of its bytes: the other side gets a block
  // of its own.
  void CopyOut(void* dest) const override {
    if (dest == nullptr || !HasSlot()) return;
    std::memcpy(dest, data_, kVarPartSlotSize);
    DuplicateVarPart(static_cast<uint8_t*>(dest));
  }
  void CopyIn(const void* src) override {
    if (src == nullptr || !HasSlot()) return;
    ReleaseVarPart(data_);
    std::memcpy(data_, src, kVarPartSlotSize);
    DuplicateVarPart(data_);
  }
  void ZeroFill() override {
    if (HasSlot()) ReleaseVarPart(data_);
    ErBuffer::ZeroFill();
  }

  void SetBlob(const sBlob& v) override { SetOwn<BlobKind::kBinary>(v); }
  void SetImage(const sBlobImage& v) override { SetOwn<BlobKind::kImage>(v); }
  void SetSound(const sBlobSound& v) override { SetOwn<BlobKind::kSound>(v); }
  void SetVideo(const sBlobVideo& v) override { SetOwn<BlobKind::kVideo>(v); }
  void SetBlobText(const sBlobText& v) override {
    if constexpr (K == BlobKind::kText) {
      Put(v.Bytes());
    } else {
      Base::SetBlobText(v);
    }
  }
  void SetRichText(const sBlobRichText& v) override {
    if constexpr (K == BlobKind::kRichText) {
      Put(v.Bytes());
    } else {
      Base::SetRichText(v);
    }
  }
  // Memos take text (an RTF memo as a document holding it); the other kinds
  // have no text form.
  void SetText(std::string_view text) override {
    if constexpr (IsTextMemo(K)) {
      std::string value(text);
      if (upper_case_) {
        Chaine upper(value);
        upper.MakeUpper();
        value = upper.str();
      }
      Put(K == BlobKind::kRichText ? PlainTextToRtf(value) : value);
    }
  }
  // Numbers are text for the memos and nothing for the other kinds.
  void SetInt64(int64_t v) override {
    if constexpr (IsTextMemo(K)) Base::SetInt64(v);
  }
  void SetUInt64(uint64_t v) override {
    if constexpr (IsTextMemo(K)) Base::SetUInt64(v);
  }
  void SetDouble(double v) override {
    if constexpr (IsTextMemo(K)) Base::SetDouble(v);
  }
  // Every extreme is the empty object, marked modified.
  void SetMax() override { Clear(); }
  void SetMin() override { Clear(); }
  void Clear() override {
    if (!HasSlot()) return;
    ReleaseVarPart(data_);
    SetVarPartFlags(data_, VarPartFlags(data_) | kVarPartModified);
  }

  Chaine GetText() const override {
    if constexpr (K == BlobKind::kText) return Chaine(sBlobText(Bytes()).Text());
    if constexpr (K == BlobKind::kRichText) return Chaine(RtfToPlainText(Bytes()));
    return Chaine();
  }
  Chaine GetBytes() const override { return Chaine(Bytes()); }
  sBlobText GetBlobText() const override {
    if constexpr (K == BlobKind::kText) return sBlobText(Bytes());
    return Base::GetBlobText();
  }
  sBlobRichText GetRichText() const override {
    if constexpr (K == BlobKind::kRichText) return sBlobRichText(Bytes());
    return Base::GetRichText();
  }
  sBlobImage GetImage() const override { return GetOwn<BlobKind::kImage>(); }
  sBlobSound GetSound() const override { return GetOwn<BlobKind::kSound>(); }
  sBlobVideo GetVideo() const override { return GetOwn<BlobKind::kVideo>(); }
  sBlob GetBlob() const override { return sBlob(Bytes()); }
  // The length of the bytes.
  int64_t GetInt64() const override { return HasSlot() ? ReadVarPart(data_).size() : 0; }
  uint64_t GetUInt64() const override { return static_cast<uint64_t>(GetInt64()); }
  bool IsEmpty() const override {
    if constexpr (IsTextMemo(K)) return GetText().IsEmpty();
    return GetInt64() == 0;
  }
  void Add(const ErBuffer& other) override {
    if constexpr (IsTextMemo(K)) Base::Add(other);
  }
  void Subtract(const ErBuffer&) override {}
  void Multiply(const ErBuffer&) override {}
  void Divide(const ErBuffer&) override {}
  int16_t ResultType(char op, const ErBuffer& other, int32_t* size) const override {
    if (size != nullptr) *size = -1;
    if constexpr (K == BlobKind::kText) return this->JoinResult(op, other, size, 1);
    if constexpr (K == BlobKind::kRichText) {
      if (op != '+') return kOperatorRefused;
      if (size != nullptr) *size = static_cast<int32_t>(kVarPartSlotSize);
      return TYPE_BLOBRICHTEXT;
    }
    return kOperatorRefused;
  }
  int16_t GetArithmeticType() const override { return IsTextMemo(K) ? 2 : 1; }

 protected:
  int CompareWith(const ErBuffer& other) const override {
    if constexpr (IsTextMemo(K)) return Base::CompareWith(other);
    int c = GetBytes().view().compare(other.GetBytes().view());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }

 private:
  bool HasSlot() const { return this->HasBytes(kVarPartSlotSize); }
  std::string_view Bytes() const { return HasSlot() ? ReadVarPart(data_) : std::string_view(); }
  void Put(std::string_view bytes) {
    if (HasSlot()) AssignVarPart(data_, bytes);
  }
  void ReleaseOwned() {
    if (this->OwnsData() && HasSlot()) ReleaseVarPart(data_);
  }
  template <BlobKind Kind>
  void SetOwn(const BasicBlob<Kind>& value) {
    if constexpr (Kind == K) {
      Put(value.Bytes());
    } else {
      Clear();
    }
  }
  template <BlobKind Kind>
  BasicBlob<Kind> GetOwn() const {
    if constexpr (Kind == K) return BasicBlob<Kind>(Bytes());
    return BasicBlob<Kind>();
  }
};

}  // namespace

std::unique_ptr<ErBuffer> MakeBlobBuffer(BufferKind kind, int32_t size, bool upper) {
  switch (kind) {
    case BufferKind::kBlob:
      return std::make_unique<ErBufferBlobKind<BlobKind::kBinary>>(size, upper);
    case BufferKind::kBlobText:
      return std::make_unique<ErBufferBlobKind<BlobKind::kText>>(size, upper);
    case BufferKind::kBlobRichText:
      return std::make_unique<ErBufferBlobKind<BlobKind::kRichText>>(size, upper);
    case BufferKind::kBlobImage:
      return std::make_unique<ErBufferBlobKind<BlobKind::kImage>>(size, upper);
    case BufferKind::kBlobSound:
      return std::make_unique<ErBufferBlobKind<BlobKind::kSound>>(size, upper);
    case BufferKind::kBlobVideo:
      return std::make_unique<ErBufferBlobKind<BlobKind::kVideo>>(size, upper);
    default: return nullptr;
  }
}

}  // namespace tavelnor::record
