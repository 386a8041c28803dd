// Record layout of hand-written sources (see auto_layout.h).
#include "dico/compiler/auto_layout.h"

#include <limits>

#include "dico/compiler/cp1252.h"

namespace tavelnor::dico::source {
namespace {

bool IsField(int kind) {
  return (kind >= kVariable && kind <= kVarInPerso) || kind == kVarInSystem;
}
bool IsPlacedField(int kind) { return kind >= kVariable && kind <= kVarInPerso; }
bool IsArray(int kind) { return kind == kVarArray || kind == kVarArrayInStruct; }
bool HasItemCount(int kind) {
  return IsField(kind) || (kind >= kVarStruct && kind <= kVarArrayInStruct);
}

uint16_t FieldOffset(int kind, const char* attribute) {
  return FindClassField(GetKindInfo(kind).image_type, attribute)->offset;
}

class Layout {
 public:
  explicit Layout(SourceDico* d) : d_(d) {}

  Status Run() {
    for (SourceNode& n : d_->nodes) InheritItemCount(&n);
    for (size_t i = 0; i < d_->nodes.size(); ++i) {
      SourceNode& n = d_->nodes[i];
      if (!IsContainerKind(n.kind)) continue;
      uint64_t size = 0;
      if (n.kind != kRubricTable) {
        size = Recompute(static_cast<int>(i));
      } else if (!n.children.empty()) {
        size = Recompute(n.children[0]);
      }
      StoreUnit(&n, size);
      if (overflow_) {
        return Status::InvalidArgument("node \"" + n.where + "\": record larger than 4 GiB");
      }
    }
    for (SourceNode& n : d_->nodes) {
      if (!n.field) continue;
      if (Status s = PlaceOnField(&n); !s.ok()) return s;
    }
    return Status::Ok();
  }

 private:
  SourceNode& Node(int i) { return d_->nodes[static_cast<size_t>(i)]; }

  uint32_t ClassCode(const SourceNode& n) const {
    return IsField(n.kind) ? n.U32(FieldOffset(n.kind, "class")) : 0;
  }
  uint32_t ItemCount(const SourceNode& n) const {
    return HasItemCount(n.kind) ? n.U16(FieldOffset(n.kind, "nbitems")) : 1;
  }
  uint64_t TotalSize(const SourceNode& n) const {
    const uint64_t unit = n.U32(base::kUnitSize);
    return IsArray(n.kind) ? unit : unit * ItemCount(n);
  }
  bool TakesSpace(const SourceNode& n) const {
    if (n.kind == kVarPerso) return true;
    const uint32_t cls = ClassCode(n);
    return IsField(n.kind) && (cls == 0 || cls == 1 || cls == 7);
  }

  void StoreUnit(SourceNode* n, uint64_t size) {
    if (n->Given("internalsize")) return;
    if (size > std::numeric_limits<uint32_t>::max()) overflow_ = true;
    n->SetU32(base::kUnitSize, static_cast<uint32_t>(size));
    n->given.insert("internalsize");
  }

  void InheritItemCount(SourceNode* n) {
    if ((n->kind != kVarInArray && n->kind != kVarStructInArray) || n->parent < 0) return;
    const SourceNode& array = Node(n->parent);
    if (!IsArray(array.kind) || n->Given("nbitems")) return;
    n->SetU16(FieldOffset(n->kind, "nbitems"), array.U16(FieldOffset(array.kind, "nbitems")));
  }

  uint64_t Recompute(int i) {
    const uint64_t size = ComputeSize(i);
    uint64_t running = 0;
    AssignOffsets(i, &running);
    return size;
  }

  uint64_t ComputeSize(int i) {
    SourceNode& n = Node(i);
    const uint32_t cls = ClassCode(n);
    if (IsField(n.kind) && (cls == 3 || cls == 4 || cls == 6)) return 0;
    uint64_t sum = 0;
    for (int c : n.children) {
      const uint32_t iflags = Node(c).U32(base::kInternalFlags);
      const uint64_t child = ComputeSize(c);
      if ((iflags & (0x1 | iflag::kNoSize)) == 0) sum += child;
    }
    if (n.kind == kVarPerso) {
      const uint32_t max = n.U32(FieldOffset(n.kind, "maxpersosize"));
      StoreUnit(&n, max != 0 ? max : sum);
      return n.U32(base::kUnitSize);
    }
    if (!n.children.empty()) StoreUnit(&n, sum);
    return TotalSize(n);
  }

  void AssignOffsets(int i, uint64_t* running) {
    SourceNode& n = Node(i);
    if (*running > std::numeric_limits<uint32_t>::max()) overflow_ = true;
    const auto at = static_cast<uint32_t>(*running);
    if (IsPlacedField(n.kind) && !n.Given("diskoffset")) {
      n.SetU32(FieldOffset(n.kind, "diskoffset"), at);
      n.given.insert("diskoffset");
    } else if (n.kind == kVarPerso && !n.Given("offset")) {
      n.SetU32(FieldOffset(n.kind, "offset"), at);
      n.given.insert("offset");
    }
    const uint64_t start = *running;
    for (int c : n.children) AssignOffsets(c, running);
    if (n.kind == kVarPerso) {
      *running = start + Node(i).U32(base::kUnitSize);
    } else if (TakesSpace(n)) {
      *running += TotalSize(n);
    }
  }

  // The record-layout node of the table (or other container) holding node i.
  int LayoutRootOf(int i) {
    for (int at = Node(i).parent; at >= 0; at = Node(at).parent) {
      if (!IsContainerKind(Node(at).kind)) continue;
      if (Node(at).kind != kRubricTable) return at;
      return Node(at).children.empty() ? -1 : Node(at).children[0];
    }
    return -1;
  }

  // Depth-first search of a field by name below `root`.
  void FindFields(int root, const std::string& name, std::vector<int>* found) {
    for (int c : Node(root).children) {
      if (IsField(Node(c).kind) && Node(c).name == name) found->push_back(c);
      FindFields(c, name, found);
    }
  }

  Status PlaceOnField(SourceNode* n) {
    const std::string field = Cp1252ToUtf8(*n->field);
    auto error = [&](const std::string& msg) {
      return Status::InvalidArgument("node \"" + n->where + "\": attribute \"field\": " + msg);
    };
    if (n->Given("offset")) return error("give either \"field\" or \"offset\"");
    const int self = static_cast<int>(n - d_->nodes.data());
    const int root = LayoutRootOf(self);
    if (root < 0) return error("the node lies in no table");
    int target = -1;
    if (n->field->find('/') != std::string::npos) {
      auto r = ResolvePath(*d_, *n->field, root);
      if (!r.ok()) return error(r.status().message());
      target = *r;
    } else {
      std::vector<int> found;
      FindFields(root, *n->field, &found);
      if (found.empty()) return error("no field \"" + field + "\" in the record layout");
      if (found.size() > 1) return error("several fields are named \"" + field + "\"; give a path");
      target = found[0];
    }
    const SourceNode& f = Node(target);
    if (!IsField(f.kind)) return error("\"" + field + "\" is not a field");
    n->SetU32(FieldOffset(n->kind, "offset"), f.U32(FieldOffset(f.kind, "diskoffset")));
    StoreUnit(n, TotalSize(f));
    if (!n->Given("linkedto")) n->SetU32(base::kLinkedTo, f.Id());
    if (n->kind == kSegment && !n->Given("typeseg")) {
      n->SetU8(FieldOffset(n->kind, "typeseg"), f.U8(FieldOffset(f.kind, "type")));
    }
    if (overflow_) return error("field larger than 4 GiB");
    return Status::Ok();
  }

  SourceDico* d_;
  bool overflow_ = false;
};

}  // namespace

Status ApplyAutoLayout(SourceDico* dico) { return Layout(dico).Run(); }

}  // namespace tavelnor::dico::source
