// Window descriptions: a readable text form of a component tree with its published properties.
//
//   object PluginEditorwindow: TPluginEditorwindow
//     Left = 0
//     Caption = 'KestruneEn'#13#10'second line'
//     Font.Name = 'Tahoma'
//     Color = clBackground
//     Anchors = [akLeft, akTop]
//     OnCreate = FormCreate
//     object Images: TDIBImageList
//       DIBImages = <
//         item
//           DIB.Width = 16
//           DIB.Data = {
//             4449424D50...}
//         end>
//     end
//   end
//
// Values by property kind: integers (decimal or $hex), floats, True/False, strings in single quotes
// ('' for a quote, #n for a character code, adjacent parts join), enumeration and colour names (a
// colour may also be a number), sets in brackets, component names for references (resolved after
// the whole text is read), handler names of the root's class for events, hex byte blocks in braces,
// collections in angle brackets. Dotted names reach nested property objects ("DIB.Width").
// Components nest under the component that is their parent (a control under its parent control);
// every component read is owned by the root. A component without a name is "object : TClass".
// Names of properties, classes, values and handlers are matched without regard to case.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class TComponent;

struct TDescriptionLimits {
  int MaxDepth = 32;                      // nesting of objects, collections and dotted names
  std::size_t MaxBlockBytes = 16u << 20;  // one byte block
};

// Reads `text` into `root`, whose class must be the class the text names for its root object; creates
// the components the text holds, owned by `root`. Then resolves references and calls Loaded on the
// root and every component read, in read order. On failure throws EDescriptionError and frees every
// component this read created.
void ReadDescription(TComponent& root, std::string_view text, const TDescriptionLimits& limits = {});

// Creates the root from the class registry (owned by `owner`) and reads `text` into it.
TComponent* ReadDescriptionRoot(std::string_view text, TComponent* owner, const TDescriptionLimits& limits = {});

// Writes `root`, its stored properties and the components it owns. Properties with a declared default
// are written only when they differ from it; empty strings, unbound events, null references, empty
// collections and empty byte blocks are left out.
std::string WriteDescription(const TComponent& root);
