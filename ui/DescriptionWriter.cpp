#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/Collection.h"
#include "ui/Colors.h"
#include "ui/Component.h"
#include "ui/Description.h"
#include "ui/TypeInfo.h"

namespace {

std::string Quote(const std::string& s) {
  std::string out;
  bool open = false;
  for (char ch : s) {
    auto u = static_cast<unsigned char>(ch);
    if (u < 32 || u == 127) {
      if (open) out += '\'';
      open = false;
      out += '#' + std::to_string(u);
    } else {
      if (!open) out += '\'';
      open = true;
      if (ch == '\'') out += '\'';
      out += ch;
    }
  }
  if (open) out += '\'';
  return out.empty() ? "''" : out;
}

std::string FloatText(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  std::string s(buf, r.ptr);
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";  // keeps the kind visible to a reader's eye
  return s;
}

class Writer {
 public:
  explicit Writer(const TComponent& root) : root_(root) {}

  std::string Run() {
    WriteObject(root_, 0);
    return std::move(out_);
  }

 private:
  void Line(int indent, const std::string& s) {
    out_.append(static_cast<std::size_t>(indent), ' ');
    out_ += s;
    out_ += '\n';
  }

  // The component a child is written under: its parent if that is part of this tree, else the root.
  const TComponent* Holder(const TComponent* c) const {
    const TComponent* p = c->GetParentComponent();
    if (p && (p == &root_ || p->Owner() == &root_)) return p;
    return &root_;
  }

  void WriteObject(const TComponent& c, int indent) {
    Line(indent, (c.Name().empty() ? "object : " : "object " + c.Name() + ": ") + std::string(c.ClassName()));
    WriteAllProps(c, "", indent + 2);
    for (const TComponent* child : root_.Components())
      if (child != &c && Holder(child) == &c) WriteObject(*child, indent + 2);
    Line(indent, "end");
  }

  // Values first, then event bindings, so that an object's handlers read as one block.
  void WriteAllProps(const TPersistent& obj, const std::string& prefix, int indent) {
    WriteProps(obj, prefix, indent, false);
    WriteProps(obj, prefix, indent, true);
  }

  void WriteProps(const TPersistent& obj, const std::string& prefix, int indent, bool events) {
    for (const TPropInfo* p : obj.ClassInfo().AllProps()) {
      if (p->Stored && !p->Stored(obj)) continue;
      if ((p->Kind == TPropKind::Event) != events && p->Kind != TPropKind::Object) continue;
      std::string name = prefix + p->Name;
      switch (p->Kind) {
        case TPropKind::Integer:
        case TPropKind::Boolean:
        case TPropKind::Enum:
        case TPropKind::Set:
        case TPropKind::Color: {
          std::int64_t v = p->GetOrd(obj);
          if (p->OrdDefault && *p->OrdDefault == v) break;
          Line(indent, name + " = " + OrdText(*p, v));
          break;
        }
        case TPropKind::Float: {
          double v = p->GetFloat(obj);
          if (p->FloatDefault && *p->FloatDefault == v) break;
          Line(indent, name + " = " + FloatText(v));
          break;
        }
        case TPropKind::String: {
          std::string v = p->GetString(obj);
          if (p->StringDefault ? *p->StringDefault == v : v.empty()) break;
          Line(indent, name + " = " + Quote(v));
          break;
        }
        case TPropKind::Object:
          if (TPersistent* nested = p->GetObject(obj)) WriteProps(*nested, name + ".", indent, events);
          break;
        case TPropKind::Collection:
          if (auto* coll = dynamic_cast<TCollection*>(p->GetObject(obj)); coll && coll->Count() > 0)
            WriteCollection(*coll, name, indent);
          break;
        case TPropKind::Reference: {
          const TComponent* r = p->GetRef(obj);
          if (r && (r == &root_ || r->Owner() == &root_) && !r->Name().empty()) Line(indent, name + " = " + r->Name());
          break;
        }
        case TPropKind::Event: {
          std::string h = p->GetHandlerName(obj);
          if (!h.empty()) Line(indent, name + " = " + h);
          break;
        }
        case TPropKind::Bytes: {
          std::vector<std::uint8_t> v = p->GetBytes(obj);
          if (!v.empty()) WriteBlock(name, v, indent);
          break;
        }
      }
    }
  }

  std::string OrdText(const TPropInfo& p, std::int64_t v) {
    switch (p.Kind) {
      case TPropKind::Boolean: return v ? "True" : "False";
      case TPropKind::Enum:
        if (v >= 0 && static_cast<std::uint64_t>(v) < p.Names.size()) return p.Names[static_cast<std::size_t>(v)];
        return std::to_string(v);
      case TPropKind::Set: {
        std::string s = "[";
        for (std::size_t i = 0; i < p.Names.size() && i < 63; ++i)
          if (static_cast<std::uint64_t>(v) >> i & 1) s += (s.size() > 1 ? ", " : "") + p.Names[i];
        return s + "]";
      }
      case TPropKind::Color: {
        if (auto n = ColorToIdent(static_cast<TColor>(v))) return *n;
        char buf[16];
        std::snprintf(buf, sizeof buf, "$%08X", static_cast<unsigned>(static_cast<std::uint32_t>(v)));
        return buf;
      }
      default: return std::to_string(v);
    }
  }

  void WriteCollection(const TCollection& coll, const std::string& name, int indent) {
    Line(indent, name + " = <");
    for (int i = 0; i < coll.Count(); ++i) {
      Line(indent + 2, "item");
      WriteAllProps(*coll.Item(i), "", indent + 4);
      Line(indent + 2, i + 1 == coll.Count() ? "end>" : "end");
    }
  }

  void WriteBlock(const std::string& name, const std::vector<std::uint8_t>& v, int indent) {
    static const char kHex[] = "0123456789ABCDEF";
    Line(indent, name + " = {");
    constexpr std::size_t kPerLine = 32;
    for (std::size_t i = 0; i < v.size(); i += kPerLine) {
      std::string s;
      for (std::size_t j = i; j < v.size() && j < i + kPerLine; ++j) {
        s += kHex[v[j] >> 4];
        s += kHex[v[j] & 15];
      }
      if (i + kPerLine >= v.size()) s += '}';
      Line(indent + 2, s);
    }
  }

  const TComponent& root_;
  std::string out_;
};

}  // namespace

std::string WriteDescription(const TComponent& root) { return Writer(root).Run(); }
