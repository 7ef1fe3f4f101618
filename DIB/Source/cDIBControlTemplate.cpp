#include "DIB/Source/cDIBControlTemplate.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include "DIB/Source/DIBErrors.h"
#include "DIB/Source/DIBStream.h"
#include "DIB/Source/cDIBControl.h"
#include "DIB/Source/cDIBImageList.h"
#include "platform/Platform.h"
#include "ui/Component.h"
#include "ui/Description.h"
#include "ui/Graphics.h"
#include "ui/TypeInfo.h"

namespace {

TDIBImageLink* AsLink(const TPropInfo& p, const TPersistent& obj) {
  return p.Kind == TPropKind::Object ? dynamic_cast<TDIBImageLink*>(p.GetObject(obj)) : nullptr;
}

// A fresh object of the kind of a template's nested property object (a font or a caption offset),
// with its class defaults; null for any other kind.
std::unique_ptr<TPersistent> FreshLike(const TPersistent* object) {
  if (dynamic_cast<const TFont*>(object)) return std::make_unique<TFont>();
  if (dynamic_cast<const TPointProperty*>(object)) return std::make_unique<TPointProperty>();
  return nullptr;
}

// The template properties of one control as the nested "Control" object of a template. Saving,
// its getters read the control (a link reads as its picture's number); loading, its setters only
// record what to apply, so that a text that fails half-way changes nothing.
class TTemplateValues : public TPersistent {
 public:
  const TClassInfo& ClassInfo() const override { return info_; }

  TClassInfo info_;
};

// What a read template asks for, applied once the whole text has been read.
struct TPendingValue {
  std::function<void()> apply;    // a plain value or a nested object
  TDIBImageLink* link = nullptr;  // or a link to picture `number`
  int number = -1;
};

// A nested property object of the control (a font, a caption offset). A template saves the
// control's own object; reading one fills a fresh object, assigned to the control's when the whole
// text has been read.
struct TNestedValue {
  TPersistent* own = nullptr;
  std::unique_ptr<TPersistent> read;
  bool touched = false;  // the template names one of its properties
};

enum class TTemplateUse { Save, Load };

class TDIBControlTemplate : public TComponent {
 public:
  TDIBControlTemplate(TCustomDIBControl& control, TTemplateUse use)
      : TComponent(nullptr), images_(std::make_unique<TDIBImageList>(nullptr)) {
    values_.info_.Name = "TDIBControlTemplateValues";
    values_.info_.Parent = &TPersistent::StaticClass();
    for (const std::string& name : control.TemplateProperties()) {
      const TPropInfo* p = control.ClassInfo().FindProp(name);
      if (!p) continue;  // registration checked it; a descendant cannot unpublish
      TPropInfo q;
      if (TDIBImageLink* link = AsLink(*p, control)) {
        q.Name = p->Name;
        q.Kind = TPropKind::Integer;
        q.MinValue = -1;
        q.MaxValue = INT32_MAX;
        q.GetOrd = [this, link](const TPersistent&) -> std::int64_t { return NumberOf(*link); };
        q.SetOrd = [this, link](TPersistent&, std::int64_t v) {
          pending_.push_back({nullptr, link, static_cast<int>(v)});
        };
      } else if (p->Kind == TPropKind::Object) {
        // The class's own getter would read this holder as if it were the control.
        auto nested = std::make_unique<TNestedValue>();
        nested->own = p->GetObject(control);
        nested->read = FreshLike(nested->own);
        if (!nested->read) continue;  // registration lets no other kind through
        q.Name = p->Name;
        q.Kind = TPropKind::Object;
        TNestedValue* n = nested.get();
        if (use == TTemplateUse::Save) {
          q.GetObject = [n](const TPersistent&) { return n->own; };
        } else {
          q.GetObject = [this, n](const TPersistent&) {
            if (!n->touched) {
              n->touched = true;
              pending_.push_back({[n] { n->own->Assign(*n->read); }});
            }
            return n->read.get();
          };
        }
        nested_.push_back(std::move(nested));
      } else {
        q = *p;
        q.OrdDefault.reset();  // a template holds every value, default or not
        q.FloatDefault.reset();
        q.StringDefault.reset();
        q.Stored = nullptr;
        TPersistent* target = &control;
        if (p->GetOrd) {
          q.GetOrd = [p, target](const TPersistent&) { return p->GetOrd(*target); };
          q.SetOrd = [this, p, target](TPersistent&, std::int64_t v) {
            pending_.push_back({[p, target, v] { p->SetOrd(*target, v); }});
          };
        }
        if (p->GetFloat) {
          q.GetFloat = [p, target](const TPersistent&) { return p->GetFloat(*target); };
          q.SetFloat = [this, p, target](TPersistent&, double v) {
            pending_.push_back({[p, target, v] { p->SetFloat(*target, v); }});
          };
        }
        if (p->GetString) {
          q.GetString = [p, target](const TPersistent&) { return p->GetString(*target); };
          q.SetString = [this, p, target](TPersistent&, const std::string& v) {
            pending_.push_back({[p, target, v] { p->SetString(*target, v); }});
          };
        }
      }
      values_.info_.Props.push_back(std::move(q));
    }
  }

  static const TClassInfo& StaticClass() {
    using T = TDIBControlTemplate;
    static const TClassInfo info = TClassBuilder<T>("TDIBControlTemplate", &TComponent::StaticClass())
                                       .String("TemplateGuid", &T::guid_, &T::guid_)
                                       .String("ControlClass", &T::controlClass_, &T::controlClass_)
                                       .Collection("Images", [](const T& t) { return t.images_->DIBImages(); })
                                       .Object("Control", [](const T& t) -> const TPersistent& { return t.values_; })
                                       .Build();
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClass(); }

  // Saving: the number of the link's picture in Images, adding the picture on first sight.
  int NumberOf(const TDIBImageLink& link) {
    TCustomDIBImageList* list = link.DIBImageList();
    if (!list || !list->IndexValid(link.DIBIndex())) return -1;
    auto [it, added] = numbers_.try_emplace(link.DIBIndex(), images_->DIBImages()->Count());
    if (added) {
      TDIBImagesItem* source = list->DIBImages()->Items(link.DIBIndex());
      source->EnsureLoaded();
      auto* copy = static_cast<TDIBImagesItem*>(images_->DIBImages()->Add());
      copy->Assign(*source);
      // The template carries the pixels themselves, never a file or another template's key.
      copy->SetImageRetrieval(irInternal);
      copy->TemplateFilename.clear();
      copy->StoredDIB()->ImageFilename.clear();
      copy->StoredDIB()->MaskFilename.clear();
    }
    return it->second;
  }

  std::string guid_;
  std::string controlClass_;
  std::unique_ptr<TDIBImageList> images_;
  TTemplateValues values_;
  std::map<int, int> numbers_;  // list index -> picture number
  std::vector<TPendingValue> pending_;
  std::vector<std::unique_ptr<TNestedValue>> nested_;
};

}  // namespace

bool PlatformGuid(std::uint8_t out[16]) { return plat::Platform().CreateGuid(out) == plat::Status::Ok; }

std::string GuidToText(const std::uint8_t g[16]) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g[3], g[2],
                g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
  return buf;
}

std::string SaveControlTemplate(TCustomDIBControl& control, const TGuidMaker& makeGuid) {
  std::uint8_t guid[16] = {};
  if (!makeGuid || !makeGuid(guid)) throw EDIBControlError("Could not create a GUID for your new template.");
  TDIBControlTemplate t(control, TTemplateUse::Save);
  t.SetName("Template");
  t.guid_ = GuidToText(guid);
  t.controlClass_ = std::string(control.ClassName());
  // Numbering the pictures fills Images, which is written before the values: number them first.
  for (const std::string& name : control.TemplateProperties())
    if (const TPropInfo* p = control.ClassInfo().FindProp(name))
      if (TDIBImageLink* link = AsLink(*p, control)) t.NumberOf(*link);
  return WriteDescription(t);
}

void LoadControlTemplate(TCustomDIBControl& control, std::string_view text) {
  TCustomDIBImageList* list = control.DIBImageList();
  if (!list) throw EDIBControlError("No DIB image list has been assigned.");
  TDIBControlTemplate t(control, TTemplateUse::Load);
  ReadDescription(t, text);
  if (!SameText(t.controlClass_, control.ClassName()))
    throw EDIBControlError("The template is for a " + t.controlClass_ + ", not a " + std::string(control.ClassName()));
  if (t.guid_.empty()) throw EDIBControlError("The template has no TemplateGuid");
  const int pictures = t.images_->DIBImages()->Count();
  for (const TPendingValue& v : t.pending_)
    if (v.link && v.number >= pictures)
      throw EDIBControlError("The template has no picture " + std::to_string(v.number));

  for (const TPendingValue& v : t.pending_) {
    if (!v.link) {
      v.apply();
      continue;
    }
    int index = -1;
    if (v.number >= 0) {
      const int before = list->DIBImages()->Count();
      TDIBImagesItem* item = list->FindOrAddTemplateImage(t.guid_, v.number);
      if (list->DIBImages()->Count() != before) {
        const TDIBImagesItem* source = t.images_->DIBImages()->Items(v.number);
        item->SetDIB(*source->StoredDIB());
        item->SetDisplayName(source->DisplayName());
      }
      index = item->Index();
    }
    if (v.link->DIBImageList() != list) v.link->SetDIBImageList(list);
    v.link->SetDIBIndex(index);
  }
}

void SaveControlTemplate(TCustomDIBControl& control, TDIBStream& stream) {
  const std::string text = SaveControlTemplate(control);
  stream.WriteExact(text.data(), text.size());
}

void LoadControlTemplate(TCustomDIBControl& control, TDIBStream& stream) {
  // The reader refuses anything larger than a description may be; so does this.
  constexpr std::uint64_t kMaxTemplate = std::uint64_t{64} << 20;
  if (stream.Remaining() > kMaxTemplate) throw EDIBControlError("The template is larger than 64 MB");
  std::string text(static_cast<std::size_t>(stream.Remaining()), '\0');
  stream.ReadExact(text.data(), text.size());
  LoadControlTemplate(control, text);
}
