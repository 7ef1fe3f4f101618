// Window descriptions: round trips, every error kind, hostile texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <exception>
#include <iostream>

#include "tests/ui/TestClasses.h"
#include "ui/Description.h"
#include "ui/Errors.h"

using namespace uitest;

namespace {

const char* kFull = R"(object Root1: TRoot
  Count = -9000000000
  Small = -128
  Ratio = 0.25
  Active = True
  Caption = 'It''s'#13#10'two lines'
  Mode = mThree
  Color = $00C0C0C1
  Face.Name = 'Sans'
  Face.Style = [fsBold, fsUnderline]
  Buddy = Later
  Pics = <
    item
      Face.Height = 20
      Data = {
        00FF1020}
    end
    item
      Title = 'second'
      Data = {
        000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F
        2021}
    end>
  OnPoke = ThingPoke
  object Early: TThing
    Color = clSilver
    Buddy = Root1
    OnPoke = ThingPoke
    object Nested: TThing
    end
  end
  object Later: TThing
  end
end
)";

struct Fresh {
  Fresh() {
    RegisterTestClasses();
    TThing::loadedOrder.clear();
  }
  ~Fresh() { EXPECT_EQ(TThing::live, 0); }  // a read, failed or not, leaves nothing behind
};

}  // namespace

TEST(Description, ReadsEveryKindAndBindsHandlers) {
  Fresh f;
  TRoot root(nullptr);
  ReadDescription(root, kFull);
  EXPECT_EQ(root.Name(), "Root1");
  EXPECT_EQ(root.count, -9000000000LL);
  EXPECT_EQ(root.small, -128);
  EXPECT_EQ(root.ratio, 0.25);
  EXPECT_TRUE(root.active);
  EXPECT_EQ(root.caption, "It's\r\ntwo lines");
  EXPECT_EQ(root.mode, TMode::mThree);
  EXPECT_EQ(root.color, 0xC0C0C1);
  EXPECT_EQ(root.face.Name, "Sans");
  EXPECT_EQ(root.face.Style, 5u);
  ASSERT_EQ(root.pics.Count(), 2);
  auto* p0 = static_cast<TPicItem*>(root.pics.Item(0));
  EXPECT_EQ(p0->face.Height, 20);
  EXPECT_EQ(p0->data, (std::vector<std::uint8_t>{0, 255, 16, 32}));
  EXPECT_EQ(static_cast<TPicItem*>(root.pics.Item(1))->data.size(), 34u);

  // Components are owned by the root in read order; a reference to one read later resolves.
  ASSERT_EQ(root.ComponentCount(), 3);
  EXPECT_EQ(root.Component(0)->Name(), "Early");
  EXPECT_EQ(root.Component(1)->Name(), "Nested");
  EXPECT_EQ(root.buddy, root.FindComponent("Later"));
  auto* early = static_cast<TThing*>(root.Component(0));
  EXPECT_EQ(early->buddy, &root);
  EXPECT_EQ(early->color, clSilver);

  // Loaded comes last, root first, in read order; nothing is left loading.
  EXPECT_EQ(TThing::loadedOrder, (std::vector<std::string>{"Root1", "Early", "Nested", "Later"}));
  EXPECT_FALSE(root.Loading());
  EXPECT_FALSE(early->Loading());

  // The event is bound to the root's handler.
  early->OnPoke(early, 3);
  EXPECT_EQ(root.lastSender, early);
  EXPECT_EQ(root.pokes, 3);
}

TEST(Description, WriteReadWriteGivesTheSameText) {
  Fresh f;
  std::string first, second;
  {
    TRoot root(nullptr);
    ReadDescription(root, kFull);
    first = WriteDescription(root);
  }
  {
    TRoot root(nullptr);
    ReadDescription(root, first);
    second = WriteDescription(root);
  }
  EXPECT_EQ(first, second);
  if (getenv("UI_SHOW")) std::cout << first;
  // Defaults are not written; values that differ from them are.
  EXPECT_EQ(first.find("Face.Height"), first.rfind("Face.Height"));  // only the item's differs
  EXPECT_NE(first.find("      Face.Height = 20"), std::string::npos);
  EXPECT_EQ(first.find("Ratio = 1"), std::string::npos);
  EXPECT_NE(first.find("Color = clSilver"), std::string::npos);
  EXPECT_NE(first.find("Color = $00C0C0C1"), std::string::npos);
  EXPECT_NE(first.find("Caption = 'It''s'#13#10'two lines'"), std::string::npos);
  EXPECT_NE(first.find("Face.Style = [fsBold, fsUnderline]"), std::string::npos);
  EXPECT_NE(first.find("end>"), std::string::npos);
}

TEST(Description, ComponentsWithoutNamesRoundTrip) {
  Fresh f;
  TRoot root(nullptr);
  new TThing(&root);
  std::string text = WriteDescription(root);
  EXPECT_EQ(text.substr(0, 15), "object : TRoot\n");
  TRoot again(nullptr);
  ReadDescription(again, text);
  EXPECT_EQ(again.ComponentCount(), 1);
  EXPECT_EQ(WriteDescription(again), text);
}

TEST(Description, ReadDescriptionRootCreatesTheRootByClass) {
  Fresh f;
  TComponent owner(nullptr);
  TComponent* r = ReadDescriptionRoot(kFull, &owner);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Owner(), &owner);
  EXPECT_EQ(r->ClassName(), "TRoot");
  EXPECT_EQ(r->ComponentCount(), 3);
}

namespace {
struct ErrorCase {
  const char* name;
  std::string text;
  std::string where;   // component path and property named by the error
  std::string reason;  // part of the reason
};

std::string Obj(const std::string& body) { return "object Root1: TRoot\n" + body + "end\n"; }
std::string Child(const std::string& body) { return Obj("  object C1: TThing\n" + body + "  end\n"); }
}  // namespace

TEST(Description, ErrorsNameTheComponentAndPropertyAndFreeEverything) {
  const std::vector<ErrorCase> cases = {
      {"unknown class", Obj("  object C1: TNoSuch\n  end\n"), "Root1.C1", "unknown class TNoSuch"},
      {"class not creatable", Obj("  object C1: TComponent\n  end\n"), "Root1.C1", "cannot be created"},
      {"root class mismatch", "object X: TThing\nend\n", "X", "not TRoot"},
      {"unknown property", Child("    Bogus = 1\n"), "Root1.C1.Bogus", "unknown property Bogus of TThing"},
      {"unknown nested property", Child("    Face.Bogus = 1\n"), "Root1.C1.Face.Bogus",
       "unknown property Bogus of TFace"},
      {"not nested", Child("    Count.X = 1\n"), "Root1.C1.Count.X", "no nested properties"},
      {"object assigned", Child("    Face = 1\n"), "Root1.C1.Face", "property object"},
      {"integer out of range", Child("    Small = 128\n"), "Root1.C1.Small", "out of range -128..127"},
      {"integer overflow", Child("    Count = 99999999999999999999\n"), "Root1.C1.Count", "bad integer"},
      {"integer text", Child("    Count = 'x'\n"), "Root1.C1.Count", "expected an integer"},
      {"bad float", Child("    Ratio = 1.2.3\n"), "Root1.C1.Ratio", "bad number"},
      {"bad boolean", Child("    Active = Yes\n"), "Root1.C1.Active", "True or False"},
      {"bad enum", Child("    Mode = mFour\n"), "Root1.C1.Mode", "unknown value mFour"},
      {"enum out of range", Child("    Mode = 3\n"), "Root1.C1.Mode", "out of range"},
      {"bad set", Child("    Face.Style = [fsBold, fsHuge]\n"), "Root1.C1.Face.Style", "unknown value fsHuge"},
      {"unclosed set", Child("    Face.Style = [fsBold fsItalic]\n"), "Root1.C1.Face.Style", "expected ',' or ']'"},
      {"bad colour", Child("    Color = clPlaid\n"), "Root1.C1.Color", "unknown colour clPlaid"},
      {"unknown reference", Child("    Buddy = Nobody\n"), "Root1.C1.Buddy", "unknown component Nobody"},
      {"unknown handler", Child("    OnPoke = Missing\n"), "Root1.C1.OnPoke", "no handler Missing in TRoot"},
      {"handler of the wrong type", Child("    OnPoke = Other\n"), "Root1.C1.OnPoke", "does not fit OnPoke"},
      {"unterminated string", Child("    Caption = 'abc\n"), "Root1.C1.Caption", "unterminated string"},
      {"odd hex digits", Child("    Pics = <item Data = {ABC} end>\n"), "Root1.C1.Pics[0].Data", "odd number"},
      {"truncated byte block", "object Root1: TRoot\n  object C1: TThing\n    Pics = <item Data = {ABCD",
       "Root1.C1.Pics[0].Data", "missing '}'"},
      {"bad hex", Child("    Pics = <item Data = {ABXY} end>\n"), "Root1.C1.Pics[0].Data", "bad character 'X'"},
      {"setter refuses", Child("    Pics = <item Data = {010203} end>\n"), "Root1.C1.Pics[0].Data", "Corrupt data"},
      {"bad item", Child("    Pics = <thing end>\n"), "Root1.C1.Pics[0]", "expected 'item'"},
      {"duplicate name", Obj("  object C1: TThing\n  end\n  object c1: TThing\n  end\n"), "Root1.c1", "already exists"},
      {"truncated object", "object Root1: TRoot\n  object C1: TThing\n    Count = 1\n", "Root1.C1", "missing 'end'"},
      {"missing equals", Child("    Count 1\n"), "Root1.C1.Count", "expected '='"},
      {"trailing text", Obj("") + "object", "", "text after the end"},
      {"empty text", "", "", "expected 'object'"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh f;
    TRoot root(nullptr);
    try {
      ReadDescription(root, c.text);
      ADD_FAILURE() << "no error";
    } catch (const EDescriptionError& e) {
      EXPECT_EQ(e.Where(), c.where) << e.what();
      EXPECT_NE(e.Reason().find(c.reason), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("(line "), std::string::npos) << e.what();
    }
    EXPECT_EQ(root.ComponentCount(), 0);
    EXPECT_FALSE(root.Loading());
  }
}

TEST(Description, ASetterErrorStaysReachableAsTheNestedCause) {
  Fresh f;
  TRoot root(nullptr);
  try {
    ReadDescription(root, Child("    Pics = <item Data = {010203} end>\n"));
    FAIL();
  } catch (const EDescriptionError& e) {
    try {
      std::rethrow_if_nested(e);
      FAIL();
    } catch (const std::runtime_error& inner) {
      EXPECT_STREQ(inner.what(), "Corrupt data");
    }
  }
}

TEST(Description, HostileTextsGiveErrorsNeverCrashes) {
  Fresh f;
  // Deep nesting of objects.
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "object O" + std::to_string(i) + ": TThing\n";
  EXPECT_THROW(
      {
        TComponent* r = ReadDescriptionRoot(deep, nullptr);
        TComponent::Free(r);
      },
      EDescriptionError);

  // Deeply dotted property paths.
  std::string dotted = "Face";
  for (int i = 0; i < 100; ++i) dotted += ".Face";
  {
    TRoot root(nullptr);
    EXPECT_THROW(ReadDescription(root, Obj("  " + dotted + " = 1\n")), EDescriptionError);
  }

  // A byte block over the limit.
  TDescriptionLimits small;
  small.MaxBlockBytes = 8;
  {
    TRoot root(nullptr);
    EXPECT_THROW(ReadDescription(root, Obj("  Pics = <item Data = {000102030405060708} end>\n"), small),
                 EDescriptionError);
  }

  // Every prefix of a valid text fails cleanly (or, for the whole text, succeeds).
  std::string text = kFull;
  for (std::size_t n = 0; n < text.size(); n += 7) {
    TRoot root(nullptr);
    try {
      ReadDescription(root, std::string_view(text).substr(0, n));
    } catch (const EDescriptionError&) {
    }
  }
  // Texts with a few bytes changed: an error or a read, never a crash or a leak.
  std::uint32_t seed = 12345;
  auto rnd = [&] { return seed = seed * 1664525u + 1013904223u; };
  const std::string symbols = "{}<>[]=:'#$.,-0123456789 \nobjectenditem";
  for (int round = 0; round < 400; ++round) {
    std::string t = text;
    for (int k = 0; k < 3; ++k) t[(rnd() >> 8) % t.size()] = symbols[(rnd() >> 8) % symbols.size()];
    TRoot root(nullptr);
    try {
      ReadDescription(root, t);
    } catch (const EDescriptionError&) {
    }
  }
  // Junk bytes.
  std::string junk;
  for (int i = 0; i < 2000; ++i) junk += static_cast<char>((i * 7919) & 0xFF);
  TRoot root(nullptr);
  EXPECT_THROW(ReadDescription(root, "object Root1: TRoot\n" + junk), EDescriptionError);
}
