#include <algorithm>
#include <cctype>
#include <charconv>
#include <exception>
#include <string>
#include <vector>

#include "ui/ClassRegistry.h"
#include "ui/Collection.h"
#include "ui/Colors.h"
#include "ui/Component.h"
#include "ui/Description.h"
#include "ui/Errors.h"
#include "ui/TypeInfo.h"

namespace {

enum class Tok { End, Ident, Number, String, Symbol, Block };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // identifier, number text, decoded string, or the symbol
  std::vector<std::uint8_t> bytes;
  int line = 0;
};

bool IdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Lexer {
 public:
  Lexer(std::string_view text, std::size_t maxBlock) : s_(text), maxBlock_(maxBlock) {}

  // `where` names what is being read, for errors the lexer raises itself.
  Token Next(const std::string& where) {
    SkipSpace();
    Token t;
    t.line = line_;
    if (p_ >= s_.size()) return t;
    char c = s_[p_];
    if (IdentStart(c)) {
      std::size_t b = p_;
      while (p_ < s_.size() && IdentChar(s_[p_])) ++p_;
      t.kind = Tok::Ident;
      t.text.assign(s_.substr(b, p_ - b));
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '$') {
      std::size_t b = p_++;
      while (p_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[p_])) || s_[p_] == '.' ||
                                ((s_[p_] == '-' || s_[p_] == '+') && (s_[p_ - 1] == 'e' || s_[p_ - 1] == 'E'))))
        ++p_;
      t.kind = Tok::Number;
      t.text.assign(s_.substr(b, p_ - b));
    } else if (c == '\'' || c == '#') {
      t.kind = Tok::String;
      ReadString(t.text, where);
    } else if (c == '{') {
      t.kind = Tok::Block;
      ReadBlock(t.bytes, where);
    } else {
      ++p_;
      t.kind = Tok::Symbol;
      t.text.assign(1, c);
    }
    return t;
  }
  int Line() const { return line_; }

 private:
  void SkipSpace() {
    while (p_ < s_.size()) {
      char c = s_[p_];
      if (c == '\n') ++line_;
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
        ++p_;
      else
        break;
    }
  }
  [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
    throw EDescriptionError(where, what, line_);
  }
  void ReadString(std::string& out, const std::string& where) {
    while (p_ < s_.size()) {
      if (s_[p_] == '\'') {
        ++p_;
        for (;;) {
          if (p_ >= s_.size() || s_[p_] == '\n' || s_[p_] == '\r') Fail(where, "unterminated string");
          char c = s_[p_++];
          if (c == '\'') {
            if (p_ < s_.size() && s_[p_] == '\'') {
              out += '\'';
              ++p_;
            } else {
              break;
            }
          } else {
            out += c;
          }
        }
      } else if (s_[p_] == '#') {
        ++p_;
        unsigned v = 0;
        std::size_t b = p_;
        while (p_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[p_])) && p_ - b < 4)
          v = v * 10 + static_cast<unsigned>(s_[p_++] - '0');
        if (p_ == b || v > 255) Fail(where, "bad character code in string");
        out += static_cast<char>(v);
      } else {
        break;
      }
    }
  }
  void ReadBlock(std::vector<std::uint8_t>& out, const std::string& where) {
    ++p_;  // '{'
    int high = -1;
    for (;;) {
      if (p_ >= s_.size()) Fail(where, "truncated byte block: missing '}'");
      char c = s_[p_++];
      if (c == '}') break;
      if (c == '\n') ++line_;
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
      int v = HexValue(c);
      if (v < 0) Fail(where, std::string("bad character '") + c + "' in byte block");
      if (high < 0) {
        high = v;
      } else {
        if (out.size() >= maxBlock_) Fail(where, "byte block larger than " + std::to_string(maxBlock_) + " bytes");
        out.push_back(static_cast<std::uint8_t>(high << 4 | v));
        high = -1;
      }
    }
    if (high >= 0) Fail(where, "truncated byte block: odd number of hex digits");
  }

  std::string_view s_;
  std::size_t p_ = 0;
  int line_ = 1;
  std::size_t maxBlock_;
};

struct Fixup {
  TPersistent* target;
  const TPropInfo* prop;
  std::string name;
  std::string where;
  int line;
};

class Reader {
 public:
  Reader(std::string_view text, const TDescriptionLimits& limits) : lex_(text, limits.MaxBlockBytes), limits_(limits) {}

  // `root` given: read into it; else create it owned by `owner`.
  TComponent* Run(TComponent* root, TComponent* owner) {
    root_ = root;
    try {
      Advance("");
      ReadObject(nullptr, owner, 0);
      if (tok_.kind != Tok::End) Fail("", "text after the end of the root object");
      ResolveFixups();
      for (TComponent* c : loaded_) c->SetReading(false);
      for (TComponent* c : loaded_) {
        try {
          c->Loaded();
        } catch (const EDescriptionError&) {
          throw;
        } catch (const std::exception& e) {
          std::throw_with_nested(EDescriptionError(c->NamePath(), e.what(), 0));
        }
      }
      return root_;
    } catch (...) {
      Cleanup(root == nullptr);
      throw;
    }
  }

 private:
  void Advance(const std::string& where) { tok_ = lex_.Next(where); }
  [[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw EDescriptionError(where, what, tok_.line);
  }
  bool IsKeyword(const char* kw) const { return tok_.kind == Tok::Ident && SameText(tok_.text, kw); }
  void Expect(const char* sym, const std::string& where) {
    if (tok_.kind != Tok::Symbol || tok_.text != sym)
      Fail(where, std::string("expected '") + sym + "' but found " + Describe());
    Advance(where);
  }
  std::string Describe() const {
    switch (tok_.kind) {
      case Tok::End: return "the end of the text";
      case Tok::String: return "a string";
      case Tok::Block: return "a byte block";
      default: return "'" + tok_.text + "'";
    }
  }
  std::string ExpectIdent(const std::string& where, const char* what) {
    if (tok_.kind != Tok::Ident) Fail(where, std::string("expected ") + what + " but found " + Describe());
    std::string s = tok_.text;
    Advance(where);
    return s;
  }
  void CheckDepth(int depth, const std::string& where) {
    if (depth > limits_.MaxDepth) Fail(where, "nesting deeper than " + std::to_string(limits_.MaxDepth));
  }

  // Runs a setter or constructor, turning its failure into an error that names where it happened.
  template <class F>
  void Guard(const std::string& where, int line, F&& f) {
    try {
      f();
    } catch (const EDescriptionError&) {
      throw;
    } catch (const std::exception& e) {
      std::throw_with_nested(EDescriptionError(where, e.what(), line));
    }
  }

  void ReadObject(TComponent* parent, TComponent* owner, int depth) {
    std::string where = parent ? parent->NamePath() : std::string();
    CheckDepth(depth, where);
    if (!IsKeyword("object")) Fail(where, "expected 'object' but found " + Describe());
    Advance(where);
    int line = tok_.line;
    // A component without a name is written as "object : TClass".
    std::string name =
        tok_.kind == Tok::Symbol && tok_.text == ":" ? std::string() : ExpectIdent(where, "a component name");
    Expect(":", where);
    std::string className = ExpectIdent(where, "a class name");
    where = (parent && !root_->Name().empty()) ? root_->Name() + "." + name : name;

    TComponent* comp = nullptr;
    if (!parent && root_) {
      if (!SameText(root_->ClassName(), className))
        Fail(name, "the description is of class " + className + ", not " + std::string(root_->ClassName()));
      comp = root_;
      Guard(name, line, [&] { comp->SetName(name); });
    } else {
      const TClassInfo* cls = FindClass(className);
      if (!cls) Fail(where, "unknown class " + className);
      if (!cls->CreateComponent) Fail(where, "class " + className + " cannot be created by a description");
      TComponent* own = parent ? root_ : owner;
      Guard(where, line, [&] { comp = cls->CreateComponent(own); });
      if (!parent) root_ = comp;
      created_.push_back(comp);
      Guard(where, line, [&] { comp->SetName(name); });
    }
    loaded_.push_back(comp);
    comp->SetLoading();
    comp->SetReading(true);
    if (parent) Guard(where, line, [&] { comp->SetParentComponent(parent); });

    for (;;) {
      if (tok_.kind == Tok::End) Fail(where, "missing 'end' (the text is truncated)");
      if (IsKeyword("end")) {
        Advance(where);
        break;
      }
      if (IsKeyword("object")) {
        ReadObject(comp, owner, depth + 1);
        continue;
      }
      ReadProperty(*comp, where, depth + 1);
    }
  }

  void ReadProperty(TPersistent& obj, const std::string& where, int depth) {
    if (tok_.kind != Tok::Ident) Fail(where, "expected a property name but found " + Describe());
    std::string path = tok_.text;
    std::string at = where + "." + path;
    int line = tok_.line;
    Advance(at);
    TPersistent* target = &obj;
    std::size_t start = 0;
    int segments = 0;
    const TPropInfo* prop = nullptr;
    for (;;) {
      std::size_t dot = path.find('.', start);
      std::string seg = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
      if (++segments + depth > limits_.MaxDepth) Fail(at, "nesting deeper than " + std::to_string(limits_.MaxDepth));
      if (seg.empty()) Fail(at, "bad property name");
      prop = target->ClassInfo().FindProp(seg);
      if (!prop) Fail(at, "unknown property " + seg + " of " + std::string(target->ClassName()));
      if (dot == std::string::npos) break;
      if (prop->Kind != TPropKind::Object) Fail(at, seg + " has no nested properties");
      TPersistent* nested = prop->GetObject(*target);
      if (!nested) Fail(at, seg + " is not set");
      target = nested;
      start = dot + 1;
    }
    Expect("=", at);
    ReadValue(*target, *prop, at, line, depth + segments);
  }

  std::int64_t ParseInt(const std::string& text, const std::string& at) {
    std::int64_t v = 0;
    std::from_chars_result r;
    const char* b = text.data();
    const char* e = b + text.size();
    bool neg = false;
    if (b != e && (*b == '-' || *b == '+')) neg = *b++ == '-';
    if (b != e && *b == '$') {
      std::uint64_t u = 0;
      r = std::from_chars(b + 1, e, u, 16);
      if (r.ec != std::errc() || r.ptr != e || b + 1 == e || u > static_cast<std::uint64_t>(INT64_MAX))
        Fail(at, "bad integer " + text);
      v = static_cast<std::int64_t>(u);
    } else {
      std::uint64_t u = 0;
      r = std::from_chars(b, e, u, 10);
      if (r.ec != std::errc() || r.ptr != e || b == e || u > static_cast<std::uint64_t>(INT64_MAX))
        Fail(at, "bad integer " + text);
      v = static_cast<std::int64_t>(u);
    }
    return neg ? -v : v;
  }

  void CheckRange(const TPropInfo& p, std::int64_t v, const std::string& at) {
    if (v < p.MinValue || v > p.MaxValue)
      Fail(at, "value " + std::to_string(v) + " out of range " + std::to_string(p.MinValue) + ".." +
                   std::to_string(p.MaxValue));
  }

  std::int64_t NameIndex(const TPropInfo& p, const std::string& name, const std::string& at) {
    for (std::size_t i = 0; i < p.Names.size(); ++i)
      if (SameText(p.Names[i], name)) return static_cast<std::int64_t>(i);
    Fail(at, "unknown value " + name);
  }

  void ReadValue(TPersistent& obj, const TPropInfo& p, const std::string& at, int line, int depth) {
    CheckDepth(depth, at);
    switch (p.Kind) {
      case TPropKind::Integer: {
        if (tok_.kind != Tok::Number) Fail(at, "expected an integer but found " + Describe());
        std::int64_t v = ParseInt(tok_.text, at);
        CheckRange(p, v, at);
        Advance(at);
        Guard(at, line, [&] { p.SetOrd(obj, v); });
        break;
      }
      case TPropKind::Boolean: {
        bool v = IsKeyword("True");
        if (!v && !IsKeyword("False")) Fail(at, "expected True or False but found " + Describe());
        Advance(at);
        Guard(at, line, [&] { p.SetOrd(obj, v ? 1 : 0); });
        break;
      }
      case TPropKind::Float: {
        if (tok_.kind != Tok::Number) Fail(at, "expected a number but found " + Describe());
        double v = 0;
        const std::string& t = tok_.text;
        const char* b = t.data() + (t[0] == '+' ? 1 : 0);
        auto r = std::from_chars(b, t.data() + t.size(), v);
        if (r.ec != std::errc() || r.ptr != t.data() + t.size()) Fail(at, "bad number " + t);
        Advance(at);
        Guard(at, line, [&] { p.SetFloat(obj, v); });
        break;
      }
      case TPropKind::String: {
        if (tok_.kind != Tok::String) Fail(at, "expected a string but found " + Describe());
        std::string v = std::move(tok_.text);
        Advance(at);
        Guard(at, line, [&] { p.SetString(obj, v); });
        break;
      }
      case TPropKind::Enum: {
        std::int64_t v;
        if (tok_.kind == Tok::Ident)
          v = NameIndex(p, tok_.text, at);
        else if (tok_.kind == Tok::Number)
          v = ParseInt(tok_.text, at);
        else
          Fail(at, "expected a value name but found " + Describe());
        CheckRange(p, v, at);
        Advance(at);
        Guard(at, line, [&] { p.SetOrd(obj, v); });
        break;
      }
      case TPropKind::Set: {
        Expect("[", at);
        std::uint64_t bits = 0;
        while (!(tok_.kind == Tok::Symbol && tok_.text == "]")) {
          if (tok_.kind != Tok::Ident) Fail(at, "expected a set element but found " + Describe());
          std::int64_t bit = NameIndex(p, tok_.text, at);
          if (bit >= 63) Fail(at, "set element " + tok_.text + " out of range");
          bits |= std::uint64_t{1} << bit;
          Advance(at);
          if (tok_.kind == Tok::Symbol && tok_.text == ",")
            Advance(at);
          else if (!(tok_.kind == Tok::Symbol && tok_.text == "]"))
            Fail(at, "expected ',' or ']' but found " + Describe());
        }
        Advance(at);
        Guard(at, line, [&] { p.SetOrd(obj, static_cast<std::int64_t>(bits)); });
        break;
      }
      case TPropKind::Color: {
        std::int64_t v;
        if (tok_.kind == Tok::Ident) {
          auto c = IdentToColor(tok_.text);
          if (!c) Fail(at, "unknown colour " + tok_.text);
          v = *c;
        } else if (tok_.kind == Tok::Number) {
          v = ParseInt(tok_.text, at);
          CheckRange(p, v, at);
        } else {
          Fail(at, "expected a colour but found " + Describe());
        }
        Advance(at);
        Guard(at, line, [&] { p.SetOrd(obj, v); });
        break;
      }
      case TPropKind::Reference: {
        std::string name = ExpectIdent(at, "a component name");
        if (!SameText(name, "nil"))
          fixups_.push_back({&obj, &p, name, at, line});
        else
          Guard(at, line, [&] { p.SetRef(obj, nullptr); });
        break;
      }
      case TPropKind::Event: {
        std::string name = ExpectIdent(at, "a handler name");
        const TMethodInfo* m = root_->ClassInfo().FindMethod(name);
        if (!m) Fail(at, "no handler " + name + " in " + std::string(root_->ClassName()));
        if (m->HandlerType != p.EventType) Fail(at, "handler " + name + " does not fit " + p.Name);
        Guard(at, line, [&] { p.SetHandler(obj, m->Bind(*root_), m->Name); });
        break;
      }
      case TPropKind::Bytes: {
        if (tok_.kind != Tok::Block) Fail(at, "expected a byte block but found " + Describe());
        std::vector<std::uint8_t> v = std::move(tok_.bytes);
        Advance(at);
        Guard(at, line, [&] { p.SetBytes(obj, v); });
        break;
      }
      case TPropKind::Collection: ReadCollection(obj, p, at, line, depth); break;
      case TPropKind::Object: Fail(at, p.Name + " is a property object: set its properties as " + p.Name + ".<name>");
    }
  }

  void ReadCollection(TPersistent& obj, const TPropInfo& p, const std::string& at, int line, int depth) {
    auto* coll = dynamic_cast<TCollection*>(p.GetObject(obj));
    if (!coll) Fail(at, p.Name + " is not set");
    Expect("<", at);
    Guard(at, line, [&] { coll->Clear(); });
    for (int i = 0; !(tok_.kind == Tok::Symbol && tok_.text == ">"); ++i) {
      std::string itemAt = at + "[" + std::to_string(i) + "]";
      if (!IsKeyword("item")) Fail(itemAt, "expected 'item' or '>' but found " + Describe());
      int itemLine = tok_.line;
      Advance(itemAt);
      TCollectionItem* item = nullptr;
      Guard(itemAt, itemLine, [&] { item = coll->Add(); });
      for (;;) {
        if (tok_.kind == Tok::End) Fail(itemAt, "missing 'end' (the text is truncated)");
        if (IsKeyword("end")) {
          Advance(itemAt);
          break;
        }
        ReadProperty(*item, itemAt, depth + 1);
      }
    }
    Advance(at);
  }

  void ResolveFixups() {
    for (const Fixup& f : fixups_) {
      TComponent* c = SameText(f.name, root_->Name()) ? root_ : root_->FindComponent(f.name);
      if (!c) throw EDescriptionError(f.where, "unknown component " + f.name, f.line);
      if (f.prop->RefClass && !c->InheritsFrom(f.prop->RefClass()))
        throw EDescriptionError(
            f.where, f.name + " is a " + std::string(c->ClassName()) + ", not a " + f.prop->RefClass().Name, f.line);
      Guard(f.where, f.line, [&] { f.prop->SetRef(*f.target, c); });
    }
  }

  void Cleanup(bool ownRoot) {
    if (ownRoot) {
      TComponent::Free(root_);
      return;
    }
    if (!root_) return;
    // Freeing one component may free others (or have them leave the root): free only what is still
    // the root's, last first.
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
      const auto& owned = root_->Components();
      if (std::find(owned.begin(), owned.end(), *it) != owned.end()) TComponent::Free(*it);
    }
    root_->SetReading(false);
    root_->TComponent::Loaded();
  }

  Lexer lex_;
  TDescriptionLimits limits_;
  Token tok_;
  TComponent* root_ = nullptr;
  std::vector<TComponent*> created_;
  std::vector<TComponent*> loaded_;
  std::vector<Fixup> fixups_;
};

}  // namespace

void ReadDescription(TComponent& root, std::string_view text, const TDescriptionLimits& limits) {
  Reader(text, limits).Run(&root, nullptr);
}

TComponent* ReadDescriptionRoot(std::string_view text, TComponent* owner, const TDescriptionLimits& limits) {
  return Reader(text, limits).Run(nullptr, owner);
}
