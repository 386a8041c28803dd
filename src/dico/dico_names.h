// The name generators of dictionary objects. When an object is created or
// renamed in memory, DGenDicoName derives its name, file-definition name,
// header text and description from one proposed text; each part has its own
// generator with a check that answers one of the codes below.
#pragma once

#include <string>
#include <string_view>

namespace tavelnor::dico {

class DDicoBase;

enum NameCheck : int {
  kNameOk = 0,
  kNameTooLong = 1,       // 20 characters or more (file-definition names)
  kNameTaken = 2,         // another object of the container and group bears it
  kNameHasDot = 3,        // names
  kNameHasSpace = 4,      // a space or a tab (only a tab where spaces are allowed)
  kNameHasForbidden = 5,  // a character that names may not hold
};

// True for the 69 bytes (Windows-1252) that names may not hold: space, tab,
// punctuation and operator signs, line ends and accented letters.
bool IsForbiddenNameByte(unsigned char c);
// The text without any forbidden byte.
std::string NormalizeName(std::string_view text);

class DDicoName {
 public:
  virtual ~DDicoName() = default;
  virtual int Check(const DDicoBase& object, std::string_view proposed) const = 0;
  virtual std::string Generate(const DDicoBase& object, std::string_view proposed) const = 0;
  // Stores the generated text in the object's field (interned in its pool).
  virtual void Apply(DDicoBase& object, std::string_view proposed) const = 0;
};

class DNameDicoName : public DDicoName {
 public:
  int Check(const DDicoBase& object, std::string_view proposed) const override;
  std::string Generate(const DDicoBase& object, std::string_view proposed) const override;
  void Apply(DDicoBase& object, std::string_view proposed) const override;
};

class DDDFDicoName : public DDicoName {
 public:
  explicit DDDFDicoName(bool allow_spaces = false) : allow_spaces_(allow_spaces) {}
  int Check(const DDicoBase& object, std::string_view proposed) const override;
  // A container's is the proposed text; another object's is its parent's
  // (past title nodes, the grandparent's) file-definition name, a dot and
  // the proposed text, unless that parent carries internal flag 0x10000.
  std::string Generate(const DDicoBase& object, std::string_view proposed) const override;
  void Apply(DDicoBase& object, std::string_view proposed) const override;

 private:
  bool allow_spaces_;
};

class DHeaderDicoName : public DDicoName {
 public:
  int Check(const DDicoBase&, std::string_view) const override { return kNameOk; }
  std::string Generate(const DDicoBase&, std::string_view proposed) const override {
    return std::string(proposed);
  }
  void Apply(DDicoBase& object, std::string_view proposed) const override;
};

class DDescDicoName : public DHeaderDicoName {
 public:
  void Apply(DDicoBase& object, std::string_view proposed) const override;
};

// All four at once: the name is the normalised proposed text, the other
// parts follow from it.
class DGenDicoName {
 public:
  // The first non-zero check of the name and the file-definition name.
  int Check(const DDicoBase& object, std::string_view proposed) const;
  void Apply(DDicoBase& object, std::string_view proposed) const;

 private:
  DNameDicoName name_;
  DDDFDicoName ddf_;
  DHeaderDicoName header_;
  DDescDicoName desc_;
};

}  // namespace tavelnor::dico
